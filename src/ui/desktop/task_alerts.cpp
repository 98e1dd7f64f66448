#include "desktop/task_alerts.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include "app/program_info.h"
#include "desktop/desktop_services.h"
#include "platform/message_service.h"
#include "util/format.h"

namespace tw::ui {

namespace {

const QString kFolderAction = QStringLiteral("folder");
const QString kCloseAction = QStringLiteral("close");
const QString kBodyAction = QStringLiteral("default");

}  // namespace

DesktopAlertService::DesktopAlertService(NotificationBus& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    connect(&bus_, &NotificationBus::ActionInvoked, this, &DesktopAlertService::OnAction);
    connect(&bus_, &NotificationBus::Closed, this, [this](uint id) { files_.erase(id); });
}

DesktopAlertService::~DesktopAlertService() {
    for (const QPointer<TAVDesktopAlert>& popup : popups_) {
        delete popup.data();
    }
}

void DesktopAlertService::ShowAlert(const TaskAlert& alert) {
    NotificationBus::Notification notification;
    notification.summary = QString::fromStdString(alert.header);
    // The body may carry markup: a file name must reach the user as written.
    notification.body = QString::fromStdString(alert.message).toHtmlEscaped();
    notification.icon = QString::fromLatin1(kApplicationId);
    notification.actions = {kBodyAction,   QStringLiteral("Folder"),
                            kFolderAction, QStringLiteral("Folder"),
                            kCloseAction,  QStringLiteral("Close")};
    notification.timeoutMs = alert.showTimeMs;
    QPointer<DesktopAlertService> self(this);
    bus_.Notify(notification, [self, alert](std::optional<uint> id) {
        if (!self) {
            return;
        }
        if (id) {
            self->files_[*id] = QString::fromStdString(alert.targetFile);
        } else {
            self->ShowPopup(alert);
        }
    });
}

void DesktopAlertService::OnAction(uint id, const QString& action) {
    auto it = files_.find(id);
    if (it == files_.end()) {
        return;  // another program's notification
    }
    const QString file = it->second;
    files_.erase(it);
    bus_.Close(id);
    if (action == kFolderAction || action == kBodyAction) {
        ShowFileInFolder(file);
    }
}

void DesktopAlertService::ShowPopup(const TaskAlert& alert) {
    auto* popup = new TAVDesktopAlert(alert);
    connect(popup, &TAVDesktopAlert::FolderRequested, this, &ShowFileInFolder);
    // New alerts stack above those still on screen.
    QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int margin = popup->fontMetrics().height() / 2;
    QPoint corner = area.bottomRight() - QPoint(margin, margin);
    for (TAVDesktopAlert* shown : Popups()) {
        corner.ry() = std::min(corner.y(), shown->geometry().top() - margin);
    }
    popups_.removeIf([](const QPointer<TAVDesktopAlert>& gone) { return gone.isNull(); });
    popups_.append(popup);
    popup->Popup(corner);
}

QList<TAVDesktopAlert*> DesktopAlertService::Popups() const {
    QList<TAVDesktopAlert*> shown;
    for (const QPointer<TAVDesktopAlert>& popup : popups_) {
        if (popup && popup->isVisible()) {
            shown.append(popup.data());
        }
    }
    return shown;
}

void DesktopAlertService::ShowFileInFolder(const QString& file) {
    if (!QFileInfo::exists(file)) {
        platform::Messages().ShowError(
            FormatPrintf("%s does not exists.", file.toStdString().c_str()));
        return;
    }
    RevealFile(file);
}

}  // namespace tw::ui
