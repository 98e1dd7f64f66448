#include "app/file_dialog_service.h"

#include <QFileDialog>

#include "media/codec_support.h"

namespace tw::ui {

namespace {

FileDialogService* installed = nullptr;

QString JoinFilters(const QStringList& nameFilters) {
    return nameFilters.join(QStringLiteral(";;"));
}

}  // namespace

QString MediaFilesFilter() {
    // The demuxers do not change while the program runs.
    static const QString filter = [] {
        QStringList patterns;
        for (const std::string& extension : media::MediaFileExtensions()) {
            patterns << QStringLiteral("*.") + QString::fromStdString(extension);
        }
        return QStringLiteral("Media Files (%1)").arg(patterns.join(QLatin1Char(' ')));
    }();
    return filter;
}

QString QtFileDialogService::OpenFileName(QWidget* parent, const QString& caption,
                                          const QString& folder, const QStringList& nameFilters) {
    // The media filter's pattern list runs to hundreds of extensions: its name says enough.
    return QFileDialog::getOpenFileName(parent, caption, folder, JoinFilters(nameFilters), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

QStringList QtFileDialogService::OpenFileNames(QWidget* parent, const QString& caption,
                                               const QString& folder,
                                               const QStringList& nameFilters) {
    return QFileDialog::getOpenFileNames(parent, caption, folder, JoinFilters(nameFilters), nullptr,
                                         QFileDialog::HideNameFilterDetails);
}

QString QtFileDialogService::SaveFileName(QWidget* parent, const QString& caption,
                                          const QString& path, const QStringList& nameFilters) {
    return QFileDialog::getSaveFileName(parent, caption, path, JoinFilters(nameFilters));
}

QString QtFileDialogService::ExistingFolder(QWidget* parent, const QString& caption,
                                            const QString& folder) {
    return QFileDialog::getExistingDirectory(parent, caption, folder);
}

QStringList QueuedFileDialogService::Answer(const QString& caption, const QString& start,
                                            const QStringList& filters) {
    requests_.push_back({caption, start, filters});
    if (answers_.empty()) {
        return {};
    }
    QStringList answer = answers_.front();
    answers_.pop_front();
    return answer;
}

QString QueuedFileDialogService::OpenFileName(QWidget*, const QString& caption,
                                              const QString& folder,
                                              const QStringList& nameFilters) {
    return Answer(caption, folder, nameFilters).value(0);
}

QStringList QueuedFileDialogService::OpenFileNames(QWidget*, const QString& caption,
                                                   const QString& folder,
                                                   const QStringList& nameFilters) {
    QStringList answer = Answer(caption, folder, nameFilters);
    answer.removeAll(QString());
    return answer;
}

QString QueuedFileDialogService::SaveFileName(QWidget*, const QString& caption, const QString& path,
                                              const QStringList& nameFilters) {
    return Answer(caption, path, nameFilters).value(0);
}

QString QueuedFileDialogService::ExistingFolder(QWidget*, const QString& caption,
                                                const QString& folder) {
    return Answer(caption, folder, {}).value(0);
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
