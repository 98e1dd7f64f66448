#pragma once

// The task list of the main window: the tasks of the node on display in a QTreeView
// ("vstTaskList"), the commands that act on the selected tasks, and the drop target for media
// files. The node fills it through TaskListView; the log pane follows the focused task.
// UI thread only.

#include <QTreeView>
#include <QWidget>

#include "shell/action_rules.h"
#include "shell/task_list_model.h"
#include "tasks/task_views.h"

class QMenu;

namespace tw {
class TAVConfiguration;
}

namespace tw::ui {

class TFrameInfo;
class PercentDelegate;

class TFrameList : public QWidget, public TaskListView {
    Q_OBJECT

public:
    explicit TFrameList(QWidget* parent = nullptr);

    // TaskListView
    void Clear() override;
    void AddColumn(const std::string& caption, int width) override;
    void AddRow(TAVTask& task) override;
    void RemoveRow(TAVTask& task) override;
    void RepaintRow(TAVTask& task) override;
    int RowCount() const override;
    // The focused row, when it is selected: the task whose log the log pane follows.
    bool IsRowSelected(const TAVTask& task) const override;

    // The log pane that shows the focused task; it is told when a task leaves the list.
    void SetInfoFrame(TFrameInfo* info) { info_ = info; }
    void SetPopupMenu(QMenu* menu) { popup_ = menu; }
    // Where the delete confirmation's last choice is kept; none: it starts with both boxes clear.
    void SetConfiguration(TAVConfiguration* configuration) { configuration_ = configuration; }

    TAVTask* FocusedTask() const;
    TaskSelection Selection() const;
    bool HasActiveSelection() const;
    // Fills the list with the node's columns and tasks.
    void ShowNodeTasks(TNodeObject& node);
    // Stops every selected task that is converting, paused or waiting for its turn, the last
    // selected first.
    void StopSelectedTasks();
    // Asks the delete question (its boxes as the user left them last, kept on Yes); on Yes
    // stops the selected active tasks and deletes the others with the files ticked, walking the
    // selection backwards.
    void DeleteSelectedTasks();
    // Selects the row and makes it the focused one.
    void SelectTask(TAVTask& task, bool addToSelection = false);

    QTreeView* View() const { return view_; }
    TaskListModel& Model() { return model_; }

signals:
    // The focused task changed (none when the list lost its focus row).
    void FocusedTaskChanged(TAVTask* task);
    void SelectionChanged();
    // Files (one or several, folders too) were dropped onto the list.
    void FilesDropped(const QStringList& files);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SizeNewColumns(int first, int last);
    // Whether the task is still listed; a task that left may already be freed.
    bool Listed(const TAVTask* task) const;

    TaskListModel model_;
    QTreeView* view_;
    PercentDelegate* percent_;
    TFrameInfo* info_ = nullptr;
    QMenu* popup_ = nullptr;
    TAVConfiguration* configuration_ = nullptr;
};

}  // namespace tw::ui
