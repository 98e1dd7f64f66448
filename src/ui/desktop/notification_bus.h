#pragma once

// The desktop's notification service (org.freedesktop.Notifications) as the alert needs it:
// send a notification with actions, close it, and hear which action the user invoked. Tests
// put a fake in its place. UI thread only.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tw::ui {

class NotificationBus : public QObject {
    Q_OBJECT

public:
    struct Notification {
        QString summary;
        QString body;         // the service may read simple markup: plain text goes escaped
        QString icon;         // an icon name
        QStringList actions;  // key, label, key, label ...; "default" is a click on the body
        int timeoutMs = -1;
    };
    // Called once with the notification's id, or with none when no service answered.
    using Reply = std::function<void(std::optional<uint> id)>;

    using QObject::QObject;
    virtual void Notify(const Notification& notification, Reply reply) = 0;
    virtual void Close(uint id) = 0;

signals:
    void ActionInvoked(uint id, const QString& action);
    void Closed(uint id);
};

// The service on the session bus. Without a session bus every notification is answered with
// none at once.
class DBusNotificationBus : public NotificationBus {
    Q_OBJECT

public:
    explicit DBusNotificationBus(QObject* parent = nullptr);

    void Notify(const Notification& notification, Reply reply) override;
    void Close(uint id) override;

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);
};

}  // namespace tw::ui
