#include "wizard/file_edit.h"

#include <QCompleter>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>
#include <QUrl>

#include "app/file_dialog_service.h"
#include "app/icons.h"

namespace tw::ui {

FileEdit::FileEdit(const QString& objectName, Mode mode, QWidget* parent)
    : QWidget(parent), mode_(mode), edit_(new QLineEdit(this)), browse_(new QToolButton(this)) {
    edit_->setObjectName(objectName);
    browse_->setObjectName(objectName + QStringLiteral("Browse"));
    browse_->setIcon(ThemeIcon(QStringLiteral("folder")));
    browse_->setToolTip(QStringLiteral("Browse"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_, 1);
    layout->addWidget(browse_);
    setFocusProxy(edit_);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(browse_, &QToolButton::clicked, this, &FileEdit::Browse);
    connect(edit_, &QLineEdit::textChanged, this, &FileEdit::textChanged);
    connect(edit_, &QLineEdit::editingFinished, this, &FileEdit::TakeTypedName);
}

QString FileEdit::FileName() const {
    return edit_->text();
}

void FileEdit::SetFileName(const QString& name) {
    edit_->setText(name);
    taken_ = name;
    emit nameTaken(name);
}

void FileEdit::Revert(const QString& name) {
    const QSignalBlocker quiet(edit_);
    edit_->setText(name);
    taken_ = name;
}

void FileEdit::TakeTypedName() {
    if (taking_ || edit_->isReadOnly()) {
        return;
    }
    QString typed = edit_->text();
    if (const QUrl url(typed); url.isLocalFile()) {
        typed = url.toLocalFile();
    }
    if (typed == taken_) {
        edit_->setText(typed);
        return;
    }
    taking_ = true;
    const bool refused = !typed.isEmpty() && check_ && !check_(typed);
    taking_ = false;
    if (refused) {
        edit_->setText(taken_);
        return;
    }
    SetFileName(typed);
}

void FileEdit::SetTypingAllowed(bool allowed) {
    edit_->setReadOnly(!allowed);
}

void FileEdit::EnableCompletion() {
    auto* model = new QFileSystemModel(this);
    model->setRootPath(QString());
    model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    auto* completer = new QCompleter(model, this);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    edit_->setCompleter(completer);
}

void FileEdit::Browse() {
    const QFileInfo current(FileName());
    QString start = startFolder_;
    if (!FileName().isEmpty() && current.dir().exists()) {
        start = current.absoluteFilePath();
    }
    QString chosen;
    switch (mode_) {
        case Mode::Open:
            if (multiple_) {
                const QStringList names =
                    FileDialogs().OpenFileNames(this, caption_, start, nameFilters_);
                if (names.size() > 1) {
                    emit namesChosen(names);
                    return;
                }
                chosen = names.value(0);
            } else {
                chosen = FileDialogs().OpenFileName(this, caption_, start, nameFilters_);
            }
            break;
        case Mode::Save:
            chosen = FileDialogs().SaveFileName(this, caption_, start, nameFilters_);
            break;
        case Mode::Folder:
            chosen = FileDialogs().ExistingFolder(
                this, caption_, current.isDir() ? current.absoluteFilePath() : start);
            break;
    }
    if (chosen.isEmpty() || (check_ && !check_(chosen))) {
        return;
    }
    SetFileName(chosen);
}

}  // namespace tw::ui
