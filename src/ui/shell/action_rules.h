#pragma once

// When the commands of the main window and its popup menus are available, and what a few of
// them do, as plain functions of the selection and the tasks' states. The window asks these
// whenever it is idle; nothing here touches a widget.

#include <vector>

#include "tasks/av_task.h"

namespace tw::ui {

// What the task list has selected: the focused task (none without focus) and every selected
// task, in selection order.
struct TaskSelection {
    TAVTask* focused = nullptr;
    std::vector<TAVTask*> selected;
};

// Start Task: a focused task that is paused (it resumes) or stopped or failed (it restarts).
bool CanStartTask(const TaskSelection& selection);
// What Start Task does to the focused task: resume a paused task, else start from the
// beginning.
bool StartResumes(const TAVTask& focused);
// Pause Task: a focused task that is converting, or waiting for its turn (held back, it does
// not start when its turn comes).
bool CanPauseTask(const TaskSelection& selection);
// Stop Task: any selected task is converting, paused or waiting for its turn.
bool CanStopTasks(const TaskSelection& selection);
// Delete Task(s) and the Delete key: anything selected.
bool CanDeleteTasks(const TaskSelection& selection);
// Open Source File: exactly one task selected and its source on disk.
bool CanOpenSource(const TaskSelection& selection);
// Open Converted File and Explore The File: exactly one converted task selected and its
// target on disk.
bool CanOpenConverted(const TaskSelection& selection);

// Move to Category, and dragging rows onto a category: tasks selected, all converted.
bool CanMoveTasks(const TaskSelection& selection);

// The category popup's Delete: a category other than the default one.
bool CanDeleteCategory(const TNodeObject* focused);

// Whether closing the window must ask first: some unfinished task is converting or paused.
bool HasActiveTask(const TNodeObject::TaskList& converting);

// A drag onto the task list may drop files (one or several), and only while a wizard can take
// them.
bool AcceptsDrop(int fileCount, bool wizardInstalled);

}  // namespace tw::ui
