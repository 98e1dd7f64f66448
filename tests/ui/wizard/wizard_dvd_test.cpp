// The wizard with a disc authored for the test, picked through the disc list's image-or-folder
// entry: one scan per disc, the title lists, the default target, and a title that converts.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <filesystem>
#include <fstream>

#include "core/dvd/test_disc.h"
#include "media/stream_registry.h"
#include "support/media_facts.h"
#include "support/wizard_support.h"
#include "wizard/dvd_combo.h"
#include "wizard/frame_dvd_source.h"

namespace tw::test {
namespace {

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

TEST(WizardDvd, PickedFileThatIsNoDiscIsRefusedAndNothingIsScanned) {
    TempFolder home;
    ShellWorld world(home.Path());
    const std::string notADisc = home / "holiday.iso";
    std::ofstream(notADisc) << "not a disc image";
    ui::TFormNewConversion wizard(WizardEnvironmentOf(world));
    wizard.show();
    Find<QTabWidget>(&wizard, "pgcSource")->setCurrentIndex(1);
    auto* discs = Find<ui::TDvdCombo>(&wizard, "cbbDvd");
    // The drives are looked for, and a picked disc read, off the UI thread.
    ASSERT_TRUE(WaitUntilIdle(wizard));
    QSignalSpy scans(&wizard.DvdSource(), &ui::TFrameDvdSource::scanStarting);
    world.fileDialogs.PushAnswer(QString::fromStdString(notADisc));
    discs->setCurrentIndex(0);
    ASSERT_TRUE(WaitUntilIdle(wizard));
    EXPECT_EQ(world.Errors(), QStringList{"Can not open DVD"});
    EXPECT_EQ(scans.count(), 0);
    EXPECT_EQ(discs->currentIndex(), -1);
    EXPECT_EQ(Items(discs), QStringList{"Disc image or folder…"});
    EXPECT_EQ(Find<QComboBox>(&wizard, "cbbTitle")->count(), 0);
    EXPECT_FALSE(Find<QPushButton>(&wizard, "btnFinish")->isEnabled());
}

TEST(WizardDvd, DiscIsScannedOnceListsItsTitlesAndATitleConverts) {
    TempFolder home;
    const TestDisc disc = AuthorTestDisc(home.Path());
    ASSERT_EQ(disc.error, "");
    ShellWorld world(home.Path());
    const size_t streamsBefore = media::RegisteredStreamCount();
    std::unique_ptr<TConversionSettings> request;
    {
        ui::TFormNewConversion wizard(WizardEnvironmentOf(world));
        wizard.show();
        Find<QTabWidget>(&wizard, "pgcSource")->setCurrentIndex(1);
        auto* discs = Find<ui::TDvdCombo>(&wizard, "cbbDvd");
        ASSERT_TRUE(WaitUntilIdle(wizard));
        EXPECT_EQ(Items(discs), QStringList{"Disc image or folder…"});
        EXPECT_EQ(discs->currentIndex(), -1);

        QSignalSpy scans(&wizard.DvdSource(), &ui::TFrameDvdSource::scanStarting);
        const QString ifo = QString::fromStdString((disc.videoTs / "VIDEO_TS.IFO").string());
        world.fileDialogs.PushAnswer(ifo);
        discs->setCurrentIndex(0);
        ASSERT_TRUE(WaitUntilIdle(wizard));
        EXPECT_EQ(scans.count(), 1);
        const std::string entry = disc.videoTs.string() + ": [disc]";
        EXPECT_EQ(Items(discs),
                  (QStringList{QString::fromStdString(entry), "Disc image or folder…"}));
        EXPECT_EQ(discs->currentIndex(), 0);
        auto* titles = Find<QComboBox>(&wizard, "cbbTitle");
        EXPECT_EQ(Items(titles), (QStringList{"1(00:00:15)", "2(00:00:04)"}));
        auto* chapter = Find<QComboBox>(&wizard, "cbbChapter");
        auto* through = Find<QComboBox>(&wizard, "cbbThrough");
        EXPECT_EQ(Items(through), (QStringList{"1", "2", "3"}));
        EXPECT_EQ(chapter->currentText(), "1");
        EXPECT_EQ(through->currentText(), "3");
        ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
        auto* target = Find<QLineEdit>(&wizard, "edtSavePath");
        EXPECT_EQ(target->text().toStdString(), world.configuration.OutputFolder() + "/disc_1.mp4");

        // The same folder picked again is the disc already scanned.
        world.fileDialogs.PushAnswer(ifo);
        discs->setCurrentIndex(1);
        ASSERT_TRUE(WaitUntilIdle(wizard));
        EXPECT_EQ(scans.count(), 1);
        EXPECT_EQ(discs->currentIndex(), 0);
        EXPECT_EQ(discs->count(), 2);

        // Another title: its own lists and name.
        titles->setCurrentIndex(1);
        EXPECT_EQ(Items(through), QStringList{"1"});
        EXPECT_EQ(Items(Find<QComboBox>(&wizard, "cbbAngle")), QStringList{"1"});
        EXPECT_EQ(target->text().toStdString(), world.configuration.OutputFolder() + "/disc_2.mp4");
        ASSERT_TRUE(WaitForPreview(wizard));

        ClickFinish(wizard);
        request = wizard.GetConversionSettings();
    }
    EXPECT_EQ(request->SourceType(), stDvd);
    EXPECT_TRUE(media::ParseStreamUrl(request->SourceFile()).has_value());
    EXPECT_EQ(request->DvdDriver(), disc.videoTs.string());
    EXPECT_EQ(request->DvdVolume(), "disc");
    EXPECT_EQ(request->DvdTitle(), 2);
    EXPECT_EQ(request->DvdChapter(), 1);
    EXPECT_EQ(request->DvdThrough(), 1);
    EXPECT_EQ(request->DvdAngle(), 1);
    // Only the request's own stream is left for the task to open.
    EXPECT_EQ(media::RegisteredStreamCount(), streamsBefore + 1);

    const std::string output = request->TargetFile();
    world.AddTask(std::move(request));
    ASSERT_TRUE(world.WaitFor([&] { return world.Converting().Tasks().empty(); }));
    EXPECT_TRUE(world.Errors().empty()) << world.Errors().join("; ").toStdString();
    EXPECT_EQ(media::RegisteredStreamCount(), streamsBefore);
    const MediaInfo converted = InspectMedia(output);
    EXPECT_NEAR(converted.First(StreamKind::Video).durationSec, kTitle2Seconds, 0.5);
    EXPECT_NEAR(converted.First(StreamKind::Audio).durationSec, kTitle2Seconds, 0.5);
    // Title 2 carries the 880 Hz tone.
    EXPECT_NEAR(EstimateFrequencyHz(DecodeAudioSamples(output), 0), 880.0, 20.0);
}

// Picks the disc folder in the wizard's disc list.
void PickDisc(ShellWorld& world, ui::TFormNewConversion& wizard, const TestDisc& disc) {
    Find<QTabWidget>(&wizard, "pgcSource")->setCurrentIndex(1);
    ASSERT_TRUE(WaitUntilIdle(wizard));
    world.fileDialogs.PushAnswer(QString::fromStdString((disc.videoTs / "VIDEO_TS.IFO").string()));
    Find<ui::TDvdCombo>(&wizard, "cbbDvd")->setCurrentIndex(0);
    ASSERT_TRUE(WaitUntilIdle(wizard));
}

TEST(WizardDvd, ChapterRangeAndAngleArePickedAndThroughNeverComesBeforeTheChapter) {
    TempFolder home;
    const TestDisc disc = AuthorTestDisc(home.Path());
    ASSERT_EQ(disc.error, "");
    ShellWorld world(home.Path());
    std::unique_ptr<TConversionSettings> request;
    {
        ui::TFormNewConversion wizard(WizardEnvironmentOf(world));
        wizard.show();
        PickDisc(world, wizard, disc);
        auto* chapter = Find<QComboBox>(&wizard, "cbbChapter");
        auto* through = Find<QComboBox>(&wizard, "cbbThrough");
        auto* angle = Find<QComboBox>(&wizard, "cbbAngle");
        for (QComboBox* list : {chapter, through, angle}) {
            EXPECT_TRUE(list->isEnabled()) << list->objectName().toStdString();
        }
        QSignalSpy previews(&wizard.DvdSource(), &ui::TFrameDvdSource::rangeChanged);
        ASSERT_TRUE(Choose(chapter, "3"));
        EXPECT_EQ(Items(through), QStringList{"3"});
        ASSERT_TRUE(Choose(chapter, "2"));
        EXPECT_EQ(Items(through), (QStringList{"2", "3"}));
        EXPECT_EQ(through->currentText(), "3");
        ASSERT_TRUE(Choose(through, "2"));
        EXPECT_EQ(previews.count(), 3);
        ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
        ASSERT_TRUE(WaitForPreview(wizard));
        ClickFinish(wizard);
        request = wizard.GetConversionSettings();
    }
    EXPECT_EQ(request->DvdTitle(), 1);
    EXPECT_EQ(request->DvdChapter(), 2);
    EXPECT_EQ(request->DvdThrough(), 2);
    const std::string output = request->TargetFile();
    world.AddTask(std::move(request));
    ASSERT_TRUE(world.WaitFor([&] { return world.Converting().Tasks().empty(); }));
    EXPECT_TRUE(world.Errors().empty()) << world.Errors().join("; ").toStdString();
    // The second chapter alone.
    EXPECT_NEAR(InspectMedia(output).First(StreamKind::Video).durationSec, kChapterSeconds[1], 0.5);
}

TEST(WizardDvd, FolderWithoutItsVideoFilesSaysSoAndOffersNoStart) {
    TempFolder home;
    const TestDisc disc = AuthorTestDisc(home.Path());
    ASSERT_EQ(disc.error, "");
    for (const auto& entry : std::filesystem::directory_iterator(disc.videoTs)) {
        if (entry.path().extension() == ".VOB") {
            std::filesystem::remove(entry.path());
        }
    }
    ShellWorld world(home.Path());
    ui::TFormNewConversion wizard(WizardEnvironmentOf(world));
    wizard.show();
    PickDisc(world, wizard, disc);
    EXPECT_EQ(world.Errors(), QStringList{"The disc has no video files"});
    EXPECT_EQ(Find<QComboBox>(&wizard, "cbbTitle")->count(), 0);
    EXPECT_EQ(Find<QComboBox>(&wizard, "cbbChapter")->count(), 0);
    wizard.UpdateReadyState();
    EXPECT_FALSE(Find<QPushButton>(&wizard, "btnFinish")->isEnabled());
}

}  // namespace
}  // namespace tw::test
