// The options dialog, opened from the main window: Cancel writes nothing, Ok saves.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

#include "shell/frame_explorer.h"
#include "support/shell_world.h"
#include "support/ssh_server.h"

namespace tw::test {
namespace {

// Changes every value the dialog offers, then clicks the button.
ui::ScriptedDialogRunner::Handler ChangeAllAndClick(const char* button, const QString& folder) {
    return [button, folder](QDialog& dialog) {
        dialog.findChild<QComboBox*>("cbbThreadCnt")->setCurrentIndex(4);
        dialog.findChild<QSpinBox*>("spnMaxConversions")->setValue(3);
        dialog.findChild<QSlider*>("tbPriority")->setValue(0);
        dialog.findChild<QLineEdit*>("edtOutputFolder")->setText(folder);
        dialog.findChild<QCheckBox*>("chkAlert")->setChecked(false);
        dialog.findChild<QCheckBox*>("chkKeepShape")->setChecked(false);
        dialog.findChild<QCheckBox*>("chkOwnProcess")->setChecked(false);
        dialog.findChild<QAbstractButton*>(button)->click();
    };
}

TEST(OptionsDialog, CancelLeavesTheFileAloneOkSavesEveryValue) {
    TempFolder home;
    ShellWorld world(home.Path());
    const std::string file = TAVConfiguration::ConfigFileName();
    const std::string before = ReadFileBytes(file);

    world.dialogs.Push([](QDialog& dialog) {
        // Shown as stored: automatic thread count, normal priority, the alert on, pictures kept
        // in shape, each conversion in a process of its own.
        EXPECT_EQ(dialog.windowTitle(), "Options");
        auto* threads = dialog.findChild<QComboBox*>("cbbThreadCnt");
        EXPECT_EQ(threads->count(), 33);
        EXPECT_EQ(threads->currentText(), "Automatic(use all CPU(s))");
        EXPECT_EQ(dialog.findChild<QSlider*>("tbPriority")->value(), 2);
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("chkAlert")->isChecked());
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("chkKeepShape")->isChecked());
        // The test world lets every task convert at once.
        EXPECT_EQ(dialog.findChild<QSpinBox*>("spnMaxConversions")->text(), "any number of");
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("chkOwnProcess")->isChecked());
        ChangeAllAndClick("btnCancel", "/elsewhere")(dialog);
    });
    world.Trigger("actOptions");
    EXPECT_EQ(ReadFileBytes(file), before);
    EXPECT_TRUE(world.configuration.ShowAlert());

    // The folder button browses from the folder shown.
    world.fileDialogs.PushAnswer(QString::fromStdString(home / "picked"));
    world.dialogs.Push([](QDialog& dialog) {
        dialog.findChild<QToolButton*>("btnBrowseOutputFolder")->click();
        dialog.findChild<QAbstractButton*>("btnOk")->click();
    });
    world.Trigger("actOptions");
    EXPECT_EQ(world.fileDialogs.Requests().back().start,
              QString::fromStdString(TAVConfiguration::InitialOutputFolder()));
    EXPECT_EQ(world.configuration.OutputFolder(), home / "picked");

    world.dialogs.Push(ChangeAllAndClick("btnOk", QString::fromStdString(home / "converted")));
    world.Trigger("actOptions");
    TAVConfiguration reread;
    reread.Load();
    EXPECT_EQ(reread.PerformanceOptions().ThreadCount(), 4);
    EXPECT_EQ(reread.PerformanceOptions().ThreadPrority(), 0);
    EXPECT_EQ(reread.PerformanceOptions().MaxConversions(), 3);
    EXPECT_EQ(reread.OutputFolder(), home / "converted");
    EXPECT_FALSE(reread.ShowAlert());
    EXPECT_FALSE(reread.KeepPictureShape());
    EXPECT_FALSE(reread.PerformanceOptions().RunInOwnProcess());
}

// Other computers: "Check" asks each login, Ok saves them, and a task in segments uses them. A
// login to a closed port answers at once and leaves the segments to this computer.
TEST(OptionsDialog, OtherComputersAreCheckedSavedAndUsedByTasksInSegments) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "clip.mkv", 12);
    ShellWorld world(home.Path());
    const std::string port = std::to_string(FreeLoopbackPort());
    const std::string logins = "1/ssh -o BatchMode=yes -p " + port + " 127.0.0.1\n:";
    world.dialogs.Push([&](QDialog& dialog) {
        dialog.findChild<QPlainTextEdit*>("edtHosts")->setPlainText(QString::fromStdString(logins));
        dialog.findChild<QSpinBox*>("spnSegmentSeconds")->setValue(5);
        auto* check = dialog.findChild<QAbstractButton*>("btnCheckHosts");
        check->click();
        EXPECT_TRUE(world.WaitFor([&] { return check->isEnabled(); }));
        EXPECT_EQ(dialog.findChild<QLabel*>("lblHostsCheck")->text().toStdString(),
                  "127.0.0.1 (port " + port + ") cannot be reached (ssh: connect to host " +
                      "127.0.0.1 port " + port +
                      ": Connection refused); its segments go to the other computers");
        dialog.findChild<QAbstractButton*>("btnOk")->click();
    });
    world.Trigger("actOptions");
    TAVConfiguration reread;
    reread.Load();
    EXPECT_EQ(reread.PerformanceOptions().SegmentHosts(), logins);

    world.AddTask(Request(source, home / "out.mp4"));
    ui::TFrameExplorer& explorer = world.Window().Explorer();
    explorer.SelectNode(*explorer.Tree().DefaultCategory());
    ASSERT_TRUE(world.WaitFor([&] { return world.Converting().Tasks().empty(); }));
    ASSERT_EQ(world.Rows().size(), 1u);
    const TAVTask& done = *world.Rows()[0];
    EXPECT_EQ(done.Status(), stFinished);
    std::string log;
    for (const std::string& line : done.Log()) {
        log += line + "\n";
    }
    EXPECT_NE(log.find("on the computers of"), std::string::npos) << log;
    EXPECT_NE(log.find(" converted on this computer"), std::string::npos) << log;

    // Every login commented out: none is checked, and tasks convert here alone.
    world.dialogs.Push([&](QDialog& dialog) {
        dialog.findChild<QPlainTextEdit*>("edtHosts")->setPlainText("# away:\n#:\n");
        dialog.findChild<QAbstractButton*>("btnCheckHosts")->click();
        EXPECT_EQ(dialog.findChild<QLabel*>("lblHostsCheck")->text(), "No computers listed.");
        dialog.findChild<QAbstractButton*>("btnOk")->click();
    });
    world.Trigger("actOptions");
    world.AddTask(Request(source, home / "here.mp4"));
    ASSERT_TRUE(world.WaitFor([&] { return world.Converting().Tasks().empty(); }));
    ASSERT_EQ(world.Rows().size(), 2u);
    for (const TAVTask* task : world.Rows()) {
        EXPECT_EQ(task->Status(), stFinished) << task->Settings().TargetFile();
    }
}

}  // namespace
}  // namespace tw::test
