// The target the wizard proposes never names a file that is there already or that another
// unfinished task converts into.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <filesystem>

#include "support/wizard_support.h"

namespace tw::test {
namespace {

TEST(WizardTarget, ProposalStepsPastExistingFilesAndOtherTasksTargets) {
    TempFolder home;
    const std::string clip = MakeClip(home.Path(), "holiday.mkv", 1);
    ShellWorld world(home.Path());
    const std::string folder = world.configuration.OutputFolder();
    std::filesystem::create_directories(folder);
    WriteFileBytes(folder + "/holiday.mp3", "an earlier conversion");
    ui::WizardEnvironment environment = WizardEnvironmentOf(world);
    environment.targetTaken = [&folder](const std::string& file) {
        return file == folder + "/holiday (2).mp3";
    };
    ui::TFormNewConversion wizard(environment);
    wizard.SetSourceFile(QString::fromStdString(clip));
    ChooseProfile(wizard, "Audio", "MP3 Audio");
    EXPECT_EQ(Find<QLineEdit>(&wizard, "edtSavePath")->text().toStdString(),
              folder + "/holiday (3).mp3");
    // A free name stays as it is.
    ChooseProfile(wizard, "Audio", "AC3 Dolby Audio");
    EXPECT_EQ(Find<QLineEdit>(&wizard, "edtSavePath")->text().toStdString(),
              folder + "/holiday.ac3");
}

}  // namespace
}  // namespace tw::test
