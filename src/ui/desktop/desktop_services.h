#pragma once

// What the program asks of the desktop: open a web address or a document with the user's
// default application, and show files selected in the file manager. The program uses the
// freedesktop services; tests install a recording stand-in. UI thread only.

#include <QString>
#include <QStringList>
#include <QUrl>

namespace tw::ui {

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // False when no application took it.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // Asks the file manager to show the files selected; false when no file manager answers.
    virtual bool ShowItems(const QStringList& files) = 0;
};

// QDesktopServices for addresses and documents; org.freedesktop.FileManager1 on the session
// bus for showing files.
class SystemDesktopServices : public DesktopServices {
public:
    bool OpenUrl(const QUrl& url) override;
    bool ShowItems(const QStringList& files) override;
};

// The installed services, else a process-wide SystemDesktopServices.
DesktopServices& Desktop();

class ScopedDesktopServices {
public:
    explicit ScopedDesktopServices(DesktopServices& services);
    ~ScopedDesktopServices();
    ScopedDesktopServices(const ScopedDesktopServices&) = delete;
    ScopedDesktopServices& operator=(const ScopedDesktopServices&) = delete;

private:
    DesktopServices* previous_;
};

// The file with the user's default application for its type.
void OpenDocument(const QString& file);
// The file manager with the file selected; without one that answers, the file's folder.
void RevealFile(const QString& file);
void OpenFolder(const QString& folder);

}  // namespace tw::ui
