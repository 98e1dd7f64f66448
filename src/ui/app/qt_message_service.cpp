#include "app/qt_message_service.h"

#include <QApplication>

#include "app/dialog_runner.h"

namespace tw::ui {

QMessageBox::StandardButton QtMessageService::Show(QMessageBox::Icon icon, const char* caption,
                                                   const std::string& text,
                                                   QMessageBox::StandardButtons buttons) {
    auto answer = QMessageBox::NoButton;
    uiThread_.RunBlocking([&] {
        QWidget* parent = QApplication::activeModalWidget();
        if (!parent) {
            parent = QApplication::activeWindow();
        }
        QMessageBox box(icon, QString::fromLatin1(caption), QString::fromStdString(text), buttons,
                        parent);
        answer = static_cast<QMessageBox::StandardButton>(Dialogs().Exec(box));
    });
    return answer;
}

void QtMessageService::ShowError(const std::string& text) {
    Show(QMessageBox::Critical, "Error", text, QMessageBox::Ok);
}

bool QtMessageService::AskQuestion(const std::string& text) {
    return Show(QMessageBox::Question, "Warning", text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void QtMessageService::ShowInformation(const std::string& text) {
    Show(QMessageBox::Information, "Information", text, QMessageBox::Ok);
}

}  // namespace tw::ui
