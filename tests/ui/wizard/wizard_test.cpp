// The new-conversion wizard with a file source: the target it proposes, when it lets the user
// start, the probe of a chosen file, the cut and the filters in the request, and a dropped file
// that becomes a task converting the marked span with an overlay text.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <filesystem>

#include "filters/filter_list.h"
#include "preview/frame_preview.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/wizard_support.h"
#include "wizard/filter_dialogs/filter_dialog.h"
#include "wizard/frame_filters.h"

namespace tw::test {
namespace {

QPushButton* Button(const QObject& wizard, const char* name) {
    return Find<QPushButton>(&wizard, name);
}

// A handler for the overlay text dialog: the text, the test font, a size and a place.
ui::ScriptedDialogRunner::Handler OverlayText(const char* text, int size, int x, int y) {
    return [=](QDialog& dialog) {
        Find<QPlainTextEdit>(&dialog, "edtText")->setPlainText(QString::fromUtf8(text));
        Find<QLineEdit>(&dialog, "edtFontFile")->setText(kTestFontFile);
        Find<QSpinBox>(&dialog, "edtFontSize")->setValue(size);
        Find<QSpinBox>(&dialog, "edtX")->setValue(x);
        Find<QSpinBox>(&dialog, "edtY")->setValue(y);
        Find<QPushButton>(&dialog, "btnOk")->click();
    };
}

class Wizard : public ::testing::Test {
protected:
    QLineEdit* Target(const QObject& wizard) { return Find<QLineEdit>(&wizard, "edtSavePath"); }
    std::string InOutputFolder(const std::string& name) {
        return world_.configuration.OutputFolder() + "/" + name;
    }

    TempFolder home_;
    std::string clip_ = MakeClip(home_.Path(), "holiday.mkv", 4);
    ShellWorld world_{home_.Path()};
    ui::WizardEnvironment environment_ = WizardEnvironmentOf(world_);
};

TEST_F(Wizard, PresetSourceNamesTheTargetAndAProfileChangesOnlyItsExtension) {
    ui::TFormNewConversion wizard(environment_);
    wizard.show();
    EXPECT_EQ(wizard.windowTitle(), "New Conversion Wizard");
    EXPECT_EQ(Find<QLabel>(&wizard, "lblPageTitle")->text(), "Select Source File");
    EXPECT_EQ(Target(wizard)->text(), "");
    wizard.SetSourceFile(QString::fromStdString(clip_));
    EXPECT_EQ(Target(wizard)->text().toStdString(),
              InOutputFolder("holiday" + wizard.CurrentProfile()->Extension()));

    ChooseProfile(wizard, "Audio", "MP3 Audio");
    EXPECT_EQ(Target(wizard)->text().toStdString(), InOutputFolder("holiday.mp3"));
    EXPECT_EQ(Find<QLabel>(&wizard, "lblAudioEncoder")->text(), "MP3");
    EXPECT_EQ(Find<QLabel>(&wizard, "lblChannels")->text(), "stereo");
    EXPECT_EQ(Find<QLabel>(&wizard, "lblFrameSize")->text(), "");
    Target(wizard)->setText("/elsewhere/my.film.mp3");
    ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
    EXPECT_EQ(Target(wizard)->text(), "/elsewhere/my.film.mp4");
    EXPECT_EQ(Find<QLabel>(&wizard, "lblFrameSize")->text(), "320x240");
    EXPECT_EQ(Find<QLabel>(&wizard, "lblFrameRate")->text(), "29.97");

    Target(wizard)->clear();
    ChooseProfile(wizard, "Video", "Flash Video");
    EXPECT_EQ(Target(wizard)->text(), "");
}

TEST_F(Wizard, StartIsOfferedOnlyWithASourceATargetAndAProfile) {
    ui::TFormNewConversion wizard(environment_);
    wizard.show();
    QPushButton* next = Button(wizard, "btnNext");
    QPushButton* finish = Button(wizard, "btnFinish");
    EXPECT_EQ(next->text(), "&Filter >");
    EXPECT_EQ(finish->text(), "&Start Convert");
    EXPECT_FALSE(finish->isEnabled());
    wizard.SetSourceFile(QString::fromStdString(clip_));
    // The ready state follows on its own.
    EXPECT_TRUE(QTest::qWaitFor([&] { return finish->isEnabled() && next->isEnabled(); }, 60000));

    Target(wizard)->setText("  \t");
    wizard.UpdateReadyState();
    EXPECT_FALSE(finish->isEnabled());
    EXPECT_FALSE(next->isEnabled());
    Target(wizard)->setText("/tmp/out.mp4");
    wizard.UpdateReadyState();
    EXPECT_TRUE(finish->isEnabled());

    std::filesystem::remove(clip_);
    wizard.UpdateReadyState();
    EXPECT_FALSE(finish->isEnabled());
    // The disc sheet without a title is no source either.
    Find<QTabWidget>(&wizard, "pgcSource")->setCurrentIndex(1);
    wizard.UpdateReadyState();
    EXPECT_FALSE(finish->isEnabled());
}

TEST_F(Wizard, ChosenOrTypedFileIsProbedAndARefusedOneKeepsThePreviousSource) {
    ui::TFormNewConversion wizard(environment_);
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(clip_));
    auto* source = Find<QLineEdit>(&wizard, "edtSource");
    const std::string notes = home_ / "notes.mkv";
    WriteFileBytes(notes, "not a film at all");
    world_.fileDialogs.PushAnswer(QString::fromStdString(notes));
    Find<QAbstractButton>(&wizard, "edtSourceBrowse")->click();
    // Examined off the UI thread.
    ASSERT_TRUE(WaitUntilIdle(wizard));
    EXPECT_EQ(source->text().toStdString(), clip_);
    EXPECT_EQ(world_.Errors(), QStringList{"Invalid Video/Audio File"});
    const QStringList offered = world_.fileDialogs.Requests().back().nameFilters;
    // Every extension the libraries open comes first, then the usual groups.
    ASSERT_TRUE(offered.front().startsWith("Media Files (")) << offered.front().toStdString();
    for (const char* extension : {"*.webm ", "*.m2ts ", "*.vob ", "*.flac ", "*.m4a "}) {
        EXPECT_TRUE(offered.front().contains(QString::fromLatin1(extension))) << extension;
    }
    EXPECT_EQ(offered[1], "Video Files (*.flv *.wmv *.mp4 *.avi *.mkv *.mpg *.mpeg *.mov)");
    EXPECT_EQ(offered.back(), "All Files (*)");

