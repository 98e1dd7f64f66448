// The wizard's choices beyond the source: the category a task is filed under, the profiles no
// category lists, and what Finish refuses to start with.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "profiles/custom_audio_profile.h"
#include "shell/frame_explorer.h"
#include "support/media_facts.h"
#include "support/wizard_support.h"

namespace tw::test {
namespace {

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

class WizardChoices : public ::testing::Test {
protected:
    QLineEdit* Target(const QObject& wizard) { return Find<QLineEdit>(&wizard, "edtSavePath"); }

    TempFolder home_;
    std::string clip_ = MakeClip(home_.Path(), "holiday.mkv", 2);
    ShellWorld world_{home_.Path()};
};

TEST_F(WizardChoices, PickedCategoryTakesTheTargetIntoItsFolderAndFilesTheTask) {
    TCategoryTree& tree = world_.Window().Explorer().Tree();
    TConvertedNode& trips = tree.NewCategory(*tree.DefaultCategory(), "Trips", home_ / "trips");
    tree.NewCategory(trips, "Alps", home_ / "alps");

    ui::TFormNewConversion wizard(WizardEnvironmentOf(world_));
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(clip_));
    auto* categories = Find<QComboBox>(&wizard, "edtCategory");
    EXPECT_EQ(Items(categories),
              (QStringList{"Default", "Default / Trips", "Default / Trips / Alps"}));
    EXPECT_EQ(categories->currentText(), "Default");
    ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
    EXPECT_EQ(Target(wizard)->text().toStdString(),
              world_.configuration.OutputFolder() + "/holiday.mp4");

    categories->setCurrentIndex(1);
    EXPECT_EQ(Target(wizard)->text().toStdString(), home_ / "trips/holiday.mp4");
    ClickFinish(wizard);
    std::unique_ptr<TConversionSettings> request = wizard.GetConversionSettings();
    EXPECT_EQ(request->CategoryId(), trips.ID());

    // Converted, the task is filed under the category picked.
    world_.AddTask(std::move(request));
    ASSERT_TRUE(world_.WaitFor([&] { return world_.Converting().Tasks().empty(); }));
    EXPECT_TRUE(world_.Errors().empty()) << world_.Errors().join("; ").toStdString();
    world_.Window().Explorer().SelectNode(trips);
    ASSERT_EQ(world_.Rows().size(), 1u);
    EXPECT_EQ(world_.Rows()[0]->Settings().TargetFile(), home_ / "trips/holiday.mp4");
    EXPECT_GT(InspectMedia(home_ / "trips/holiday.mp4").durationSec, 1.5);
}

TEST_F(WizardChoices, ProfilesOfNoCategoryAreOfferedUnderOther) {
    ui::TFormNewConversion wizard(WizardEnvironmentOf(world_));
    wizard.show();
    auto* categories = Find<QComboBox>(&wizard, "cbbCategory");
    EXPECT_EQ(categories->itemText(categories->count() - 1), "Other");
    ChooseProfile(wizard, "Other", "VCD");
    const QStringList others = Items(Find<QComboBox>(&wizard, "cbbProfile"));
    for (const char* standard : {"VCD", "SVCD", "DVD", "DV"}) {
        EXPECT_TRUE(others.contains(QString::fromLatin1(standard))) << standard;
    }
    EXPECT_FALSE(others.contains("MP3 Audio"));
    wizard.SetSourceFile(QString::fromStdString(clip_));
    EXPECT_EQ(Target(wizard)->text().toStdString(),
              world_.configuration.OutputFolder() + "/holiday.mpg");
    ClickFinish(wizard);
    const auto request = wizard.GetConversionSettings();
    EXPECT_EQ(request->Profile(), "VCD");
    EXPECT_EQ(request->ConvertOptions().OutputFormat(), "vcd");
}

TEST_F(WizardChoices, FinishSaysWhatIsWrongInsteadOfStarting) {
    // A user profile whose container cannot hold its codec.
    auto& mine = dynamic_cast<TAVCustomVideoProfile&>(
        *world_.data->Profiles().FindByDescription("Matroska Video"));
    mine.SetFormat(TCustomAVFormat::F_WEBM);
    const std::string logo = home_ / "corner.png";
    ASSERT_TRUE(QImage(16, 16, QImage::Format_RGB32).save(QString::fromStdString(logo)));

    ui::TFormNewConversion wizard(WizardEnvironmentOf(world_));
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(clip_));
    ChooseProfile(wizard, "Video", "Matroska Video");
    ClickWhenOffered(Find<QPushButton>(&wizard, "btnNext"));
    world_.dialogs.Push([&](QDialog& dialog) {
        Find<QLineEdit>(&dialog, "edtLogoFile")->setText(QString::fromStdString(logo));
        Find<QPushButton>(&dialog, "btnOk")->click();
    });
    Find<QAction>(&wizard, "actNewLogoFilter")->trigger();
    // Since chosen, the source was overwritten and the logo removed.
    WriteFileBytes(clip_, "no longer a film");
    std::filesystem::remove(logo);

    QPushButton* finish = Find<QPushButton>(&wizard, "btnFinish");
    finish->click();
    // The files are looked at off the UI thread.
    ASSERT_TRUE(WaitUntilIdle(wizard));
    EXPECT_NE(wizard.result(), QDialog::Accepted);
    ASSERT_EQ(world_.Errors().size(), 1);
    EXPECT_EQ(world_.Errors().front().split('\n'),
              (QStringList{QString::fromStdString("The source file " + clip_ +
                                                  " is not a video or audio file this program "
                                                  "can read."),
                           QString::fromStdString("The logo file " + logo + " does not exist."),
                           "WEBM files cannot hold MP3 audio."}));

    MakeClip(home_.Path(), "holiday.mkv", 2);
    ASSERT_TRUE(QImage(16, 16, QImage::Format_RGB32).save(QString::fromStdString(logo)));
    mine.SetFormat(TCustomAVFormat::F_NONE);
    finish->click();
    ASSERT_TRUE(WaitUntilIdle(wizard));
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    EXPECT_EQ(world_.Errors().size(), 1);
}

}  // namespace
}  // namespace tw::test
