// Chapters carried into MP4 targets as into MKV ones, following the cut; a DVD title's chapters
// become the target's.
#include <gtest/gtest.h>

#include <string>

#include "core/dvd/test_disc.h"
#include "dvd/dvd_title_scan.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

TEST(ChaptersInMp4, AreKeptWithTheirTitlesAndOnlyThoseInsideTheCut) {
    TempFolder folder;
    ClipDescription clip;
    clip.durationSec = 4;
    clip.chapters = {{0, 1, "One"}, {1, 2, "Two"}, {2, 3, "Three"}, {3, 4, "Four"}};
    const std::string source = folder / "chapters.mkv";
    GenerateClip(clip, source);

    ConversionRunner whole;
    const std::string all = folder / "all.mp4";
    ASSERT_EQ(whole.Run({source}, {all}).errorMessage, "");
    const std::vector<ChapterInfo> kept = InspectMedia(all).chapters;
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[2].title, "Three");
    EXPECT_NEAR(kept[2].startSec, 2.0, 0.05);

    // Exactly chapters Two and Three: the neighbours only touch the cut and are left out.
    ConversionRunner cut;
    cut.Options().SetStartTime(1000000);
    cut.Options().SetRecordingTime(2000000);
    const std::string part = folder / "part.mp4";
    ASSERT_EQ(cut.Run({source}, {part}).errorMessage, "");
    const std::vector<ChapterInfo> shifted = InspectMedia(part).chapters;
    ASSERT_EQ(shifted.size(), 2u);
    EXPECT_EQ(shifted[0].title, "Two");
    EXPECT_NEAR(shifted[0].startSec, 0.0, 0.05);
    EXPECT_EQ(shifted[1].title, "Three");
    EXPECT_NEAR(shifted[1].startSec, 1.0, 0.05);
}

TEST(ChaptersOfADvd, BecomeTheTargetsFollowingTheCut) {
    TempFolder folder;
    const TestDisc disc = AuthorShortChapterDisc(folder.Path());
    ASSERT_EQ(disc.error, "");
    const std::vector<dvd::DvdTitle> titles = dvd::ScanDiscTitles(disc.root.string());
    ASSERT_FALSE(titles.empty());

    // Chapters 2 to 4, cut off half-way through chapter 4.
    ConversionRunner runner;
    runner.Options().VideoOptions().SetFrameWidth(320);
    runner.Options().VideoOptions().SetFrameHeight(256);
    runner.Options().SetRecordingTime(static_cast<int64_t>(kShortChapterSeconds * 2.5 * 1e6));
    const std::string target = folder / "range.mkv";
    ASSERT_EQ(runner.Run({dvd::OpenDvdTitleStream(titles[0], 2, 4, 1)}, {target}).errorMessage, "");
    const std::vector<ChapterInfo> chapters = InspectMedia(target).chapters;
    ASSERT_EQ(chapters.size(), 3u);
    EXPECT_EQ(chapters[0].title, "Chapter 2");
    EXPECT_NEAR(chapters[0].startSec, 0.0, 0.05);
    EXPECT_EQ(chapters[1].title, "Chapter 3");
    EXPECT_NEAR(chapters[1].startSec, kShortChapterSeconds, 0.05);
    EXPECT_EQ(chapters[2].title, "Chapter 4");
    EXPECT_NEAR(chapters[2].startSec, kShortChapterSeconds * 2, 0.05);
    EXPECT_NEAR(chapters[2].endSec, kShortChapterSeconds * 2.5, 0.05);
}

}  // namespace
}  // namespace tw::test
