#pragma once

// What the task model needs of the user interface. The front end implements these over its
// widgets; tests record. Every call is made on the UI thread.

#include <string>

#include "util/string_list.h"

namespace tw {

class TNodeObject;
class TAVTask;

// The task list: one row per task of the node on display, columns set by that node.
class TaskListView {
public:
    virtual ~TaskListView() = default;
    // Row count 0 and no columns.
    virtual void Clear() = 0;
    virtual void AddColumn(const std::string& caption, int width) = 0;
    virtual void AddRow(TAVTask& task) = 0;
    // The view must forget the task here (its log pane too): it may be freed right after.
    virtual void RemoveRow(TAVTask& task) = 0;
    // Asks for the row to be painted again; its texts are read from the task when painted.
    virtual void RepaintRow(TAVTask& task) = 0;
    virtual int RowCount() const = 0;
    virtual bool IsRowSelected(const TAVTask& task) const = 0;
};

// The log pane's list of lines.
class LogListView {
public:
    virtual ~LogListView() = default;
    virtual void SetLines(const TStringList& lines) = 0;
};

// The information tree beside the log (columns only; the rows are the front end's).
class InfoTreeView {
public:
    virtual ~InfoTreeView() = default;
    virtual void ClearColumns() = 0;
    virtual void AddColumn(const std::string& caption, int width) = 0;
};

// The category tree: which node's tasks the list shows, and which node has the focus.
class CategoryTreeView {
public:
    virtual ~CategoryTreeView() = default;
    virtual TNodeObject* DisplayedNode() const = 0;
    virtual TNodeObject* FocusedNode() const = 0;
    // Nodes were added or removed below the tree's model; the view redraws.
    virtual void NodesChanged() {}
    // Selects and focuses the node, which shows its tasks.
    virtual void SelectNode(TNodeObject& node) = 0;
};

// The desktop alert shown when a task completes.
struct TaskAlert {
    std::string header;      // "Task Completed"
    std::string message;     // "<target> was generated."
    std::string targetFile;  // what the alert's buttons open
    int imageIndex = 0;      // in the program's 32 x 32 image list
    int width = 270;
    int height = 150;
    int showTimeMs = 40000;  // fading out afterwards; bottom right; may be clicked, moved, closed
};

class AlertService {
public:
    virtual ~AlertService() = default;
    virtual void ShowAlert(const TaskAlert& alert) = 0;
};

}  // namespace tw
