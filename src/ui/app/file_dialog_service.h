#pragma once

// How windows ask the user for a file or a folder. The program shows Qt's dialogs; tests install
// a QueuedFileDialogService and pre-answer, so no test ever waits on a modal dialog.
// UI thread only.

#include <QString>
#include <QStringList>
#include <deque>

class QWidget;

namespace tw::ui {

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    // Each returns the chosen path, or an empty string when the user cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QStringList& nameFilters) = 0;
    // One or several files; none when the user cancelled.
    virtual QStringList OpenFileNames(QWidget* parent, const QString& caption,
                                      const QString& folder, const QStringList& nameFilters) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& path,
                                 const QStringList& nameFilters) = 0;
    virtual QString ExistingFolder(QWidget* parent, const QString& caption,
                                   const QString& folder) = 0;
};

class QtFileDialogService : public FileDialogService {
public:
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QStringList& nameFilters) override;
    QStringList OpenFileNames(QWidget* parent, const QString& caption, const QString& folder,
                              const QStringList& nameFilters) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& path,
                         const QStringList& nameFilters) override;
    QString ExistingFolder(QWidget* parent, const QString& caption, const QString& folder) override;
};

// Answers from a queue, in order; an empty queue answers "" (cancel). Remembers what was asked.
class QueuedFileDialogService : public FileDialogService {
public:
    struct Request {
        QString caption;
        QString start;  // the folder or path the dialog would open on
        QStringList nameFilters;
    };

    void PushAnswer(const QString& path) { answers_.push_back({path}); }
    // Several files chosen at once (a single-file question takes the first).
    void PushAnswers(const QStringList& paths) { answers_.push_back(paths); }
    const std::deque<Request>& Requests() const { return requests_; }

    QString OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QStringList& nameFilters) override;
    QStringList OpenFileNames(QWidget* parent, const QString& caption, const QString& folder,
                              const QStringList& nameFilters) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& path,
                         const QStringList& nameFilters) override;
    QString ExistingFolder(QWidget* parent, const QString& caption, const QString& folder) override;

private:
    QStringList Answer(const QString& caption, const QString& start, const QStringList& filters);

    std::deque<QStringList> answers_;
    std::deque<Request> requests_;
};

// The name filter file dialogs offer first for media: "Media Files (*.3g2 *.3gp …)", every
// extension the libraries open.
QString MediaFilesFilter();

// The installed service, else a process-wide QtFileDialogService.
FileDialogService& FileDialogs();

// Installs a service for the life of this object, then restores the previous one.
class ScopedFileDialogService {
public:
    explicit ScopedFileDialogService(FileDialogService& service);
    ~ScopedFileDialogService();
    ScopedFileDialogService(const ScopedFileDialogService&) = delete;
    ScopedFileDialogService& operator=(const ScopedFileDialogService&) = delete;

private:
    FileDialogService* previous_;
};

}  // namespace tw::ui
