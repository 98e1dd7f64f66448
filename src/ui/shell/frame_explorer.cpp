#include "shell/frame_explorer.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTreeView>
#include <QVBoxLayout>

#include "platform/message_service.h"
#include "shell/frame_list.h"
#include "shell/task_list_model.h"
#include "tasks/av_task.h"
#include "util/av_error.h"

namespace tw::ui {

TFrameExplorer::TFrameExplorer(TTaskEnvironment& environment, QWidget* parent)
    : QWidget(parent),
      environment_(environment),
      tree_(std::make_unique<TCategoryTree>(environment)),
      view_(new QTreeView(this)) {
    setObjectName(QStringLiteral("FrameExplorer"));
    environment_.ExplorerTree = this;
    model_.SetTree(tree_.get());
    view_->setObjectName(QStringLiteral("vstExplorer"));
    view_->setModel(&model_);
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(true);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->setAcceptDrops(true);
    view_->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnCurrentChanged(current); });
    connect(view_, &QWidget::customContextMenuRequested, this, &TFrameExplorer::OnContextMenu);
    connect(view_, &QAbstractItemView::doubleClicked, this, &TFrameExplorer::OnDoubleClick);
}

TFrameExplorer::~TFrameExplorer() {
    ReleaseTree();
    if (environment_.ExplorerTree == this) {
        environment_.ExplorerTree = nullptr;
    }
}

void TFrameExplorer::BuildTree() {
    tree_->BuildTree();
}

void TFrameExplorer::ReleaseTree() {
    if (!tree_) {
        return;
    }
    displayed_ = nullptr;
    model_.SetTree(nullptr);
    tree_.reset();
}

TNodeObject* TFrameExplorer::FocusedNode() const {
    return model_.NodeAt(view_->currentIndex());
}

TConvertedNode* TFrameExplorer::FocusedCategory() const {
    return dynamic_cast<TConvertedNode*>(FocusedNode());
}

void TFrameExplorer::NodesChanged() {
    TNodeObject* focused = FocusedNode();
    restoring_ = true;
    model_.Reload();
    view_->expandAll();
    const QModelIndex index = model_.IndexOf(focused);
    if (index.isValid()) {
        view_->setCurrentIndex(index);
    }
    restoring_ = false;
}

void TFrameExplorer::SelectNode(TNodeObject& node) {
    const QModelIndex index = model_.IndexOf(&node);
    if (index.isValid()) {
        view_->scrollTo(index);
        view_->setCurrentIndex(index);
    }
}

void TFrameExplorer::OnCurrentChanged(const QModelIndex& current) {
    TNodeObject* node = model_.NodeAt(current);
    if (!node || (restoring_ && node == displayed_)) {
        return;
    }
    displayed_ = node;
    if (list_) {
        list_->ShowNodeTasks(*node);
    }
    emit NodeShown(node);
}

void TFrameExplorer::OnContextMenu(const QPoint& pos) {
    const QModelIndex index = view_->indexAt(pos);
    if (index.isValid()) {
        view_->setCurrentIndex(index);
    }
    TNodeObject* node = FocusedNode();
    if (node && node->GetPopupMenu() == TNodeObject::PopupMenu::Category && categoryMenu_) {
        categoryMenu_->popup(view_->viewport()->mapToGlobal(pos));
    }
}

void TFrameExplorer::MoveTasks(const std::vector<TAVTask*>& tasks, TConvertedNode& category) {
    // Backwards, as deleting does: each moved task leaves the list.
    for (auto it = tasks.rbegin(); it != tasks.rend(); ++it) {
        TAVTask* task = *it;
        if (!task->IsConverted() || task->Category() == &category) {
            continue;
        }
        try {
            tree_->MoveTask(*task, category);
        } catch (const EAVError& e) {
            platform::Messages().ShowError(e.what());
            return;
        }
    }
}

TConvertedNode* TFrameExplorer::DropTarget(const QDropEvent& event) const {
    if (!event.mimeData()->hasFormat(QString::fromLatin1(TaskListModel::kTaskIdsMimeType))) {
        return nullptr;
    }
    auto* category =
        dynamic_cast<TConvertedNode*>(model_.NodeAt(view_->indexAt(event.position().toPoint())));
    return category != displayed_ ? category : nullptr;
}

bool TFrameExplorer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view_->viewport()) {
        return false;
    }
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            TConvertedNode* category = DropTarget(*drop);
            if (event->type() == QEvent::DragEnter &&
                drop->mimeData()->hasFormat(QString::fromLatin1(TaskListModel::kTaskIdsMimeType))) {
                // Taken so that the moves over the categories follow.
                drop->acceptProposedAction();
                return true;
            }
            if (!category) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::MoveAction);
            drop->accept();
            if (event->type() == QEvent::Drop && displayed_) {
                std::vector<TAVTask*> tasks;
                for (const int id : TaskListModel::TaskIds(*drop->mimeData())) {
                    for (const auto& task : displayed_->Tasks()) {
                        if (task->ID() == id) {
                            tasks.push_back(task.get());
                        }
                    }
                }
                MoveTasks(tasks, *category);
            }
            return true;
        }
        default:
            return false;
    }
}

void TFrameExplorer::OnDoubleClick(const QModelIndex& index) {
    TNodeObject* node = model_.NodeAt(index);
    if (!node) {
        return;
    }
    try {
        node->Execute();
    } catch (const std::exception& e) {
        platform::Messages().ShowError(std::string("ERROR:") + e.what());
    }
}

}  // namespace tw::ui
