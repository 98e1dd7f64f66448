#include "desktop/power_off.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include "dialogs/shutdown_dialog.h"
#include "platform/message_service.h"

namespace tw::ui {

namespace {

// Long enough for the user to answer an authorisation prompt.
constexpr int kLogindTimeoutMs = 120000;

}  // namespace

bool LogindPowerService::PowerOff(std::string* error) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return fallback_.PowerOff(error);
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << true;  // interactive: the user may be asked to authorise
    const QDBusMessage reply = bus.call(call, QDBus::BlockWithGui, kLogindTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return true;
    }
    const QDBusError::ErrorType kind = QDBusError(reply).type();
    if (kind == QDBusError::ServiceUnknown || kind == QDBusError::NoServer ||
        kind == QDBusError::Disconnected) {
        return fallback_.PowerOff(error);
    }
    if (error) {
        *error = reply.errorMessage().toStdString();
    }
    return false;
}

CountdownPowerService::~CountdownPowerService() {
    delete countdown_.data();
}

bool CountdownPowerService::PowerOff(std::string*) {
    if (countdown_) {
        return true;
    }
    countdown_ = new TFormShutdown(kCountdownSeconds);
    connect(countdown_, &QDialog::accepted, this, &CountdownPowerService::Confirmed);
    connect(countdown_, &QDialog::finished, countdown_, &QObject::deleteLater);
    countdown_->show();
    return true;
}

void CountdownPowerService::Confirmed() {
    std::string error;
    if (!system_.PowerOff(&error)) {
        platform::Messages().ShowError("The computer could not be shut down: " + error);
    }
}

}  // namespace tw::ui
