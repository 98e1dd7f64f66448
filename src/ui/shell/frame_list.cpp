#include "shell/frame_list.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QVBoxLayout>
#include <algorithm>

#include "app/scaling.h"
#include "dialogs/delete_dialog.h"
#include "platform/message_service.h"
#include "shell/frame_info.h"
#include "shell/new_conversion.h"
#include "shell/percent_delegate.h"
#include "tasks/configuration.h"
#include "util/av_error.h"

namespace tw::ui {

namespace {

// The local files a drag carries, when the list may take them; none otherwise.
QStringList DroppableFiles(const QMimeData& data) {
    const QList<QUrl> urls = data.hasUrls() ? data.urls() : QList<QUrl>();
    if (!AcceptsDrop(static_cast<int>(urls.size()), HasNewConversion())) {
        return {};
    }
    QStringList files;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            return {};
        }
        files << url.toLocalFile();
    }
    return files;
}

}  // namespace

TFrameList::TFrameList(QWidget* parent)
    : QWidget(parent), view_(new QTreeView(this)), percent_(new PercentDelegate(this)) {
    setObjectName(QStringLiteral("FrameList"));
    view_->setObjectName(QStringLiteral("vstTaskList"));
    view_->setModel(&model_);
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);
    view_->setAllColumnsShowFocus(true);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->setAcceptDrops(true);
    view_->setDropIndicatorShown(false);
    // Converted rows may be dragged onto a category of the category tree.
    view_->setDragEnabled(true);
    view_->header()->setStretchLastSection(true);
    view_->header()->setSectionsMovable(false);
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    connect(&model_, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex&, int first, int last) { SizeNewColumns(first, last); });
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                emit FocusedTaskChanged(model_.TaskAt(current.row()));
            });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFrameList::SelectionChanged);
    connect(view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (popup_) {
            popup_->popup(view_->viewport()->mapToGlobal(pos));
        }
    });
}

void TFrameList::SizeNewColumns(int first, int last) {
    for (int column = first; column <= last; ++column) {
        view_->header()->resizeSection(column, ScaledPixels(*view_, model_.DesignWidth(column)));
        const bool percent =
            model_.headerData(column, Qt::Horizontal, Qt::DisplayRole) == QLatin1String("Percent");
        view_->setItemDelegateForColumn(column, percent ? percent_ : nullptr);
    }
}

void TFrameList::Clear() {
    for (int column = 0; column < model_.columnCount(); ++column) {
        view_->setItemDelegateForColumn(column, nullptr);
    }
    model_.Clear();
    emit FocusedTaskChanged(nullptr);
}

void TFrameList::AddColumn(const std::string& caption, int width) {
    model_.AddColumn(caption, width);
}

void TFrameList::AddRow(TAVTask& task) {
    model_.AddRow(task);
}

void TFrameList::RemoveRow(TAVTask& task) {
    if (info_) {
        info_->Forget(task);
    }
    model_.RemoveRow(task);
}

void TFrameList::RepaintRow(TAVTask& task) {
    model_.RepaintRow(task);
}

int TFrameList::RowCount() const {
    return model_.rowCount();
}

bool TFrameList::IsRowSelected(const TAVTask& task) const {
    const int row = model_.RowOf(task);
    return row >= 0 && view_->currentIndex().row() == row &&
           view_->selectionModel()->isRowSelected(row, {});
}

TAVTask* TFrameList::FocusedTask() const {
    return model_.TaskAt(view_->currentIndex().row());
}

TaskSelection TFrameList::Selection() const {
    TaskSelection selection;
    selection.focused = FocusedTask();
    for (const QModelIndex& index : view_->selectionModel()->selectedRows()) {
        if (TAVTask* task = model_.TaskAt(index.row())) {
            selection.selected.push_back(task);
        }
    }
    return selection;
}

bool TFrameList::HasActiveSelection() const {
    return CanStopTasks(Selection());
}

void TFrameList::ShowNodeTasks(TNodeObject& node) {
    node.ShowTasks(*this);
}

bool TFrameList::Listed(const TAVTask* task) const {
    return task && model_.RowOf(*task) >= 0;
}

void TFrameList::StopSelectedTasks() {
    const TaskSelection selection = Selection();
    // Those waiting for their turn first, so that a place another gives up does not start them.
    for (const bool queued : {true, false}) {
        for (auto it = selection.selected.rbegin(); it != selection.selected.rend(); ++it) {
            if (Listed(*it) && (queued ? (*it)->Queued() : (*it)->IsActive())) {
                (*it)->Stop();
            }
        }
    }
}

void TFrameList::DeleteSelectedTasks() {
    const TaskSelection selection = Selection();
    if (selection.selected.empty()) {
        return;
    }
    DeleteChoice last;
    if (configuration_) {
        last = {configuration_->DeleteSourceFile(), configuration_->DeleteTargetFile()};
    }
    const std::optional<DeleteChoice> choice = ExecuteDeleteDialog(this, last);
    if (!choice) {
        return;
    }
    if (configuration_) {
        configuration_->SetDeleteSourceFile(choice->deleteSource);
        configuration_->SetDeleteTargetFile(choice->deleteTarget);
    }
    // Backwards: each deleted task leaves the list. A task freed meanwhile (a run completing
    // while another task waits for its stopped run to end) is no longer listed and is skipped.
    for (auto it = selection.selected.rbegin(); it != selection.selected.rend(); ++it) {
        TAVTask* task = *it;
        if (!Listed(task)) {
            continue;
        }
        if (task->IsActive()) {
            task->Stop();
            RepaintRow(*task);
            continue;
        }
        try {
            task->Delete(choice->deleteSource, choice->deleteTarget);
        } catch (const EAVError& e) {
            // The database refused; the task stays, and so do the others.
            platform::Messages().ShowError(e.what());
            return;
        }
    }
}

void TFrameList::SelectTask(TAVTask& task, bool addToSelection) {
    const int row = model_.RowOf(task);
    if (row < 0) {
        return;
    }
    const auto flags =
        (addToSelection ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
        QItemSelectionModel::Rows;
    view_->selectionModel()->setCurrentIndex(model_.index(row, 0), flags);
}

bool TFrameList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
            view_->selectionModel()->hasSelection()) {
            DeleteSelectedTasks();
            return true;
        }
        return false;
    }
    if (watched != view_->viewport()) {
        return false;
    }
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = DroppableFiles(*drop->mimeData());
            if (files.isEmpty()) {
                drop->ignore();  // the refusing cursor
                return true;
            }
            drop->setDropAction(Qt::LinkAction);
            drop->accept();
            if (event->type() == QEvent::Drop) {
                emit FilesDropped(files);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace tw::ui
