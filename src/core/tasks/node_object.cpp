#include "tasks/node_object.h"

#include <algorithm>

#include "platform/paths.h"
#include "tasks/av_task.h"
#include "tasks/configuration.h"
#include "tasks/persistent_manager.h"
#include "tasks/task_text.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw {

TNodeObject::TNodeObject(TTaskEnvironment& environment) : environment_(environment) {}

TNodeObject::~TNodeObject() {
    ClearTasks();
}

void TNodeObject::ShowInfo(InfoTreeView* infoTree, LogListView* logList) {
    infoTree_ = infoTree;
    logList_ = logList;
}

bool TNodeObject::IsDisplayed() const {
    return environment_.ExplorerTree && environment_.ExplorerTree->DisplayedNode() == this;
}

void TNodeObject::AppendTask(std::unique_ptr<TAVTask> task) {
    tasks_.push_back(std::move(task));
}

std::unique_ptr<TAVTask> TNodeObject::ExtractTask(TAVTask& task) {
    auto it = std::find_if(tasks_.begin(), tasks_.end(),
                           [&task](const auto& owned) { return owned.get() == &task; });
    TW_ASSERT(it != tasks_.end());
    std::unique_ptr<TAVTask> owned = std::move(*it);
    tasks_.erase(it);
    return owned;
}

void TNodeObject::ClearTasks() {
    while (!tasks_.empty()) {
        // Out of the list first: a task's converter may serve the UI thread while it winds
        // down, and nothing reached from there may meet a half-freed task.
        std::unique_ptr<TAVTask> last = std::move(tasks_.back());
        tasks_.pop_back();
        last.reset();
    }
}

void TNodeObject::ReleaseLater(std::unique_ptr<TAVTask> task) {
    auto held = std::make_shared<std::unique_ptr<TAVTask>>(std::move(task));
    environment_.UiThread().Post([held] { held->reset(); });
}

namespace {

// The columns both task lists begin with.
void AddSharedColumns(TaskListView& view) {
    view.AddColumn("Source", 150);
    view.AddColumn("Source Size", 100);
    view.AddColumn("Target", 150);
    view.AddColumn("Target Size", 100);
    view.AddColumn("Target Profile", 100);
    view.AddColumn("Duration", 60);
}

}  // namespace

std::string TConvertingNode::GetText(int) {
    return "Converting";
}

void TConvertingNode::ShowTasks(TaskListView& view) {
    TNodeObject::ShowTasks(view);
    view.Clear();
    AddSharedColumns(view);
    view.AddColumn("Percent", 70);
    view.AddColumn("Bitrate(kbs)", 70);
    view.AddColumn("Left Time", 70);
    view.AddColumn("Used Time", 70);
    const bool loading = !loaded_;
    if (loading) {
        Environment().Persistence->LoadConverting(*this);
        loaded_ = true;
    }
    for (auto& task : Tasks()) {
        task->SetListView(&view);
        view.AddRow(*task);
    }
    if (loading) {
        // Tasks that waited for their turn when the program ended go on waiting.
        StartWaiting();
    }
}

TAVTask& TConvertingNode::AddTask(std::unique_ptr<TConversionSettings> settings) {
    TW_ASSERT(settings != nullptr);
    CheckTargetFree(settings->TargetFile(), nullptr);
    const int categoryId = settings->CategoryId();
    auto owned = std::make_unique<TConvertingTask>(std::move(settings), ListView(), Environment());
    TAVTask& task = *owned;
    if (IsDisplayed() && ListView()) {
        ListView()->AddRow(task);
    }
    AppendTask(std::move(owned));
    task.SetCategory(this);
    task.SetCategoryId(categoryId);
    // Stored first: whether it converts or waits is stored under its id.
    Environment().Persistence->InsertTask(task);
    Enqueue(task);
    return task;
}

int TConvertingNode::Places() const {
    const TAVConfiguration* configuration = Environment().Configuration;
    return configuration ? configuration->PerformanceOptions().ConversionPlaces() : 0;
}

bool TConvertingNode::HasFreePlace(const TAVTask* asking) const {
    const int places = Places();
    // A task just added has no run yet, whatever its status says.
    return places == 0 || std::count_if(Tasks().begin(), Tasks().end(), [asking](const auto& task) {
                              return task.get() != asking && task->IsActive();
                          }) < places;
}

bool TConvertingNode::Enqueue(TAVTask& task) {
    bool waitingBefore = false;
    for (const auto& other : Tasks()) {
        if (other.get() == &task) {
            break;
        }
        waitingBefore = waitingBefore || (other->Status() == stWaiting && other->Queued());
    }
    if (queueHeld_ || waitingBefore || !HasFreePlace(&task)) {
        task.Wait();
        task.RefreshRow();
        return true;
    }
    return task.Start();
}

void TConvertingNode::StartWaiting() {
    // By index: a task failing to start stays in the list, and nothing here removes any.
    for (size_t i = 0; i < Tasks().size() && !queueHeld_ && HasFreePlace(); ++i) {
        TAVTask& task = *Tasks()[i];
        if (task.Status() != stWaiting || !task.Queued()) {
            continue;
        }
        try {
            if (!task.Start()) {
                task.FailToStart("The task could not be started: its previous run has not ended.");
            }
        } catch (const EAVError& e) {
            task.FailToStart(e.what());
        }
        task.RefreshRow();
    }
}

bool TConvertingNode::HasRunningTask() const {
    return std::any_of(Tasks().begin(), Tasks().end(),
                       [](const auto& task) { return task->Status() == stRunning; });
}

void TConvertingNode::CheckTargetFree(const std::string& target, const TAVTask* except) const {
    const std::string wanted = platform::ComparablePath(target);
    for (const auto& task : Tasks()) {
        if (task.get() != except && task->IsWritingTarget() &&
            platform::ComparablePath(task->Settings().TargetFile()) == wanted) {
            throw EAVError(FormatPrintf(
                "%s is already being written by the task converting %s. Choose another target "
                "file, or wait until that task has ended.",
                target.c_str(), SourceText(task->Settings()).c_str()));
        }
    }
}

bool TConvertingNode::HoldsTarget(const std::string& target) const {
    const std::string wanted = platform::ComparablePath(target);
    return std::any_of(Tasks().begin(), Tasks().end(), [&wanted](const auto& task) {
        return platform::ComparablePath(task->Settings().TargetFile()) == wanted;
    });
}

void TConvertedNode::ShowTasks(TaskListView& view) {
    TNodeObject::ShowTasks(view);
    view.Clear();
    AddSharedColumns(view);
    view.AddColumn("Date", 120);
    Environment().Persistence->LoadConverted(*this);
    for (auto& task : Tasks()) {
        view.AddRow(*task);
    }
}

}  // namespace tw
