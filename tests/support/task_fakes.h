#pragma once

// Recording stand-ins for the views and services the task model talks to, and a TaskWorld that
// puts a real database, configuration, category tree and UI loop together in a temporary
// configuration folder.

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_service.h"
#include "platform/power_service.h"
#include "platform/ui_dispatcher.h"
#include "support/scoped_env.h"
#include "tasks/av_task.h"
#include "tasks/category_tree.h"
#include "tasks/configuration.h"
#include "tasks/persistent_manager.h"
#include "tasks/task_views.h"

namespace tw::test {

class RecordingTaskListView : public TaskListView {
public:
    void Clear() override {
        columns.clear();
        rows.clear();
        ++clears;
    }
    void AddColumn(const std::string& caption, int width) override {
        columns.emplace_back(caption, width);
    }
    void AddRow(TAVTask& task) override { rows.push_back(&task); }
    void RemoveRow(TAVTask& task) override {
        rows.erase(std::remove(rows.begin(), rows.end(), &task), rows.end());
        if (selected == &task) {
            selected = nullptr;
        }
    }
    void RepaintRow(TAVTask& task) override { repaints.push_back(&task); }
    int RowCount() const override { return static_cast<int>(rows.size()); }
    bool IsRowSelected(const TAVTask& task) const override { return selected == &task; }

    bool HasRow(const TAVTask* task) const {
        return std::find(rows.begin(), rows.end(), task) != rows.end();
    }
    int RepaintsOf(const TAVTask* task) const {
        return static_cast<int>(std::count(repaints.begin(), repaints.end(), task));
    }

    std::vector<std::pair<std::string, int>> columns;
    std::vector<TAVTask*> rows;
    std::vector<TAVTask*> repaints;
    const TAVTask* selected = nullptr;
    int clears = 0;
};

class RecordingLogList : public LogListView {
public:
    void SetLines(const TStringList& value) override {
        lines = value;
        ++updates;
    }
    TStringList lines;
    int updates = 0;
};

class RecordingInfoTree : public InfoTreeView {
public:
    void ClearColumns() override { columns.clear(); }
    void AddColumn(const std::string& caption, int width) override {
        columns.emplace_back(caption, width);
    }
    std::vector<std::pair<std::string, int>> columns;
};

class FakeCategoryTree : public CategoryTreeView {
public:
    TNodeObject* DisplayedNode() const override { return displayed; }
    TNodeObject* FocusedNode() const override { return focused; }
    void NodesChanged() override { ++changes; }
    void SelectNode(TNodeObject& node) override { displayed = focused = &node; }

    // Selecting a node shows its tasks, as the front end's selection handler does.
    void Show(TNodeObject& node, TaskListView& view) {
        displayed = focused = &node;
        node.ShowTasks(view);
    }

    TNodeObject* displayed = nullptr;
    TNodeObject* focused = nullptr;
    int changes = 0;
};

class RecordingAlertService : public AlertService {
public:
    void ShowAlert(const TaskAlert& alert) override { alerts.push_back(alert); }
    std::vector<TaskAlert> alerts;
};

class RecordingPowerService : public platform::PowerService {
public:
    bool PowerOff(std::string*) override {
        ++powerOffs;
        return true;
    }
    int powerOffs = 0;
};

// The worker program tasks convert in, where the test program is built beside it; elsewhere
// (the unit tests, the core-only sanitizer build) tasks convert in the test's own process.
#ifdef TW_CLI_PATH
inline constexpr const char* kWorkerProgram = TW_CLI_PATH;
#else
inline constexpr const char* kWorkerProgram = nullptr;
#endif

// One program's worth of task machinery over a configuration folder that outlives it, so that
// a second TaskWorld over the same folder is a restart of the program.
class TaskWorld {
public:
    explicit TaskWorld(const std::string& configHome)
        : env_("TIDEWELL_CONFIG_HOME", configHome),
          videos_("XDG_VIDEOS_DIR", configHome + "/videos"),
          worker_("TIDEWELL_WORKER",
                  kWorkerProgram ? std::optional<std::string>(kWorkerProgram) : std::nullopt),
          installDispatcher_(dispatcher),
          installMessages_(messages) {
        configuration.SetPriorityApplier([](int, std::string*) { return true; });
        configuration.Load();
        // Every task converts at once unless a test sets a limit.
        configuration.PerformanceOptions().SetMaxConversions(0);
        if (!kWorkerProgram) {
            configuration.PerformanceOptions().SetRunInOwnProcess(false);
        }
        persistence = std::make_unique<TPersistentManager>(TAVConfiguration::ConfigFolder(),
                                                           configuration.OutputFolder());
        environment.Persistence = persistence.get();
        environment.Configuration = &configuration;
        environment.ExplorerTree = &explorer;
        environment.Alerts = &alerts;
        environment.Power = &power;
        environment.Dispatcher = &dispatcher;
        tree = std::make_unique<TCategoryTree>(environment);
        tree->BuildTree();
    }

    ~TaskWorld() {
        tree.reset();
        // Tasks freed after their completion are still queued.
        for (int i = 0; i < 3; ++i) {
            dispatcher.ProcessPending();
        }
    }

    TConvertingNode& Converting() { return *tree->ConvertingNode(); }
    TConvertedNode& Category(int id) { return *tree->FindCategory(id); }

    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        return dispatcher.RunUntil(done, timeout);
    }
    // Serves the UI thread for a while.
    void Pump(std::chrono::milliseconds time) {
        dispatcher.RunUntil([] { return false; }, time);
    }

private:
    ScopedEnv env_;
    ScopedEnv videos_;
    ScopedEnv worker_;

public:
    platform::LoopDispatcher dispatcher;
    platform::RecordingMessageService messages;

private:
    platform::ScopedDispatcher installDispatcher_;
    platform::ScopedMessageService installMessages_;

public:
    TAVConfiguration configuration;
    FakeCategoryTree explorer;
    RecordingAlertService alerts;
    RecordingPowerService power;
    RecordingTaskListView list;
    RecordingLogList log;
    RecordingInfoTree info;
    std::unique_ptr<TPersistentManager> persistence;
    TTaskEnvironment environment;
    std::unique_ptr<TCategoryTree> tree;
};

// What a row of the Conversions table holds.
struct StoredTask {
    int id = 0;
    bool converting = false;
    std::string settings;
    std::string date;
    std::optional<int64_t> categoryId;
    std::optional<std::string> log;
};

inline std::vector<StoredTask> ReadStoredTasks(SqliteDatabase& db) {
    std::vector<StoredTask> rows;
    SqliteStatement query = db.Prepare("select * from Conversions order by ID");
    while (query.Step()) {
        StoredTask row;
        row.id = static_cast<int>(query.Integer("ID"));
        row.converting = query.Integer("Converting") != 0;
        row.settings = query.Text("ConvertSettings");
        row.date = query.Text("ConvertedDate");
        if (!query.IsNull("CategoryId")) {
            row.categoryId = query.Integer("CategoryId");
        }
        if (!query.IsNull("Log")) {
            row.log = query.Text("Log");
        }
        rows.push_back(row);
    }
    return rows;
}

inline std::optional<StoredTask> FindStoredTask(SqliteDatabase& db, int id) {
    for (const StoredTask& row : ReadStoredTasks(db)) {
        if (row.id == id) {
            return row;
        }
    }
    return std::nullopt;
}

}  // namespace tw::test
