#include "desktop/notification_bus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "app/program_info.h"

namespace tw::ui {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

DBusNotificationBus::DBusNotificationBus(QObject* parent) : NotificationBus(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(OnActionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(OnClosed(uint, uint)));
    }
}

void DBusNotificationBus::Notify(const Notification& notification, Reply reply) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        reply(std::nullopt);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kApplicationId));
    call << QString::fromLatin1(kProgramTitle) << uint(0) << notification.icon
         << notification.summary << notification.body << notification.actions << hints
         << notification.timeoutMs;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [reply = std::move(reply)](QDBusPendingCallWatcher* finished) {
                QDBusPendingReply<uint> answer = *finished;
                finished->deleteLater();
                if (answer.isError()) {
                    reply(std::nullopt);
                } else {
                    reply(answer.value());
                }
            });
}

void DBusNotificationBus::Close(uint id) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                           QStringLiteral("CloseNotification"));
        call << id;
        bus.asyncCall(call);
    }
}

void DBusNotificationBus::OnActionInvoked(uint id, const QString& action) {
    emit ActionInvoked(id, action);
}

void DBusNotificationBus::OnClosed(uint id, uint) {
    emit Closed(id);
}

}  // namespace tw::ui
