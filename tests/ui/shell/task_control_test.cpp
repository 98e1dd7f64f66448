// The main window's task commands on real conversions: start, pause, resume, stop, restart,
// delete, the close question, and tasks left unfinished by an earlier run.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTest>
#include <filesystem>

#include "shell/frame_info.h"
#include "shell/frame_list.h"
#include "support/shell_world.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool InLoop(const TAVTask& task) {
    return task.Converter().StartTime() > 0;
}

// A real-time run whose log gets a line early: the encoder warns about the sample rate.
std::unique_ptr<TConversionSettings> LoggingRequest(const std::string& source,
                                                    const std::string& target) {
    auto settings = Request(source, target, 0, true);
    settings->ConvertOptions().AudioOptions().SetAudioSampleRate(44000);
    return settings;
}

class TaskControl : public ::testing::Test {
protected:
    // One source for the whole suite: every run here is stopped long before its end.
    static void SetUpTestSuite() {
        clips_ = std::make_unique<TempFolder>();
        clip_ = MakeClip(clips_->Path(), "clip.mkv", 30);
    }
    static void TearDownTestSuite() { clips_.reset(); }

    bool Enabled(ShellWorld& world, const char* action) {
        world.Window().UpdateActions();
        return world.Action(action)->isEnabled();
    }

    static inline std::unique_ptr<TempFolder> clips_;
    static inline std::string clip_;
    TempFolder home_;
    const std::string source_ = clip_;
};

TEST_F(TaskControl, PausedTaskResumesWithItsLogStoppedTaskRestartsWithAnEmptyOne) {
    ShellWorld world(home_.Path());
    EXPECT_FALSE(Enabled(world, "actStartTask"));
    EXPECT_FALSE(Enabled(world, "actPauseTask"));

    TAVTask& task = world.AddTask(LoggingRequest(source_, home_ / "out/a.mp4"));
    world.Window().TaskList().SelectTask(task);
    ASSERT_TRUE(world.WaitFor([&] { return InLoop(task) && !task.Log().empty(); }));
    EXPECT_GT(world.Window().Info().LineCount(), 0);
    EXPECT_FALSE(Enabled(world, "actStartTask"));
    EXPECT_TRUE(Enabled(world, "actPauseTask"));

    world.Trigger("actPauseTask");
    EXPECT_EQ(task.Status(), stPaused);
    EXPECT_TRUE(Enabled(world, "actStartTask"));
    EXPECT_FALSE(Enabled(world, "actPauseTask"));
    EXPECT_TRUE(Enabled(world, "actStopTask"));

    const TStringList log = task.Log();
    world.Trigger("actStartTask");
    EXPECT_EQ(task.Status(), stRunning);
    EXPECT_EQ(task.Converter().State(), TAVConverter::RunState::Running);
    EXPECT_EQ(task.Log(), log);

    world.Trigger("actStopTask");
    EXPECT_EQ(task.Status(), stError);
    ASSERT_TRUE(world.WaitFor([&] { return !task.Converter().IsWorking(); }));
    EXPECT_TRUE(Enabled(world, "actStartTask"));

    world.Trigger("actStartTask");
    EXPECT_EQ(task.Status(), stRunning);
    EXPECT_TRUE(task.Log().empty());
    EXPECT_EQ(world.Window().Info().LineCount(), 0);
    ASSERT_TRUE(world.WaitFor([&] { return InLoop(task) && !task.Log().empty(); }));
    EXPECT_LT(task.Converter().ConvertedDuration(), 10.0);

    // The log pane's Clear Log empties the log, on screen and stored.
    world.Window().UpdateActions();
    ASSERT_TRUE(world.Window().Info().ClearLogAction()->isEnabled());
    world.Window().Info().ClearLogAction()->trigger();
    EXPECT_TRUE(task.Log().empty());
    EXPECT_EQ(world.Window().Info().LineCount(), 0);
    EXPECT_FALSE(FindStoredTask(world.data->Persistence().Database(), task.ID())->log);
}

TEST_F(TaskControl, PauseActsOnTheFocusedTaskStopOnEverySelectedOne) {
    ShellWorld world(home_.Path());
    TAVTask& a = world.AddTask(Request(source_, home_ / "out/a.mp4", 0, true));
    TAVTask& b = world.AddTask(Request(source_, home_ / "out/b.mp4", 0, true));
    ASSERT_TRUE(world.WaitFor([&] { return InLoop(a) && InLoop(b); }));

    world.Window().TaskList().SelectTask(a);
    world.Window().TaskList().SelectTask(b, true);
    ASSERT_EQ(world.Window().TaskList().FocusedTask(), &b);
    world.Trigger("actPauseTask");
    EXPECT_EQ(b.Status(), stPaused);
    EXPECT_EQ(a.Status(), stRunning);

    world.Trigger("actStopTask");
    EXPECT_EQ(a.Status(), stError);
    EXPECT_EQ(b.Status(), stError);
    EXPECT_FALSE(Enabled(world, "actStopTask"));
    EXPECT_EQ(world.Rows().size(), 2u);
}

