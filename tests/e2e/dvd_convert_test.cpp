// DVD titles converted end to end: a chapter range of an authored disc goes through its
// "stream:N" URL into the engine and comes out as an MP4 of the range's length.
#include <gtest/gtest.h>

#include <memory>

#include "core/dvd/test_disc.h"
#include "dvd/dvd_title_scan.h"
#include "media/library.h"
#include "media/stream_registry.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"

namespace tw::test {
namespace {

class DvdConvert : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<TempFolder>();
        disc_ = AuthorTestDisc(folder_->Path());
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override { ASSERT_EQ(disc_.error, ""); }

    // Converts url into an MP4 with H.264 and AAC at a small size and checks the run ended well.
    MediaInfo Convert(const std::string& url, const std::string& name) {
        const std::string output = *folder_ / name;
        ConversionRunner runner;
        runner.Options().VideoOptions().SetEncoderVideoCodecName("libx264");
        runner.Options().VideoOptions().SetFrameWidth(320);
        runner.Options().VideoOptions().SetFrameHeight(256);
        runner.Options().AudioOptions().SetEncoderAudioCodecName("aac");
        const ConversionOutcome outcome = runner.Run({url}, {output});
        EXPECT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.errorMessage, "");
        EXPECT_EQ(outcome.completeEvents, 1);
        EXPECT_EQ(media::RegisteredLogThreads(), 0u);
        return InspectMedia(output);
    }

    static void ExpectLength(const MediaInfo& info, double seconds) {
        ASSERT_EQ(info.CountOf(StreamKind::Video), 1);
        ASSERT_EQ(info.CountOf(StreamKind::Audio), 1);
        EXPECT_NEAR(info.durationSec, seconds, 1.0);
        EXPECT_NEAR(info.First(StreamKind::Video).durationSec, seconds, 1.0);
        EXPECT_NEAR(static_cast<double>(info.First(StreamKind::Video).decodedFrameCount),
                    seconds * 25, 25);
        EXPECT_NEAR(info.First(StreamKind::Audio).durationSec, seconds, 1.0);
        EXPECT_EQ(info.First(StreamKind::Video).decodeErrors, 0);
        EXPECT_EQ(info.First(StreamKind::Video).width, 320);
    }

    static std::unique_ptr<TempFolder> folder_;
    static TestDisc disc_;
};

std::unique_ptr<TempFolder> DvdConvert::folder_;
TestDisc DvdConvert::disc_;

// Needs the engine to open "stream:" inputs through media::OpenStreamUrl.
TEST_F(DvdConvert, ChaptersTwoToThreeConvertToTheirLength) {
    const std::vector<dvd::DvdTitle> titles = dvd::ScanDiscTitles(disc_.root.string());
    ASSERT_EQ(titles.size(), 2u);
    const std::string url = dvd::OpenDvdTitleStream(titles[0], 2, 2, 1);
    ExpectLength(Convert(url + ".vob", "chapter2.mp4"), kChapterSeconds[1]);
    const std::string both = dvd::OpenDvdTitleStream(titles[0], 2, 3, 1);
    ExpectLength(Convert(both, "chapters2-3.mp4"), kChapterSeconds[1] + kChapterSeconds[2]);
}

// Needs the engine hook, as above.
TEST_F(DvdConvert, RangeToTheLastChapterAndWholeTitlesConvert) {
    const std::string last = dvd::OpenDvdTitleStream(disc_.videoTs.string(), 1, 3, 0, 1);
    ExpectLength(Convert(last, "chapter3.mp4"), kChapterSeconds[2]);
    const std::string whole = dvd::OpenDvdTitleStream(disc_.root.string(), 1, 1, 0, 1);
    ExpectLength(Convert(whole, "title1.mp4"), kTitle1Seconds);
    const std::string second = dvd::OpenDvdTitleStream(disc_.root.string(), 2, 1, 0, 1);
    ExpectLength(Convert(second, "title2.mp4"), kTitle2Seconds);
}

// Needs the engine hook, as above.
TEST_F(DvdConvert, StreamUrlOpensOnceAndBadNumbersFailTheRunCleanly) {
    const size_t before = media::RegisteredStreamCount();
    const std::string url = dvd::OpenDvdTitleStream(disc_.root.string(), 2, 1, 0, 1);
    Convert(url, "once.mp4");
    EXPECT_EQ(media::RegisteredStreamCount(), before);
    for (const std::string& bad : {url, std::string("stream:abc"), std::string("stream:")}) {
        ConversionRunner runner;
        const ConversionOutcome outcome = runner.Run({bad}, {*folder_ / "bad.mp4"});
        EXPECT_TRUE(outcome.finished) << bad;
        EXPECT_EQ(outcome.errorEvents, 1) << bad;
        EXPECT_NE(outcome.errorMessage.find("Can not open " + bad), std::string::npos)
            << outcome.errorMessage;
    }
}

}  // namespace
}  // namespace tw::test
