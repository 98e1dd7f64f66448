// The options dialog, opened from the main window: Cancel writes nothing, Ok saves.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

#include "support/shell_world.h"

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

}  // namespace
}  // namespace tw::test
