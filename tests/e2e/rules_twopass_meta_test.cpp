// Two-pass encoding, chapters with a cut, and metadata.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/two_pass_log.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

double VideoKbits(const std::string& path) {
    const StreamInfo video = InspectMedia(path).First(StreamKind::Video);
    return static_cast<double>(video.totalPacketBytes) * 8 / video.durationSec / 1000;
}

TEST(TwoPass, SecondPassLandsCloserToTheTargetRate) {
    TempFolder folder;
    ScopedEnv cache("XDG_CACHE_HOME", folder / "cache");
    ClipDescription clip;
    clip.width = 320;
    clip.height = 240;
    clip.durationSec = 8;
    clip.videoCodec = "ffv1";
    clip.audioCodec = "";
    GenerateClip(clip, folder / "source.mkv");
    const double target = 150;
    const auto run = [&](int pass, const std::string& out) {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg4");
        runner.Options().VideoOptions().SetBitrate(static_cast<int>(target * 1000));
        runner.Options().VideoOptions().SetPass(pass);
        ASSERT_EQ(runner.Run({folder / "source.mkv"}, {out}).errorMessage, "");
    };
    run(0, folder / "single.avi");
    const std::string twoPass = folder / "two.avi";
    run(1, twoPass);
    const std::string log = engine::TwoPassLogPath(twoPass, 0);
    EXPECT_EQ(fs::path(log).filename(), "ffmpeg2pass-0.log");
    EXPECT_EQ(log.rfind((folder / "cache").c_str(), 0), 0u);
    ASSERT_TRUE(fs::exists(log));
    EXPECT_GT(fs::file_size(log), 0u);
    run(2, twoPass);

    const double single = VideoKbits(folder / "single.avi");
    const double second = VideoKbits(twoPass);
    EXPECT_LT(std::abs(second - target), std::abs(single - target))
        << "single pass " << single << " kbit/s, two passes " << second << " kbit/s";
}

TEST(TwoPass, SecondPassWithoutTheFirstFails) {
    TempFolder folder;
    ScopedEnv cache("XDG_CACHE_HOME", folder / "cache");
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    ConversionRunner runner;
    runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    runner.Options().VideoOptions().SetPass(2);
    const ConversionOutcome outcome = runner.Run({folder / "in.mkv"}, {folder / "out.avi"});
    EXPECT_NE(outcome.errorMessage.find("ffmpeg2pass-0.log"), std::string::npos)
        << outcome.errorMessage;
}

class Chapters : public ::testing::Test {
protected:
    void SetUp() override {
        ClipDescription clip;
        clip.durationSec = 3;
        clip.chapters = {{0, 1, "One"}, {1, 2, "Two"}, {2, 3, "Three"}};
        GenerateClip(clip, source_);
    }
    std::vector<ChapterInfo> Convert(int64_t start, int64_t length) {
        ConversionRunner runner;
        runner.Options().SetStartTime(start);
        runner.Options().SetRecordingTime(length);
        const std::string out = folder_ / "out.mkv";
        EXPECT_EQ(runner.Run({source_}, {out}).errorMessage, "");
        return InspectMedia(out).chapters;
    }
    TempFolder folder_;
    std::string source_ = folder_ / "chapters.mkv";
};

TEST_F(Chapters, AreCopiedUnchangedWithoutACut) {
    const auto chapters = Convert(0, INT64_MAX);
    ASSERT_EQ(chapters.size(), 3u);
    EXPECT_EQ(chapters[1].title, "Two");
    EXPECT_NEAR(chapters[1].startSec, 1.0, 0.001);
    EXPECT_NEAR(chapters[1].endSec, 2.0, 0.001);
}

TEST_F(Chapters, FollowTheCut) {
    const auto chapters = Convert(1500000, 1000000);
    // "One" ends before the cut and is skipped; "Two" is trimmed; "Three" ends at the limit.
    ASSERT_EQ(chapters.size(), 2u);
    EXPECT_EQ(chapters[0].title, "Two");
    EXPECT_NEAR(chapters[0].startSec, 0.0, 0.001);
    EXPECT_NEAR(chapters[0].endSec, 0.5, 0.001);
    EXPECT_EQ(chapters[1].title, "Three");
    EXPECT_NEAR(chapters[1].startSec, 0.5, 0.001);
    EXPECT_NEAR(chapters[1].endSec, 1.0, 0.001);
}

TEST_F(Chapters, StopAtTheFirstChapterPastTheLimit) {
    const auto chapters = Convert(0, 500000);
    ASSERT_EQ(chapters.size(), 1u);
    EXPECT_EQ(chapters[0].title, "One");
    EXPECT_NEAR(chapters[0].endSec, 0.5, 0.001);
}

TEST(Metadata, SourceStreamTagsOptionsAndFileTags) {
    TempFolder folder;
    ClipDescription clip;
    clip.videoMetadata = {{"language", "ger"}, {"title", "Camera"}};
    clip.audioMetadata = {{"language", "ger"}};
    GenerateClip(clip, folder / "in.mkv");
    ConversionRunner runner;
    runner.Options().AudioOptions().SetAudioLanguage("fre");
    runner.Options().SetMetaData({"title=Holiday", "artist=Me"});
    const std::string out = folder / "out.mkv";
    ASSERT_EQ(runner.Run({folder / "in.mkv"}, {out}).errorMessage, "");
    const MediaInfo info = InspectMedia(out);
    EXPECT_EQ(info.metadata.at("title"), "Holiday");
    // Matroska keeps further tags in upper case.
    EXPECT_EQ(info.metadata.at("ARTIST"), "Me");
    // The source's tags come along without overwriting what the options set.
    EXPECT_EQ(info.First(StreamKind::Video).metadata.at("language"), "ger");
    EXPECT_EQ(info.First(StreamKind::Video).metadata.at("title"), "Camera");
    EXPECT_EQ(info.First(StreamKind::Audio).metadata.at("language"), "fre");
}

}  // namespace
}  // namespace tw::test