    const std::string other = MakeClip(home_.Path(), "other.mp4", 1);
    world_.fileDialogs.PushAnswer(QString::fromStdString(other));
    Find<QAbstractButton>(&wizard, "edtSourceBrowse")->click();
    ASSERT_TRUE(WaitUntilIdle(wizard));
    EXPECT_EQ(source->text().toStdString(), other);
    EXPECT_EQ(Target(wizard)->text().toStdString(),
              InOutputFolder("other" + wizard.CurrentProfile()->Extension()));

    // A typed or pasted name is probed once the user is done with it.
    EXPECT_FALSE(source->isReadOnly());
    source->setFocus();
    source->selectAll();
    QTest::keyClicks(source, QString::fromStdString(notes));
    QTest::keyClick(source, Qt::Key_Return);
    ASSERT_TRUE(WaitUntilIdle(wizard));
    EXPECT_EQ(source->text().toStdString(), other);
    EXPECT_EQ(world_.Errors().size(), 2);
    source->setText(QString::fromStdString("file://" + clip_));
    QTest::keyClick(source, Qt::Key_Return);
    ASSERT_TRUE(WaitUntilIdle(wizard));
    EXPECT_EQ(source->text().toStdString(), clip_);
    EXPECT_EQ(Target(wizard)->text().toStdString(),
              InOutputFolder("holiday" + wizard.CurrentProfile()->Extension()));
    EXPECT_EQ(world_.Errors().size(), 2);
}

TEST_F(Wizard, RequestCarriesTheSourceTargetProfileAndTheMarkedCut) {
    const auto finishWith = [&](int start, int end) {
        ui::TFormNewConversion wizard(environment_);
        wizard.show();
        wizard.SetSourceFile(QString::fromStdString(clip_));
        ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
        // Marked once the preview has opened the source.
        EXPECT_TRUE(WaitUntilIdle(wizard));
        wizard.Preview().SetSelection(start, end);
        ClickFinish(wizard);
        return wizard.GetConversionSettings();
    };
    const auto whole = finishWith(0, 0);
    EXPECT_EQ(whole->SourceFile(), clip_);
    EXPECT_EQ(whole->SourceType(), stFile);
    EXPECT_EQ(whole->TargetFile(), InOutputFolder("holiday.mp4"));
    EXPECT_EQ(whole->Profile(), "IPod 320x240 Video");
    EXPECT_EQ(whole->CategoryId(), 0);
    const TAVConvertOptions& options = whole->ConvertOptions();
    EXPECT_EQ(options.StartTime(), 0);
    EXPECT_EQ(options.RecordingTime(), INT64_MAX);
    EXPECT_EQ(options.InputFormat(), "");
    EXPECT_EQ(options.VideoOptions().FrameWidth(), 320);
    // The configuration leaves the thread count automatic: the libraries choose.
    EXPECT_EQ(options.ThreadCount(), 0);
    EXPECT_TRUE(options.VideoOptions().KeepPictureShape());

    // The preference for pictures of another shape than the device's frame goes along.
    world_.configuration.SetKeepPictureShape(false);
    const auto startOnly = finishWith(2, 0);
    EXPECT_FALSE(startOnly->ConvertOptions().VideoOptions().KeepPictureShape());
    EXPECT_EQ(startOnly->ConvertOptions().StartTime(), 2000000);
    EXPECT_EQ(startOnly->ConvertOptions().RecordingTime(), INT64_MAX);
    const auto span = finishWith(1, 3);
    EXPECT_EQ(span->ConvertOptions().StartTime(), 1000000);
    EXPECT_EQ(span->ConvertOptions().RecordingTime(), 2000000);
    // Marked end first: the same span.
    const auto reversed = finishWith(3, 1);
    EXPECT_EQ(reversed->ConvertOptions().StartTime(), 1000000);
    EXPECT_EQ(reversed->ConvertOptions().RecordingTime(), 2000000);
}

TEST_F(Wizard, FiltersApplyOnlyWhenFinishingFromTheFilterPageInListOrder) {
    const auto addFilters = [&](ui::TFormNewConversion& wizard) {
        ClickWhenOffered(Button(wizard, "btnNext"));
        EXPECT_TRUE(wizard.OnFilterPage());
        EXPECT_EQ(Find<QLabel>(&wizard, "lblPageTitle")->text(), "Filters Settings");
        EXPECT_TRUE(Button(wizard, "btnBack")->isVisible());
        world_.dialogs.Push([](QDialog& dialog) {
            // The preview's picture, and then the same upside down once the flip is ticked.
            auto& filterDialog = dynamic_cast<ui::FilterDialog&>(dialog);
            ASSERT_NE(filterDialog.Thumbnail(), nullptr);
            const QImage before = *filterDialog.Thumbnail();
            Find<QAbstractButton>(&dialog, "chkVerticalFlip")->click();
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return *filterDialog.Thumbnail() != before; }, 60000));
            const QImage& after = *filterDialog.Thumbnail();
            EXPECT_EQ(after.pixel(10, 0), before.pixel(10, before.height() - 1));
            EXPECT_EQ(after.pixel(10, after.height() - 1), before.pixel(10, 0));
            Find<QPushButton>(&dialog, "btnOk")->click();
        });
        Find<QAction>(&wizard, "actNewStdFilter")->trigger();
        world_.dialogs.Push(Click("btnCancel"));
        Find<QAction>(&wizard, "actNewLogoFilter")->trigger();
        world_.dialogs.Push(OverlayText("Hello", 16, 0, 0));
        Find<QAction>(&wizard, "actNewTextFilter")->trigger();
    };

    ui::TFormNewConversion back(environment_);
    back.show();
    back.SetSourceFile(QString::fromStdString(clip_));
    ASSERT_TRUE(WaitForPreview(back));
    addFilters(back);
    auto* list = Find<QListWidget>(&back, "lstFilters");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Vertical flip");
    EXPECT_EQ(list->item(1)->text(), "Text 'Hello' at 0,0");
    Button(back, "btnBack")->click();
    ClickFinish(back);
    EXPECT_EQ(back.GetConversionSettings()->ConvertOptions().FilterOptions().VideoFilters(), "");

    ui::TFormNewConversion onPage(environment_);
    onPage.show();
    onPage.SetSourceFile(QString::fromStdString(clip_));
    ASSERT_TRUE(WaitForPreview(onPage));
    addFilters(onPage);
    list = Find<QListWidget>(&onPage, "lstFilters");
    list->setCurrentRow(0);
    ASSERT_TRUE(Find<QAction>(&onPage, "actEditFilter")->isEnabled());
    world_.dialogs.Push([](QDialog& dialog) {
        Find<QAbstractButton>(&dialog, "chkNegate")->click();
        Find<QPushButton>(&dialog, "btnOk")->click();
    });
    Find<QAction>(&onPage, "actEditFilter")->trigger();
    ClickFinish(onPage);
    const auto items = filters::SplitFilterItems(
        onPage.GetConversionSettings()->ConvertOptions().FilterOptions().VideoFilters());
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ((*items)[0], "vflip,negate");
    EXPECT_EQ((*items)[1].rfind("drawtext=", 0), 0u) << (*items)[1];

    // Delete takes the selected filter out.
    list->setCurrentRow(0);
    Find<QAction>(&onPage, "actDeleteFilter")->trigger();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(onPage.Filters().ChainText(), onPage.Filters().FilterAt(0).GetFilterText());
}

