#include "shell/action_rules.h"

#include <algorithm>

namespace tw::ui {

bool CanStartTask(const TaskSelection& selection) {
    return selection.focused &&
           (selection.focused->Status() == stPaused || selection.focused->Status() == stError);
}

bool StartResumes(const TAVTask& focused) {
    return focused.Status() == stPaused;
}

bool CanPauseTask(const TaskSelection& selection) {
    return selection.focused &&
           (selection.focused->Status() == stRunning || selection.focused->Status() == stWaiting);
}

bool CanStopTasks(const TaskSelection& selection) {
    return std::any_of(selection.selected.begin(), selection.selected.end(),
                       [](const TAVTask* task) { return task->IsActive() || task->Queued(); });
}

bool CanDeleteTasks(const TaskSelection& selection) {
    return !selection.selected.empty();
}

bool CanMoveTasks(const TaskSelection& selection) {
    return !selection.selected.empty() &&
           std::all_of(selection.selected.begin(), selection.selected.end(),
                       [](const TAVTask* task) { return task->IsConverted(); });
}

bool CanOpenSource(const TaskSelection& selection) {
    return selection.selected.size() == 1 && selection.focused && selection.focused->HasSource();
}

bool CanOpenConverted(const TaskSelection& selection) {
    return selection.selected.size() == 1 && selection.focused &&
           selection.focused->HasConvertedFile();
}

bool CanDeleteCategory(const TNodeObject* focused) {
    const auto* category = dynamic_cast<const TConvertedNode*>(focused);
    return category && category->CanDelete();
}

bool HasActiveTask(const TNodeObject::TaskList& converting) {
    return std::any_of(converting.begin(), converting.end(),
                       [](const auto& task) { return task->IsActive(); });
}

bool AcceptsDrop(int fileCount, bool wizardInstalled) {
    return wizardInstalled && fileCount >= 1;
}

}  // namespace tw::ui
