#pragma once

// The program's three message boxes as Qt message boxes: error (caption "Error"), question
// (caption "Warning", Yes and No, true only for Yes) and information (caption "Information").
// Callable from any thread: a converter thread waits while the UI thread shows the box.

#include <QMessageBox>

#include "platform/message_service.h"
#include "platform/ui_dispatcher.h"

namespace tw::ui {

class QtMessageService : public platform::MessageService {
public:
    explicit QtMessageService(platform::UiDispatcher& uiThread) : uiThread_(uiThread) {}

    void ShowError(const std::string& text) override;
    bool AskQuestion(const std::string& text) override;
    void ShowInformation(const std::string& text) override;

private:
    QMessageBox::StandardButton Show(QMessageBox::Icon icon, const char* caption,
                                     const std::string& text, QMessageBox::StandardButtons buttons);

    platform::UiDispatcher& uiThread_;
};

}  // namespace tw::ui
