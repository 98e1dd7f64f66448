#include "wizard/frame_sources.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include "app/busy_spinner.h"
#include "app/file_dialog_service.h"
#include "app/icons.h"
#include "platform/message_service.h"
#include "platform/paths.h"
#include "platform/work_pool.h"
#include "probe/file_checks.h"
#include "probe/media_folder.h"
#include "util/format.h"

namespace tw::ui {

namespace {

// One file under any of its names: a link, a relative path and the file itself are one.
QString SameFileKey(const QString& file) {
    const QFileInfo info(file);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

TFrameSources::TFrameSources(platform::WorkPool& background, QWidget* parent)
    : QWidget(parent),
      background_(background),
      btnAddFolder_(new QPushButton(ThemeIcon(QStringLiteral("folder")),
                                    QStringLiteral("Add &folder…"), this)),
      chkSubfolders_(new QCheckBox(QStringLiteral("With su&bfolders"), this)),
      spinner_(new BusySpinner(this)),
      lstSources_(new QListWidget(this)),
      btnRemove_(new QPushButton(QStringLiteral("&Remove"), this)) {
    setObjectName(QStringLiteral("FrameSources"));
    btnAddFolder_->setObjectName(QStringLiteral("btnAddFolder"));
    btnAddFolder_->setAutoDefault(false);
    btnAddFolder_->setToolTip(
        QStringLiteral("Converts the media files of a folder alike, each into a file of its own"));
    chkSubfolders_->setObjectName(QStringLiteral("chkSubfolders"));
    lstSources_->setObjectName(QStringLiteral("lstSources"));
    lstSources_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A refusal's reason wraps under its file instead of running off to the side.
    lstSources_->setWordWrap(true);
    lstSources_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    btnRemove_->setObjectName(QStringLiteral("btnRemoveSource"));
    btnRemove_->setAutoDefault(false);
    btnRemove_->setEnabled(false);

    auto* folderRow = new QHBoxLayout;
    folderRow->setContentsMargins(0, 0, 0, 0);
    folderRow->addWidget(btnAddFolder_);
    folderRow->addWidget(chkSubfolders_);
    folderRow->addWidget(spinner_);
    folderRow->addStretch(1);
    auto* removeRow = new QHBoxLayout;
    removeRow->setContentsMargins(0, 0, 0, 0);
    removeRow->addStretch(1);
    removeRow->addWidget(btnRemove_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(folderRow);
    layout->addWidget(lstSources_, 1);
    layout->addLayout(removeRow);

    connect(btnAddFolder_, &QPushButton::clicked, this, &TFrameSources::AddFolder);
    connect(btnRemove_, &QPushButton::clicked, this, &TFrameSources::RemoveSelected);
    connect(lstSources_, &QListWidget::itemSelectionChanged, this,
            [this] { btnRemove_->setEnabled(!lstSources_->selectedItems().isEmpty()); });
    Show();
}

QStringList TFrameSources::Files() const {
    QStringList files;
    for (const Source& source : sources_) {
        files << source.file;
    }
    return files;
}

QStringList TFrameSources::ReadyFiles() const {
    QStringList files;
    for (const Source& source : sources_) {
        if (source.state == State::Ready) {
            files << source.file;
        }
    }
    return files;
}

bool TFrameSources::Busy() const {
    return listings_ > 0 || std::any_of(sources_.begin(), sources_.end(),
                                        [](const Source& s) { return s.state == State::Checking; });
}

void TFrameSources::SetFiles(const QStringList& files) {
    std::vector<Source> listed;
    QSet<QString> keys;
    for (const QString& file : files) {
        const QString key = SameFileKey(file);
        if (file.isEmpty() || keys.contains(key)) {
            continue;
        }
        keys.insert(key);
        const auto known = std::find_if(sources_.begin(), sources_.end(), [&](const Source& s) {
            return SameFileKey(s.file) == key;
        });
        if (known != sources_.end()) {
            listed.push_back(*known);
            continue;
        }
        Source source;
        source.file = file;
        source.id = ++lastId_;
        listed.push_back(source);
        Examine(source);
    }
    sources_ = std::move(listed);
    Show();
    emit changed();
}

void TFrameSources::Examine(const Source& source) {
    // The same words the wizard's final check uses, so a refusal reads alike everywhere.
    background_.Run([file = source.file.toStdString()] { return probe::SourceFileProblem(file); },
                    [self = QPointer<TFrameSources>(this), id = source.id](std::string problem) {
                        if (!self) {
                            return;
                        }
                        for (Source& listed : self->sources_) {
                            if (listed.id == id) {
                                listed.state = problem.empty() ? State::Ready : State::Refused;
                                listed.reason = QString::fromStdString(problem);
                                self->Show();
                                emit self->changed();
                                return;
                            }
                        }
                    });
}

void TFrameSources::AddFolder() {
    const QString start = sources_.empty() ? QString::fromStdString(platform::VideosFolder())
                                           : QFileInfo(sources_.back().file).absolutePath();
    const QString folder = FileDialogs().ExistingFolder(
        this, QStringLiteral("Add the media files of a folder"), start);
    if (!folder.isEmpty()) {
        ListFolders({folder});
    }
}

void TFrameSources::ListFolders(const QStringList& folders) {
    std::vector<std::string> paths;
    for (const QString& folder : folders) {
        paths.push_back(folder.toStdString());
    }
    ++listings_;
    Show();
    emit changed();
    background_.Run(
        [paths, withSubfolders = chkSubfolders_->isChecked()] {
            std::vector<std::string> found;
            for (const std::string& folder : paths) {
                for (std::string& file : probe::MediaFilesIn(folder, withSubfolders)) {
                    found.push_back(std::move(file));
                }
            }
            return found;
        },
        [self = QPointer<TFrameSources>(this), folders](std::vector<std::string> found) {
            if (!self) {
                return;
            }
            --self->listings_;
            self->Show();
            emit self->changed();
            if (found.empty()) {
                platform::Messages().ShowError(
                    FormatPrintf("The folder %s holds no media files.",
                                 folders.join(QStringLiteral(", ")).toStdString().c_str()));
                return;
            }
            QStringList files;
            for (const std::string& file : found) {
                files << QString::fromStdString(file);
            }
            emit self->folderListed(files);
        });
}

void TFrameSources::RemoveSelected() {
    QSet<int> removed;
    for (const QListWidgetItem* item : lstSources_->selectedItems()) {
        removed.insert(item->data(Qt::UserRole).toInt());
    }
    sources_.erase(std::remove_if(sources_.begin(), sources_.end(),
                                  [&](const Source& s) { return removed.contains(s.id); }),
                   sources_.end());
    Show();
    emit changed();
}

void TFrameSources::Show() {
    spinner_->SetBusy(Busy());
    const bool several = sources_.size() >= 2;
    lstSources_->setVisible(several);
    btnRemove_->setVisible(several);
    QSet<int> selected;
    for (const QListWidgetItem* item : lstSources_->selectedItems()) {
        selected.insert(item->data(Qt::UserRole).toInt());
    }
    lstSources_->clear();
    const QIcon checking = ThemeIcon(QStringLiteral("appointment-soon"));
    const QIcon ready = ThemeIcon(QStringLiteral("emblem-default"));
    const QIcon refused = ThemeIcon(QStringLiteral("dialog-error"));
    for (const Source& source : sources_) {
        const QString name = QFileInfo(source.file).fileName();
        auto* item = new QListWidgetItem(lstSources_);
        item->setData(Qt::UserRole, source.id);
        item->setToolTip(source.file);
        switch (source.state) {
            case State::Checking:
                item->setIcon(checking);
                item->setText(name + QStringLiteral(" — checking…"));
                break;
            case State::Ready:
                item->setIcon(ready);
                item->setText(name);
                break;
            case State::Refused:
                item->setIcon(refused);
                item->setText(name + QStringLiteral(" — refused: ") + source.reason);
                item->setToolTip(source.reason);
                break;
        }
        item->setSelected(selected.contains(source.id));
    }
    btnRemove_->setEnabled(!lstSources_->selectedItems().isEmpty());
}

}  // namespace tw::ui
