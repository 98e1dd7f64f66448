#include "app/file_dialog_service.h"

#include <QFileDialog>

namespace tw::ui {

namespace {

FileDialogService* installed = nullptr;

QString JoinFilters(const QStringList& nameFilters) {
    return nameFilters.join(QStringLiteral(";;"));
}

}  // namespace

QString QtFileDialogService::OpenFileName(QWidget* parent, const QString& caption,
                                          const QString& folder, const QStringList& nameFilters) {
    return QFileDialog::getOpenFileName(parent, caption, folder, JoinFilters(nameFilters));
}

QString QtFileDialogService::SaveFileName(QWidget* parent, const QString& caption,
                                          const QString& path, const QStringList& nameFilters) {
    return QFileDialog::getSaveFileName(parent, caption, path, JoinFilters(nameFilters));
}

QString QtFileDialogService::ExistingFolder(QWidget* parent, const QString& caption,
                                            const QString& folder) {
    return QFileDialog::getExistingDirectory(parent, caption, folder);
}

QString QueuedFileDialogService::Answer(const QString& caption, const QString& start,
                                        const QStringList& filters) {
    requests_.push_back({caption, start, filters});
    if (answers_.empty()) {
        return {};
    }
    QString answer = answers_.front();
    answers_.pop_front();
    return answer;
}

QString QueuedFileDialogService::OpenFileName(QWidget*, const QString& caption,
                                              const QString& folder,
                                              const QStringList& nameFilters) {
    return Answer(caption, folder, nameFilters);
}

QString QueuedFileDialogService::SaveFileName(QWidget*, const QString& caption, const QString& path,
                                              const QStringList& nameFilters) {
    return Answer(caption, path, nameFilters);
}

QString QueuedFileDialogService::ExistingFolder(QWidget*, const QString& caption,
                                                const QString& folder) {
    return Answer(caption, folder, {});
}

FileDialogService& FileDialogs() {
    static QtFileDialogService qtDialogs;
    return installed ? *installed : qtDialogs;
}

ScopedFileDialogService::ScopedFileDialogService(FileDialogService& service)
    : previous_(installed) {
    installed = &service;
}

ScopedFileDialogService::~ScopedFileDialogService() {
    installed = previous_;
}

}  // namespace tw::ui
