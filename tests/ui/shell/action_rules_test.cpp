// The enable rules of the task and category commands, without any window.
#include <gtest/gtest.h>

#include "shell/action_rules.h"
#include "support/scoped_env.h"
#include "support/shell_world.h"

namespace tw::ui {
namespace {

using test::Request;

class ActionRules : public ::testing::Test {
protected:
    std::unique_ptr<TAVTask> Task(TAVTaskStatus status, const std::string& source = "/none/a.avi",
                                  const std::string& target = "/none/a.mp4") {
        auto task = std::make_unique<TConvertingTask>(Request(source, target), nullptr, env_);
        task->SetStatus(status);
        task->SetIsConverted(status == stFinished);
        return task;
    }

    TTaskEnvironment env_;
};

TEST_F(ActionRules, StartAndPauseFollowTheFocusedTaskStopAnySelectedActiveOne) {
    auto running = Task(stRunning);
    auto paused = Task(stPaused);
    auto stopped = Task(stError);
    auto finished = Task(stFinished);

    const TaskSelection none;
    EXPECT_FALSE(CanStartTask(none) || CanPauseTask(none) || CanStopTasks(none) ||
                 CanDeleteTasks(none));

    // Several selected: Start and Pause look at the focused task only.
    TaskSelection several{stopped.get(), {running.get(), stopped.get()}};
    EXPECT_TRUE(CanStartTask(several));
    EXPECT_FALSE(StartResumes(*several.focused));
    EXPECT_FALSE(CanPauseTask(several));
    EXPECT_TRUE(CanStopTasks(several));
    EXPECT_TRUE(CanDeleteTasks(several));
    several.focused = running.get();
    EXPECT_FALSE(CanStartTask(several));
    EXPECT_TRUE(CanPauseTask(several));

    const TaskSelection pausedOnly{paused.get(), {paused.get()}};
    EXPECT_TRUE(CanStartTask(pausedOnly));
    EXPECT_TRUE(StartResumes(*pausedOnly.focused));
    EXPECT_TRUE(CanStopTasks(pausedOnly));

    // A finished task can only be deleted.
    const TaskSelection done{finished.get(), {finished.get(), stopped.get()}};
    EXPECT_FALSE(CanStartTask(done) || CanPauseTask(done) || CanStopTasks(done));
    EXPECT_TRUE(CanDeleteTasks(done));
}

TEST_F(ActionRules, FileCommandsNeedOneTaskWithItsFileOnDisk) {
    test::TempFolder folder;
    const std::string source = folder / "a.avi";
    const std::string target = folder / "a.mp4";
    auto converted = Task(stFinished, source, target);
    auto unfinished = Task(stError, source, target);
    const TaskSelection one{converted.get(), {converted.get()}};
    EXPECT_FALSE(CanOpenSource(one));
    EXPECT_FALSE(CanOpenConverted(one));

    test::WriteFileBytes(source, "source");
    test::WriteFileBytes(target, "target");
    EXPECT_TRUE(CanOpenSource(one));
    EXPECT_TRUE(CanOpenConverted(one));
    // Not with two selected, nor for a target an unfinished run is still writing.
    EXPECT_FALSE(CanOpenSource({converted.get(), {converted.get(), unfinished.get()}}));
    EXPECT_FALSE(CanOpenConverted({unfinished.get(), {unfinished.get()}}));
}

TEST_F(ActionRules, DefaultCategoryIsNeverDeletedAndFilesDropOnlyWithAWizard) {
    TConvertedNode defaultCategory(env_, 1, "Converted", "/v");
    TConvertedNode other(env_, 2, "Other", "/w");
    TConvertingNode converting(env_);
    EXPECT_FALSE(CanDeleteCategory(&defaultCategory));
    EXPECT_TRUE(CanDeleteCategory(&other));
    EXPECT_FALSE(CanDeleteCategory(&converting));
    EXPECT_FALSE(CanDeleteCategory(nullptr));

    EXPECT_TRUE(AcceptsDrop(1, true));
    EXPECT_TRUE(AcceptsDrop(2, true));
    EXPECT_FALSE(AcceptsDrop(0, true));
    EXPECT_FALSE(AcceptsDrop(1, false));
}

}  // namespace
}  // namespace tw::ui
