// The crop on the wizard's filter page: bars found in the source fill the four sides, the frame
// shows on the preview, and the request carries the crop; the clean-up filters join the list.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include "engine/crop_area.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/wizard_support.h"
#include "wizard/frame_crop.h"

namespace tw::test {
namespace {

TEST(WizardCrop, FoundBarsAreCutAndCleanUpFiltersJoinTheList) {
    TempFolder home;
    ClipDescription clip;
    clip.durationSec = 3;
    clip.videoFilter =
        "lutyuv=y=val/2+100,drawbox=x=0:y=0:w=iw:h=20:color=black:t=fill,"
        "drawbox=x=0:y=ih-20:w=iw:h=20:color=black:t=fill";
    const std::string source = home / "letterboxed.mp4";
    GenerateClip(clip, source);
    ShellWorld world(home.Path());
    ui::TFormNewConversion wizard(WizardEnvironmentOf(world));
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(source));
    ASSERT_TRUE(WaitForPreview(wizard));
    ClickWhenOffered(Find<QPushButton>(&wizard, "btnNext"));

    ui::TFrameCrop& crop = wizard.Crop();
    QSignalSpy finished(&crop, &ui::TFrameCrop::detectionFinished);
    Find<QPushButton>(&wizard, "btnDetectBars")->click();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    EXPECT_TRUE(crop.isChecked());
    EXPECT_NEAR(Find<QSpinBox>(&wizard, "sedCropTop")->value(), 20, 2);
    EXPECT_NEAR(Find<QSpinBox>(&wizard, "sedCropBottom")->value(), 20, 2);
    EXPECT_EQ(Find<QSpinBox>(&wizard, "sedCropLeft")->value(), 0);
    Find<QSpinBox>(&wizard, "sedCropLeft")->setValue(10);

    world.dialogs.Push([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Denoise Filter");
        Find<QComboBox>(&dialog, "cbbStrength")->setCurrentIndex(2);
        Find<QPushButton>(&dialog, "btnOk")->click();
    });
    Find<QAction>(&wizard, "actNewDenoiseFilter")->trigger();
    world.dialogs.Push([](QDialog& dialog) { Find<QPushButton>(&dialog, "btnOk")->click(); });
    Find<QAction>(&wizard, "actNewSharpenFilter")->trigger();
    auto* list = Find<QListWidget>(&wizard, "lstFilters");
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(list->item(0)->text().contains("Denoise Strong"));
    EXPECT_TRUE(list->item(1)->text().contains("Sharpen Medium"));
    Choose(Find<QComboBox>(&wizard, "cbbDeinterlace"), "Automatic (pictures found interlaced)");

    ClickFinish(wizard);
    const auto request = wizard.GetConversionSettings();
    const TVideoOptions& video = request->ConvertOptions().VideoOptions();
    const std::optional<engine::CropArea> area = engine::ParseCropArea(video.Crop());
    ASSERT_TRUE(area) << video.Crop();
    EXPECT_NEAR(area->top, 20, 2);
    EXPECT_EQ(area->left, 10);
    EXPECT_EQ(request->ConvertOptions().FilterOptions().VideoFilters(),
              "hqdn3d=8:6:12:9,unsharp=5:5:1.0");
    EXPECT_TRUE(video.DeinterlaceAuto());
    EXPECT_FALSE(video.Deinterlace());
}

}  // namespace
}  // namespace tw::test
