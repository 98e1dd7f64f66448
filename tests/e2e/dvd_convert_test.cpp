// DVD titles converted end to end: a chapter range of an authored disc goes through its
// "stream:N" URL into the engine and comes out as an MP4 of the range's length, in step.
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
        disc_ = AuthorShortChapterDisc(folder_->Path());
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override { ASSERT_EQ(disc_.error, ""); }

    // Converts url into an MP4 with H.264 and AAC at a small size, checks the run ended well and
    // returns the output's path.
    std::string Convert(const std::string& url, const std::string& name, int64_t startUs = 0) {
        const std::string output = *folder_ / name;
        ConversionRunner runner;
        runner.Options().SetStartTime(startUs);
        runner.Options().VideoOptions().SetEncoderVideoCodecName("libx264");
        runner.Options().VideoOptions().SetFrameWidth(320);
        runner.Options().VideoOptions().SetFrameHeight(256);
        runner.Options().AudioOptions().SetEncoderAudioCodecName("aac");
        const ConversionOutcome outcome = runner.Run({url}, {output});
        EXPECT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.errorMessage, "");
        EXPECT_EQ(outcome.completeEvents, 1);
        EXPECT_EQ(media::RegisteredLogThreads(), 0u);
        return output;
    }

    // Picture and sound of exactly the range's length (within a picture, and an audio frame of
    // the source or the target), beginning at the range's first picture (a white one: a whole
    // second), with the beep of every whole second on its white picture.
    static void ExpectRangeInStep(const std::string& path, double seconds) {
        const MediaInfo info = InspectMedia(path);
        ASSERT_EQ(info.CountOf(StreamKind::Video), 1);
        ASSERT_EQ(info.CountOf(StreamKind::Audio), 1);
        const StreamInfo& video = info.First(StreamKind::Video);
        const StreamInfo& audio = info.First(StreamKind::Audio);
        EXPECT_EQ(video.width, 320);
        EXPECT_EQ(video.decodeErrors, 0);
        EXPECT_NEAR(static_cast<double>(video.decodedFrameCount), seconds * 25, 1);
        EXPECT_NEAR(video.durationSec, seconds, 0.041);
        EXPECT_NEAR(static_cast<double>(audio.decodedSampleCount) / audio.sampleRate, seconds,
                    0.033);
        std::vector<int> white;
        const std::vector<double> brightness = PictureBrightness(path);
        for (size_t i = 0; i < brightness.size(); ++i) {
            if (brightness[i] > 200) {
                white.push_back(static_cast<int>(i));
            }
        }
        std::vector<int> wholeSeconds;
        for (int second = 0; second < seconds; ++second) {
            wholeSeconds.push_back(second * 25);
        }
        EXPECT_EQ(white, wholeSeconds);
        const std::vector<double> beeps = BeepTimesSec(DecodeAudioSamples(path));
        ASSERT_EQ(beeps.size(), wholeSeconds.size());
        for (size_t second = 0; second < beeps.size(); ++second) {
            EXPECT_NEAR(beeps[second], static_cast<double>(second), 0.03) << "beep " << second;
        }
    }

    static std::unique_ptr<TempFolder> folder_;
    static TestDisc disc_;
};

std::unique_ptr<TempFolder> DvdConvert::folder_;
TestDisc DvdConvert::disc_;

TEST_F(DvdConvert, ChapterRangesKeepTheirLengthStartAndSync) {
    const std::vector<dvd::DvdTitle> titles = dvd::ScanDiscTitles(disc_.root.string());
    ASSERT_EQ(titles.size(), 2u);
    ASSERT_EQ(titles[0].chapters.size(), static_cast<size_t>(kShortChapterCount));
    // The first chapter alone, a middle one alone, two middle ones, and two up to the title's end.
    const std::pair<int, int> ranges[] = {{1, 1}, {2, 2}, {2, 3}, {3, 4}};
    for (const auto& [first, last] : ranges) {
        const std::string name =
            "chapters" + std::to_string(first) + "-" + std::to_string(last) + ".mp4";
        SCOPED_TRACE(name);
        ExpectRangeInStep(Convert(dvd::OpenDvdTitleStream(titles[0], first, last, 1), name),
                          kShortChapterSeconds * (last - first + 1));
    }
}

TEST_F(DvdConvert, WholeTitlesConvert) {
    const std::string whole = dvd::OpenDvdTitleStream(disc_.root.string(), 1, 1, 0, 1);
    ExpectRangeInStep(Convert(whole + ".vob", "title1.mp4"),
                      kShortChapterSeconds * kShortChapterCount);
    const std::string second = dvd::OpenDvdTitleStream(disc_.videoTs.string(), 2, 1, 0, 1);
    ExpectRangeInStep(Convert(second, "title2.mp4"), kTitle2Seconds);
}

TEST_F(DvdConvert, AStartCutConvertsFromItsPlace) {
    const std::vector<dvd::DvdTitle> titles = dvd::ScanDiscTitles(disc_.root.string());
    ASSERT_FALSE(titles.empty());
    // A whole title as the wizard opens it, and a chapter range, each cut on a whole second.
    const std::string whole = dvd::OpenDvdTitleStream(titles[0], 1, kShortChapterCount, 1);
    ExpectRangeInStep(Convert(whole, "whole-cut.mp4", 4'000'000),
                      kShortChapterSeconds * kShortChapterCount - 4);
    const std::string range = dvd::OpenDvdTitleStream(titles[0], 2, 3, 1);
    ExpectRangeInStep(Convert(range, "range-cut.mp4", 2'000'000), kShortChapterSeconds * 2 - 2);
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