TEST_F(Wizard, FiltersMoveUpAndDownAndEachDialogShowsTheFiltersBeforeIt) {
    ui::TFormNewConversion wizard(environment_);
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(clip_));
    ASSERT_TRUE(WaitForPreview(wizard));
    ClickWhenOffered(Button(wizard, "btnNext"));
    const auto upright = [](QDialog& dialog) {
        const QImage* thumbnail = dynamic_cast<ui::FilterDialog&>(dialog).Thumbnail();
        EXPECT_NE(thumbnail, nullptr);
        return thumbnail && thumbnail->width() > thumbnail->height();
    };
    world_.dialogs.Push([&](QDialog& dialog) {
        EXPECT_TRUE(upright(dialog));
        Find<QAbstractButton>(&dialog, "chkRotate")->click();
        Find<QSpinBox>(&dialog, "edtDegree")->setValue(90);
        Find<QPushButton>(&dialog, "btnOk")->click();
    });
    Find<QAction>(&wizard, "actNewStdFilter")->trigger();
    // A text after the rotation is drawn on the turned picture; no font to look for first.
    world_.dialogs.Push([&](QDialog& dialog) {
        EXPECT_FALSE(upright(dialog));
        Find<QPlainTextEdit>(&dialog, "edtText")->setPlainText("Hello");
        Find<QSpinBox>(&dialog, "edtX")->setValue(10);
        Find<QPushButton>(&dialog, "btnOk")->click();
    });
    Find<QAction>(&wizard, "actNewTextFilter")->trigger();
    auto* list = Find<QListWidget>(&wizard, "lstFilters");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Rotate 90\u00B0");
    EXPECT_EQ(list->item(1)->text(), "Text 'Hello' at 10,0");
    QAction* up = Find<QAction>(&wizard, "actMoveFilterUp");
    QAction* down = Find<QAction>(&wizard, "actMoveFilterDown");
    EXPECT_TRUE(up->isEnabled());
    EXPECT_FALSE(down->isEnabled());

    up->trigger();
    EXPECT_EQ(list->item(0)->text(), "Text 'Hello' at 10,0");
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_FALSE(up->isEnabled());
    EXPECT_EQ(wizard.Filters().ChainText().rfind("drawtext=", 0), 0u);
    // Now first, the text is shown on the upright picture.
    world_.dialogs.Push([&](QDialog& dialog) {
        EXPECT_TRUE(upright(dialog));
        Find<QPushButton>(&dialog, "btnCancel")->click();
    });
    Find<QAction>(&wizard, "actEditFilter")->trigger();
    down->trigger();
    EXPECT_EQ(list->item(1)->text(), "Text 'Hello' at 10,0");
    EXPECT_EQ(wizard.Filters().FilterAt(0).GetFilterText(), "rotate=90");
}

