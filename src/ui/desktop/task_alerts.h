#pragma once

// The completion alert: a desktop notification with the actions "Folder" and "Close" (a click
// on its body is "Folder"), or, where no notification service answers, the program's own alert
// window at the bottom right. "Folder" shows the converted file in the file manager; a file
// that is gone by then is reported instead. UI thread only.

#include <QList>
#include <QObject>
#include <QPointer>
#include <map>

#include "desktop/desktop_alert.h"
#include "desktop/notification_bus.h"
#include "tasks/task_views.h"

namespace tw::ui {

class DesktopAlertService : public QObject, public AlertService {
    Q_OBJECT

public:
    explicit DesktopAlertService(NotificationBus& bus, QObject* parent = nullptr);
    ~DesktopAlertService() override;

    void ShowAlert(const TaskAlert& alert) override;

    // The alert windows on screen, oldest first.
    QList<TAVDesktopAlert*> Popups() const;

    // The file selected in the file manager; the error "<file> does not exists." when it is
    // gone.
    static void ShowFileInFolder(const QString& file);

private:
    void ShowPopup(const TaskAlert& alert);
    void OnAction(uint id, const QString& action);

    NotificationBus& bus_;
    std::map<uint, QString> files_;  // notification id -> converted file
    QList<QPointer<TAVDesktopAlert>> popups_;
};

}  // namespace tw::ui
