#pragma once

// One running program per configuration: a second start hands its files (or nothing, to bring
// the window forward) to the running one over a local socket and ends, so that only one
// process ever has the task database open. UI thread only.

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace tw::ui {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // key tells configurations apart (the configuration folder); the socket lies in the user's
    // runtime folder.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);

    // True when a running instance took the files (none: only come to the front).
    bool HandOver(const QStringList& files, int timeoutMs = 3000);
    // Accepts hand-overs from later starts. A socket left behind by a crashed instance is
    // replaced. False when the socket cannot be made (the program then runs on alone).
    bool Listen();

    const QString& ServerName() const { return name_; }

signals:
    void FilesReceived(const QStringList& files);

private:
    void OnConnection();

    QString name_;
    QLocalServer server_;
};

}  // namespace tw::ui
