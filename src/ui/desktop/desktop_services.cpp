#include "desktop/desktop_services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>

namespace tw::ui {

namespace {

DesktopServices* installed = nullptr;

// A file manager being started by the bus may take a moment; a missing one answers at once.
constexpr int kFileManagerTimeoutMs = 5000;

}  // namespace

bool SystemDesktopServices::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool SystemDesktopServices::ShowItems(const QStringList& files) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QStringList uris;
    for (const QString& file : files) {
        uris << QUrl::fromLocalFile(file).toString();
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, kFileManagerTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

DesktopServices& Desktop() {
    static SystemDesktopServices system;
    return installed ? *installed : system;
}

ScopedDesktopServices::ScopedDesktopServices(DesktopServices& services) : previous_(installed) {
    installed = &services;
}

ScopedDesktopServices::~ScopedDesktopServices() {
    installed = previous_;
}

void OpenDocument(const QString& file) {
    Desktop().OpenUrl(QUrl::fromLocalFile(file));
}

void RevealFile(const QString& file) {
    if (!Desktop().ShowItems({file})) {
        OpenFolder(QFileInfo(file).absolutePath());
    }
}

void OpenFolder(const QString& folder) {
    Desktop().OpenUrl(QUrl::fromLocalFile(folder));
}

}  // namespace tw::ui
