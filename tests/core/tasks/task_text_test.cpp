#include "tasks/task_text.h"

#include <gtest/gtest.h>

#include <locale>

#include "tasks/conversion_settings.h"

namespace tw {
namespace {

TEST(TaskText, TimeIsHoursMinutesSecondsWithoutLeadingZeros) {
    EXPECT_EQ(TimeText(3725), "1:2:5");
    EXPECT_EQ(TimeText(0), "0:0:0");
    // The figure shown for a run without progress; hours are not limited to 24.
    EXPECT_EQ(TimeText(362439), "100:40:39");
}

TEST(TaskText, CutSpanIsThePartConverted) {
    EXPECT_DOUBLE_EQ(CutSpanSeconds(100, 0, INT64_MAX), 100);
    EXPECT_DOUBLE_EQ(CutSpanSeconds(100, 30000000, INT64_MAX), 70);
    EXPECT_DOUBLE_EQ(CutSpanSeconds(100, 30000000, 20000000), 20);
    EXPECT_DOUBLE_EQ(CutSpanSeconds(100, 90000000, 20000000), 10);
    EXPECT_DOUBLE_EQ(CutSpanSeconds(100, 150000000, INT64_MAX), 0);
    EXPECT_DOUBLE_EQ(CutSpanSeconds(0, 0, 20000000), 0);  // length not known yet
}

TEST(TaskText, SizeIsWholeKilobytes) {
    EXPECT_EQ(SizeText(1536), "1KB");
    EXPECT_EQ(SizeText(1023), "0KB");
    EXPECT_EQ(SizeText(5LL * 1024 * 1024 * 1024), "5242880KB");
}

TEST(TaskText, BitrateFollowsGroupedPatternWithOneOrTwoDecimals) {
    std::locale previous = std::locale::global(std::locale::classic());
    EXPECT_EQ(BitrateText(1234.5), "1,234.5");
    EXPECT_EQ(BitrateText(1234), "1,234.0");
    EXPECT_EQ(BitrateText(1234567.891), "1,234,567.89");
    EXPECT_EQ(BitrateText(999.996), "1,000.0");
    EXPECT_EQ(BitrateText(12.05), "12.05");
    // "#" digits leave the zero before the separator out.
    EXPECT_EQ(BitrateText(0.5), ".5");
    EXPECT_EQ(BitrateText(0), ".0");
    std::locale::global(previous);
}

TEST(TaskText, SourceIsDvdTitleOrFileName) {
    TConversionSettings settings;
    settings.SetSourceFile("/media/clips/holiday.mpg");
    EXPECT_EQ(SourceText(settings), "holiday.mpg");
    settings.SetSourceType(stDvd);
    settings.SetDvdVolume("MOVIE");
    settings.SetDvdTitle(3);
    EXPECT_EQ(SourceText(settings), "dvd[MOVIE:title3]");
}

}  // namespace
}  // namespace tw