// The mean difference of two pictures' colour values over a rectangle.
double MeanDifference(const RgbFrame& a, const RgbFrame& b, const QRect& area) {
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            for (int c = 0; c < 3; ++c) {
                sum += std::abs(int{a.Pixel(x, y)[c]} - int{b.Pixel(x, y)[c]});
            }
        }
    }
    return sum / (3.0 * area.width() * area.height());
}

TEST(WizardOnTheMainWindow, DroppedFileConvertsTheMarkedTenSecondsWithTheText) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "holiday.mkv", 20);
    ShellWorld world(home.Path());
    ui::ScopedNewConversion wizard(
        ui::NewConversionWizard(world.data->Profiles(), world.configuration));
    world.Window().UpdateActions();
    EXPECT_TRUE(world.Action("actNewConversion")->isEnabled());

    world.dialogs.Push([&](QDialog& dialog) {
        auto& form = dynamic_cast<ui::TFormNewConversion&>(dialog);
        ChooseProfile(form, "IPod", "IPod 320x240 Video");
        ASSERT_TRUE(WaitForPreview(form));
        // Marked on the opened preview, never played.
        form.Preview().SeekTo(5);
        Find<QAction>(&form, "actSetStart")->trigger();
        form.Preview().SeekTo(15);
        Find<QAction>(&form, "actSetEnd")->trigger();
        EXPECT_EQ(Find<QLabel>(&form, "lblStart")->text(), "Start[0:0:5]");
        EXPECT_EQ(Find<QLabel>(&form, "lblEnd")->text(), "End[0:0:15]");
        ClickWhenOffered(Button(form, "btnNext"));
        world.dialogs.Push(OverlayText("TIDEWELL", 32, 20, 20));
        Find<QAction>(&form, "actNewTextFilter")->trigger();
        ClickFinish(form);
    });
    ASSERT_TRUE(DropFiles(world.Window(), {QString::fromStdString(source)}));
    ASSERT_TRUE(world.WaitFor([&] { return world.dialogs.Pending() == 0; }));
    ASSERT_EQ(world.Converting().Tasks().size(), 1u);
    TConversionSettings request;
    request.Assign(world.Converting().Tasks()[0]->Settings());
    const std::string target = world.configuration.OutputFolder() + "/holiday.mp4";
    EXPECT_EQ(request.TargetFile(), target);
    EXPECT_NE(request.ConvertOptions().FilterOptions().VideoFilters().find("TIDEWELL"),
              std::string::npos);
    ASSERT_TRUE(world.WaitFor([&] { return world.Converting().Tasks().empty(); }));
    EXPECT_TRUE(world.Errors().empty()) << world.Errors().join("; ").toStdString();

    const MediaInfo converted = InspectMedia(target);
    EXPECT_NEAR(converted.durationSec, 10.0, 0.5);
    const StreamInfo& video = converted.First(StreamKind::Video);
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.height, 240);
    EXPECT_NEAR(converted.First(StreamKind::Audio).durationSec, 10.0, 0.5);

    // The same request without its filter, for comparison: the text changes its corner only.
    ConversionRunner runner;
    runner.Options().Assign(request.ConvertOptions());
    runner.Options().FilterOptions().SetVideoFilters("");
    const std::string plain = home / "plain.mp4";
    ASSERT_TRUE(runner.Run({source}, {plain}).finished);
    const RgbFrame withText = DecodeVideoFrameRgb(target, 60);
    const RgbFrame without = DecodeVideoFrameRgb(plain, 60);
    const double textArea = MeanDifference(withText, without, QRect(20, 20, 150, 30));
    const double rest = MeanDifference(withText, without, QRect(0, 120, 320, 120));
    EXPECT_GT(textArea, 15.0);
    EXPECT_LT(rest, 5.0);
    EXPECT_GT(textArea, 4 * rest);
}

}  // namespace
}  // namespace tw::test
