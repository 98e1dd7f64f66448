#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QUrl>

#include <unistd.h>

namespace tw::ui {

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    // The user's runtime folder when the session has one; else a name in the shared temporary
    // folder, told apart by the user id.
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        name_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                QStringLiteral("/tidewell-video-converter-") + QString::fromLatin1(hash);
    } else {
        name_ = QStringLiteral("tidewell-video-converter-%1-").arg(getuid()) +
                QString::fromLatin1(hash);
    }
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

bool SingleInstance::HandOver(const QStringList& files, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    // One line: the files as encoded URLs, which hold neither blanks nor line breaks.
    QByteArrayList urls;
    for (const QString& file : files) {
        urls << QUrl::fromLocalFile(file).toEncoded();
    }
    socket.write(urls.join(' ') + '\n');
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    // The running instance answers once it has the line; a socket nobody serves stays silent.
    return socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("ok");
}

bool SingleInstance::Listen() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(name_)) {
        return true;
    }
    if (server_.serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(name_);
        return server_.listen(name_);
    }
    return false;
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            const QByteArray line = socket->readLine().chopped(1);
            QStringList files;
            for (const QByteArray& url : line.split(' ')) {
                if (!url.isEmpty()) {
                    files << QUrl::fromEncoded(url).toLocalFile();
                }
            }
            socket->write("ok\n");
            socket->flush();
            emit FilesReceived(files);
        });
    }
}

}  // namespace tw::ui