TEST_F(TaskControl, DeleteStopsARunningTaskThenDeletesItWithExactlyTheTickedFiles) {
    const std::string source = home_ / "own.mkv";
    fs::copy_file(source_, source);
    const std::string target = home_ / "out/own.mp4";
    ShellWorld world(home_.Path());
    TAVTask& task = world.AddTask(Request(source, target, 0, true));
    ASSERT_TRUE(world.WaitFor([&] { return InLoop(task); }));
    const int id = task.ID();
    QTreeView* list = world.Window().TaskList().View();
    world.Window().TaskList().SelectTask(task);

    world.dialogs.Push([](QDialog& dialog) {
        // The confirmation as it first appears: Enter deletes no file.
        EXPECT_FALSE(dialog.findChild<QCheckBox*>("chkDeleteSource")->isChecked());
        EXPECT_FALSE(dialog.findChild<QCheckBox*>("chkDeleteTarget")->isChecked());
        dialog.findChild<QAbstractButton*>("btnYes")->click();
    });
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(task.Status(), stError);
    EXPECT_EQ(world.Rows(), std::vector<TAVTask*>{&task});
    ASSERT_TRUE(world.WaitFor([&] { return !task.Converter().IsWorking(); }));
    ASSERT_TRUE(fs::exists(target));

    // "No" keeps it.
    world.dialogs.Push(Click("btnNo"));
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(world.Rows().size(), 1u);

    world.dialogs.Push([](QDialog& dialog) {
        dialog.findChild<QCheckBox*>("chkDeleteSource")->setChecked(true);
        dialog.findChild<QCheckBox*>("chkDeleteTarget")->setChecked(false);
        dialog.findChild<QAbstractButton*>("btnYes")->click();
    });
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(world.Rows().empty());
    EXPECT_TRUE(world.Converting().Tasks().empty());
    EXPECT_FALSE(FindStoredTask(world.data->Persistence().Database(), id));
    EXPECT_FALSE(fs::exists(source));
    EXPECT_TRUE(fs::exists(target));
    EXPECT_EQ(world.dialogs.History().size(), 3u);

    // The next confirmation starts as the user left the last one.
    TAVTask& other = world.AddTask(Request(home_ / "missing.mkv", home_ / "out/other.mp4"));
    ASSERT_TRUE(world.WaitFor([&] { return other.Status() == stError; }));
    world.Window().TaskList().SelectTask(other);
    world.dialogs.Push([](QDialog& dialog) {
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("chkDeleteSource")->isChecked());
        EXPECT_FALSE(dialog.findChild<QCheckBox*>("chkDeleteTarget")->isChecked());
        dialog.findChild<QAbstractButton*>("btnNo")->click();
    });
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(world.Rows(), std::vector<TAVTask*>{&other});
    EXPECT_TRUE(world.configuration.DeleteSourceFile());
    EXPECT_FALSE(world.configuration.DeleteTargetFile());
}

// A second task into the file a task is writing is refused in the window, naming both.
TEST_F(TaskControl, ASecondTaskIntoTheFileBeingWrittenIsRefused) {
    ShellWorld world(home_.Path());
    const std::string target = home_ / "out/a.mp4";
    TAVTask& task = world.AddTask(Request(source_, target, 0, true));
    world.wizardAnswers.push_back(Request(source_, target, 0, true));
    world.Trigger("actNewConversion");
    EXPECT_EQ(world.Converting().Tasks().size(), 1u);
    EXPECT_EQ(world.Rows(), std::vector<TAVTask*>{&task});
    ASSERT_EQ(world.Errors().size(), 1);
    EXPECT_TRUE(world.Errors()[0].startsWith(QString::fromStdString(
        target + " is already being written by the task converting clip.mkv")))
        << world.Errors()[0].toStdString();
}

TEST_F(TaskControl, ClosingAsksOnlyWhileTasksConvertAndStopsThemOnYes) {
    ShellWorld world(home_.Path());
    EXPECT_TRUE(world.Window().close());
    EXPECT_TRUE(world.dialogs.History().empty());

    world.Window().show();
    TAVTask& task = world.AddTask(Request(source_, home_ / "out/a.mp4", 0, true));
    ASSERT_TRUE(world.WaitFor([&] { return InLoop(task); }));
    // The question is asked whichever category is on display.
    world.Window().Explorer().SelectNode(*world.Window().Explorer().Tree().DefaultCategory());

    world.dialogs.Push(Answer(QMessageBox::No));
    EXPECT_FALSE(world.Window().close());
    ASSERT_EQ(world.dialogs.History().size(), 1u);
    EXPECT_EQ(world.dialogs.History()[0].caption, "Warning");
    EXPECT_EQ(world.dialogs.History()[0].text, "There are running tasks, are you sure to exit?");
    EXPECT_EQ(task.Status(), stRunning);
    EXPECT_EQ(task.Converter().State(), TAVConverter::RunState::Running);

    world.dialogs.Push(Answer(QMessageBox::Yes));
    EXPECT_TRUE(world.Window().close());
    EXPECT_EQ(task.Status(), stError);
}

TEST_F(TaskControl, TasksLeftUnfinishedComeBackStoppedAndWaitForTheUser) {
    int id = 0;
    {
        ShellWorld world(home_.Path());
        TAVTask& task = world.AddTask(Request(source_, home_ / "out/a.mp4", 0, true));
        id = task.ID();
        ASSERT_TRUE(world.WaitFor([&] { return InLoop(task); }));
    }
    ShellWorld world(home_.Path());
    const std::vector<TAVTask*> rows = world.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->ID(), id);
    EXPECT_EQ(rows[0]->Status(), stError);
    EXPECT_FALSE(rows[0]->Converter().IsWorking());

    world.Window().TaskList().SelectTask(*rows[0]);
    EXPECT_TRUE(Enabled(world, "actStartTask"));
    world.Trigger("actStartTask");
    EXPECT_EQ(rows[0]->Status(), stRunning);
    ASSERT_TRUE(world.WaitFor([&] { return InLoop(*rows[0]); }));
}

}  // namespace
}  // namespace tw::test
