#pragma once

// The category tree of the main window ("vstExplorer"): the Converting node and the categories
// of converted files. Selecting a node shows its tasks in the task list; a category offers the
// category popup menu and takes converted tasks dragged from the list. It owns the node model
// (TCategoryTree) and is the tree the tasks report to (CategoryTreeView). UI thread only.

#include <QWidget>
#include <memory>
#include <vector>

#include "shell/category_tree_model.h"
#include "tasks/category_tree.h"
#include "tasks/task_environment.h"

class QDropEvent;
class QMenu;
class QTreeView;

namespace tw::ui {

class TFrameList;

class TFrameExplorer : public QWidget, public CategoryTreeView {
    Q_OBJECT

public:
    // Becomes the environment's category tree for as long as it lives.
    explicit TFrameExplorer(TTaskEnvironment& environment, QWidget* parent = nullptr);
    ~TFrameExplorer() override;

    void SetTaskList(TFrameList* list) { list_ = list; }
    // The menu a category offers on a right click.
    void SetCategoryMenu(QMenu* menu) { categoryMenu_ = menu; }

    // Loads the categories from the database once.
    void BuildTree();
    TCategoryTree& Tree() { return *tree_; }
    // Frees every node and task; the program is ending.
    void ReleaseTree();

    // CategoryTreeView
    TNodeObject* DisplayedNode() const override { return displayed_; }
    TNodeObject* FocusedNode() const override;
    void NodesChanged() override;
    void SelectNode(TNodeObject& node) override;

    TConvertedNode* FocusedCategory() const;
    QTreeView* View() const { return view_; }

    // Files the converted tasks among these (all of the node on display) under the category;
    // they leave the list. A refusal of the database is shown and ends the moving.
    void MoveTasks(const std::vector<TAVTask*>& tasks, TConvertedNode& category);

protected:
    // Drags of converted rows over the categories.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The task list now shows this node's tasks.
    void NodeShown(TNodeObject* node);

private:
    void OnCurrentChanged(const QModelIndex& current);
    void OnContextMenu(const QPoint& pos);
    void OnDoubleClick(const QModelIndex& index);
    // The category a drag at pos may drop tasks on; none when it may not.
    TConvertedNode* DropTarget(const QDropEvent& event) const;

    TTaskEnvironment& environment_;
    std::unique_ptr<TCategoryTree> tree_;
    CategoryTreeModel model_;
    QTreeView* view_;
    TFrameList* list_ = nullptr;
    QMenu* categoryMenu_ = nullptr;
    TNodeObject* displayed_ = nullptr;
    // Set while the tree is rebuilt: putting the focus back shows nothing again.
    bool restoring_ = false;
};

}  // namespace tw::ui
