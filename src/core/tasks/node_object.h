#pragma once

// The nodes of the category tree and the task list. A node owns its tasks; the category tree
// model (category_tree.h) owns the category nodes. Everything here runs on the UI thread.

#include <memory>
#include <string>
#include <vector>

#include "tasks/task_environment.h"
#include "tasks/task_views.h"

namespace tw {

class TAVTask;

class TNodeObject {
public:
    using TaskList = std::vector<std::unique_ptr<TAVTask>>;
    enum class PopupMenu { None, Category };

    explicit TNodeObject(TTaskEnvironment& environment);
    // Frees the tasks, the last first.
    virtual ~TNodeObject();
    TNodeObject(const TNodeObject&) = delete;
    TNodeObject& operator=(const TNodeObject&) = delete;

    virtual PopupMenu GetPopupMenu() const { return PopupMenu::None; }
    virtual void Execute() {}
    virtual std::string GetText(int column) = 0;
    virtual int GetImageIndex() const { return -1; }
    virtual void ShowTasks(TaskListView& view) { listView_ = &view; }
    virtual void ShowInfo(InfoTreeView* infoTree, LogListView* logList);

    TaskListView* ListView() const { return listView_; }
    void SetListView(TaskListView* view) { listView_ = view; }
    InfoTreeView* InfoTree() const { return infoTree_; }
    LogListView* LogList() const { return logList_; }
    CategoryTreeView* ExplorerTree() const { return environment_.ExplorerTree; }
    TTaskEnvironment& Environment() const { return environment_; }

    // The category node above this one in the tree; none for a root.
    TNodeObject* ParentObject() const { return parent_; }
    void SetParentObject(TNodeObject* parent) { parent_ = parent; }
    // Whether this node's tasks are the ones the task list shows.
    bool IsDisplayed() const;

    TaskList& Tasks() { return tasks_; }
    const TaskList& Tasks() const { return tasks_; }
    void AppendTask(std::unique_ptr<TAVTask> task);
    // Takes the task out of the list; the caller owns it. Asserts that it is there.
    std::unique_ptr<TAVTask> ExtractTask(TAVTask& task);
    void ClearTasks();

    // Frees a task once its converter's worker has ended (it may still be delivering the event
    // that decided to free the task).
    void ReleaseLater(std::unique_ptr<TAVTask> task);

protected:
    TaskListView* listView_ = nullptr;
    InfoTreeView* infoTree_ = nullptr;
    LogListView* logList_ = nullptr;

private:
    TTaskEnvironment& environment_;
    TNodeObject* parent_ = nullptr;
    TaskList tasks_;
};

// The one node of unfinished tasks.
class TConvertingNode : public TNodeObject {
public:
    using TNodeObject::TNodeObject;

    std::string GetText(int column) override;
    int GetImageIndex() const override { return 0; }
    // Ten columns; the unfinished tasks are loaded from the database on the first display.
    void ShowTasks(TaskListView& view) override;

    // Creates, shows and stores a task for the settings and puts it in the queue (Enqueue);
    // returns it. Throws EAVError, adding nothing, when another task is writing the same target
    // file.
    TAVTask& AddTask(std::unique_ptr<class TConversionSettings> settings);

    // The queue. At most Places() tasks are active at once (converting or paused with a run of
    // their own; 0 places: any number); the others wait for their turn and start in list order
    // as places come free. The order and the waiting survive a restart of the program (the list
    // is in the order the tasks were added).
    int Places() const;
    // Starts the task (restarts a stopped one) when a place is free and no task before it in the
    // list waits, else lets it wait. What Start returns or throws comes back.
    bool Enqueue(TAVTask& task);
    // Starts waiting tasks, in list order, while places are free. A task whose turn came but
    // that cannot start is marked failed, with the reason in its log.
    void StartWaiting();
    // The program ends: no waiting task starts any more.
    void HoldQueue() { queueHeld_ = true; }

    bool Loaded() const { return loaded_; }
    // Whether any task here is converting right now.
    bool HasRunningTask() const;

    // Throws EAVError naming the file and the task when a task here other than except is
    // writing target (two runs writing one file would leave it broken).
    void CheckTargetFree(const std::string& target, const TAVTask* except) const;
    // Whether an unfinished task here converts into target, running or not.
    bool HoldsTarget(const std::string& target) const;

private:
    // Whether fewer than Places() tasks other than asking are active.
    bool HasFreePlace(const TAVTask* asking = nullptr) const;

    bool loaded_ = false;
    bool queueHeld_ = false;
};

// One category of converted files.
class TConvertedNode : public TNodeObject {
public:
    TConvertedNode(TTaskEnvironment& environment, int id, std::string name, std::string path)
        : TNodeObject(environment), id_(id), name_(std::move(name)), path_(std::move(path)) {}

    std::string GetText(int) override { return name_; }
    int GetImageIndex() const override { return 1; }
    PopupMenu GetPopupMenu() const override { return PopupMenu::Category; }
    // Seven columns; the converted tasks are reloaded, newest first, on every display.
    void ShowTasks(TaskListView& view) override;

    int ID() const { return id_; }
    void SetID(int id) { id_ = id; }
    const std::string& CategoryName() const { return name_; }
    void SetCategoryName(const std::string& name) { name_ = name; }
    const std::string& Path() const { return path_; }
    void SetPath(const std::string& path) { path_ = path; }

    // The default category, id 1, can never be deleted.
    bool CanDelete() const { return id_ != 1; }

private:
    int id_;
    std::string name_;
    std::string path_;
};

}  // namespace tw
