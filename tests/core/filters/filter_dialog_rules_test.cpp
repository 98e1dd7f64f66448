// What the filter dialogs accept and how their values reach the filters.
#include <gtest/gtest.h>

#include <filesystem>

#include "filters/filter_dialog_rules.h"
#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/subtitle_filter.h"
#include "filters/video_std_filter.h"
#include "support/scoped_env.h"

namespace tw::filters {
namespace {

TEST(StdFilterDialog, OkNeedsOneTickedOperation) {
    StdFilterDialogValues values;
    EXPECT_EQ(values.degrees, 45);
    EXPECT_FALSE(Accepts(values));
    values.degrees = 90;
    values.boxWidth = 10;  // values alone enable nothing
    EXPECT_FALSE(Accepts(values));
    for (bool StdFilterDialogValues::*tick :
         {&StdFilterDialogValues::rotate, &StdFilterDialogValues::drawBox,
          &StdFilterDialogValues::verticalFlip, &StdFilterDialogValues::horizontalFlip,
          &StdFilterDialogValues::negate}) {
        StdFilterDialogValues one;
        one.*tick = true;
        EXPECT_TRUE(Accepts(one));
    }
}

TEST(StdFilterDialog, ConfirmedValuesReachTheFilterAndEditStartsFromThem) {
    StdFilterDialogValues values;
    values.verticalFlip = true;
    values.rotate = true;
    values.degrees = 400;  // the spin control stops at 359
    values.drawBox = true;
    values.boxX = -5;
    values.boxY = 6;
    values.boxWidth = 70;
    values.boxHeight = 80;
    values.boxColor = "Navy";
    TVideoStdFilter filter;
    CopyTo(values, filter);
    EXPECT_EQ(filter.GetFilterText(), "vflip,drawbox=-5:6:70:80:Navy,rotate=359");
    const StdFilterDialogValues back = ValuesOf(filter);
    EXPECT_EQ(back.degrees, 359);
    EXPECT_EQ(back.boxColor, "Navy");
    EXPECT_TRUE(back.verticalFlip && back.rotate && back.drawBox);
    EXPECT_FALSE(back.horizontalFlip || back.negate);
    filter.SetBColor("Chartreuse");
    EXPECT_EQ(ValuesOf(filter).boxColor, "");
}

TEST(StdFilterDialog, SixteenStandardColoursInOrder) {
    const auto& colors = StandardColors();
    ASSERT_EQ(colors.size(), 16u);
    EXPECT_STREQ(colors.front().name, "Black");
    EXPECT_STREQ(colors.back().name, "White");
    EXPECT_EQ(StandardColorIndex("Red"), 9);
    EXPECT_EQ(colors[9].color, kColorRed);
    EXPECT_EQ(colors[StandardColorIndex("Lime")].color, 0x00FF00);
    EXPECT_EQ(colors[StandardColorIndex("Navy")].color, 0x800000);
    EXPECT_EQ(StandardColorIndex("red"), -1);
}

class FileDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFileBytes(folder_ / "logo.png", "png");
        test::WriteFileBytes(folder_ / "font.ttf", "ttf");
        test::WriteFileBytes(folder_ / "film.srt", "1");
        std::filesystem::create_directory(folder_.Path() / "folder.png");
    }
    test::TempFolder folder_;
};

TEST_F(FileDialogs, LogoNeedsAnExistingFile) {
    LogoFilterDialogValues values;
    EXPECT_EQ(values.x, 0);
    EXPECT_FALSE(Accepts(values));
    values.logoFile = folder_ / "missing.png";
    EXPECT_FALSE(Accepts(values));
    values.logoFile = folder_ / "folder.png";
    EXPECT_FALSE(Accepts(values));
    values.logoFile = folder_ / "logo.png";
    values.x = -3;
    values.y = 9;
    EXPECT_TRUE(Accepts(values));
    TLogoFilter logo;
    CopyTo(values, logo);
    EXPECT_EQ(logo.X(), -3);
    EXPECT_EQ(logo.Y(), 9);
    EXPECT_EQ(logo.LogoFile(), values.logoFile);
}

TEST_F(FileDialogs, OverlayTextNeedsTextAndFont) {
    OverlayTextDialogValues values;
    EXPECT_EQ(values.fontSize, 16);
    EXPECT_EQ(values.fontColor, kColorYellow);
    EXPECT_EQ(values.bgColor, kColorBlue);
    values.fontFile = folder_ / "font.ttf";
    EXPECT_FALSE(Accepts(values));
    values.text = " \t\r\n ";
    EXPECT_FALSE(Accepts(values));
    values.text = " x ";
    EXPECT_TRUE(Accepts(values));
    values.fontFile = folder_ / "none.ttf";
    EXPECT_FALSE(Accepts(values));

    values.fontFile = folder_ / "font.ttf";
    values.fontSize = 100;
    values.x = -1;
    values.y = 12;
    TOverlayTextFilter filter;
    CopyTo(values, filter);
    EXPECT_EQ(filter.Text(), " x ");  // kept as typed; only the rule trims
    EXPECT_EQ(filter.FontSize(), kMaxFontSize);
    EXPECT_EQ(filter.X(), 0);
    EXPECT_EQ(filter.Y(), 12);
    EXPECT_EQ(filter.FontColor(), kColorYellow);
    EXPECT_EQ(filter.BgColor(), kColorBlue);
    EXPECT_EQ(ValuesOf(filter).fontFile, values.fontFile);
}

TEST_F(FileDialogs, TextAndSubtitlesStartWithTheFontTheRendererTakesByItself) {
    OverlayTextDialogValues text;
    EXPECT_FALSE(text.fontFile.empty());
    EXPECT_EQ(text.fontFile, DefaultFontFile());
    EXPECT_EQ(SubtitleDialogValues().fontFile, text.fontFile);
    text.text = "Hello";
    EXPECT_TRUE(Accepts(text));
}

TEST_F(FileDialogs, SubtitlesNeedBothFilesAndTakeTheCodePageTrimmed) {
    SubtitleDialogValues values;
    EXPECT_EQ(values.fontColor, kColorYellow);
    values.fontFile = folder_ / "none.ttf";
    values.subtitleFile = folder_ / "film.srt";
    EXPECT_FALSE(Accepts(values));
    values.fontFile = folder_ / "font.ttf";
    EXPECT_TRUE(Accepts(values));
    values.subtitleFile = folder_ / "other.srt";
    EXPECT_FALSE(Accepts(values));

    values.subtitleFile = folder_ / "film.srt";
    values.codePage = "  cp1251 ";
    TSubtitleFilter filter;
    CopyTo(values, filter);
    EXPECT_EQ(filter.CodePage(), "cp1251");
    values.codePage = "   ";
    CopyTo(values, filter);
    EXPECT_EQ(filter.CodePage(), "");
}

}  // namespace
}  // namespace tw::filters
