#pragma once

// The log pane: the log of the focused task, following it live, on the "Logs" page; the
// "Task Info" page exists with its columns but its tab is hidden. Its one command, Clear Log,
// sits in the log's popup menu. UI thread only.

#include <QWidget>

#include "tasks/task_views.h"

class QAction;
class QListView;
class QStringListModel;
class QTabWidget;
class QTreeWidget;

namespace tw::ui {

class TFrameInfo : public QWidget, public LogListView, public InfoTreeView {
    Q_OBJECT

public:
    explicit TFrameInfo(QWidget* parent = nullptr);

    // Shows the task's log (none: an empty pane) and remembers it for Clear Log.
    void ShowTask(TAVTask* task);
    // The task is leaving; the pane lets go of it.
    void Forget(const TAVTask& task);
    TAVTask* Task() const { return task_; }

    // LogListView
    void SetLines(const TStringList& lines) override;
    // InfoTreeView
    void ClearColumns() override;
    void AddColumn(const std::string& caption, int width) override;

    int LineCount() const;
    QAction* ClearLogAction() const { return actClearLog_; }
    // Enables Clear Log while the log has a line.
    void UpdateActions();

private:
    QTabWidget* pages_;
    QTreeWidget* infoTree_;
    QListView* logList_;
    QStringListModel* lines_;
    QAction* actClearLog_;
    TAVTask* task_ = nullptr;
};

}  // namespace tw::ui
