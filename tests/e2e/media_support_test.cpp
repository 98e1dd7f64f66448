// The clip generator and the inspector are what every end-to-end test stands on, so they are
// checked against each other here: what was asked for must be what is read back.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/media_facts.h"
#include "support/media_generator.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

class MediaSupport : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tw_media_support_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(MediaSupport, CommonContainersReadBackAsGenerated) {
    struct Case {
        std::string file, videoCodec, audioCodec, pixFmt, wantVideo, wantAudio;
        int sampleRate;
        int channels;
    };
    const Case cases[] = {
        {"h264.mp4", "libx264", "aac", "yuv420p", "h264", "aac", 44100, 2},
        {"mpeg4.avi", "mpeg4", "libmp3lame", "yuv420p", "mpeg4", "mp3", 44100, 2},
        {"ffv1.mkv", "ffv1", "pcm_s16le", "yuv420p", "ffv1", "pcm_s16le", 48000, 6},
        {"mpeg2.ts", "mpeg2video", "mp2", "yuv420p", "mpeg2video", "mp2", 48000, 2},
        {"raw.avi", "rawvideo", "ac3", "yuv420p", "rawvideo", "ac3", 48000, 6},
        {"tone.wav", "", "pcm_s16le", "", "", "pcm_s16le", 22050, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ClipDescription clip;
        clip.videoCodec = c.videoCodec;
        clip.pixelFormat = c.pixFmt;
        clip.audioCodec = c.audioCodec;
        clip.sampleRate = c.sampleRate;
        clip.channels = c.channels;
        GenerateClip(clip, Path(c.file));
        MediaInfo info = InspectMedia(Path(c.file));

        EXPECT_TRUE(info.readError.empty()) << info.readError;
        EXPECT_NEAR(info.durationSec, 2.0, 0.15);
        ASSERT_EQ(info.CountOf(StreamKind::Video), c.videoCodec.empty() ? 0 : 1);
        if (!c.videoCodec.empty()) {
            const StreamInfo& v = info.First(StreamKind::Video);
            EXPECT_EQ(v.codecName, c.wantVideo);
            EXPECT_EQ(v.width, 320);
            EXPECT_EQ(v.height, 240);
            EXPECT_EQ(v.pixelFormat, c.pixFmt);
            EXPECT_EQ(v.decodedFrameCount, 50);
            EXPECT_EQ(v.packetCount, 50);
            EXPECT_GE(v.keyPacketCount, 4);  // one every 12 frames at least
            EXPECT_EQ(v.decodeErrors, 0);
            EXPECT_NEAR(av_q2d(v.avgFrameRate), 25.0, 0.01);
            EXPECT_NEAR(v.durationSec, 2.0, 0.05);
        }
        ASSERT_EQ(info.CountOf(StreamKind::Audio), 1);
        const StreamInfo& a = info.First(StreamKind::Audio);
        EXPECT_EQ(a.codecName, c.wantAudio);
        EXPECT_EQ(a.sampleRate, c.sampleRate);
        EXPECT_EQ(a.channels, c.channels);
        EXPECT_EQ(a.decodeErrors, 0);
        // Frame-sized encoders pad the last frame, and some add priming.
        EXPECT_NEAR(static_cast<double>(a.decodedSampleCount), 2.0 * c.sampleRate, 3000.0);
    }
}

TEST_F(MediaSupport, TextSubtitlesKeepTheirCuesInMkvAndMp4) {
    ClipDescription clip;
    clip.subtitles = {{0.5, 1.0, "Hello"}, {1.2, 1.8, "Two\nlines"}};
    clip.subtitleMetadata = {{"language", "fre"}};
    for (std::string file : {"subs.mkv", "subs.mp4"}) {
        SCOPED_TRACE(file);
        GenerateClip(clip, Path(file));
        MediaInfo info = InspectMedia(Path(file));
        ASSERT_EQ(info.CountOf(StreamKind::Subtitle), 1);
        const StreamInfo& s = info.First(StreamKind::Subtitle);
        EXPECT_EQ(s.codecName, file == "subs.mkv" ? "subrip" : "mov_text");
        EXPECT_EQ(s.metadata.at("language"), "fre");
        ASSERT_EQ(s.subtitleEvents.size(), 2u);
        EXPECT_EQ(s.subtitleEvents[0].text, "Hello");
        EXPECT_EQ(s.subtitleEvents[1].text, "Two\nlines");
        EXPECT_NEAR(s.subtitleEvents[1].startSec, 1.2, 0.002);
        EXPECT_NEAR(s.subtitleEvents[1].endSec, 1.8, 0.002);
        // Audio priming must not push the other streams later in containers without edit lists.
        EXPECT_NEAR(*info.First(StreamKind::Video).firstPtsSec, 0.0, 0.001);
    }
}

TEST_F(MediaSupport, OptionalFeaturesAreWritten) {
    ClipDescription clip;
    clip.audioMetadata = {{"language", "eng"}};
    clip.secondAudio = AudioTrackDescription{"aac", 48000, 1, 880.0, 0, {{"language", "ger"}}};
    clip.chapters = {{0.0, 1.0, "One"}, {1.0, 2.0, "Two"}};
    clip.containerMetadata = {{"title", "Support clip"}};
    GenerateClip(clip, Path("extras.mkv"));
    MediaInfo info = InspectMedia(Path("extras.mkv"));
    EXPECT_EQ(info.metadata.at("title"), "Support clip");
    ASSERT_EQ(info.chapters.size(), 2u);
    EXPECT_EQ(info.chapters[1].title, "Two");
    EXPECT_NEAR(info.chapters[1].startSec, 1.0, 0.001);
    ASSERT_EQ(info.CountOf(StreamKind::Audio), 2);
    EXPECT_EQ(info.streams[1].metadata.at("language"), "eng");
    EXPECT_EQ(info.streams[2].metadata.at("language"), "ger");
    EXPECT_EQ(info.streams[2].sampleRate, 48000);
    EXPECT_NEAR(EstimateFrequencyHz(DecodeAudioSamples(Path("extras.mkv")), 0), 440.0, 2.0);

    ClipDescription rotated;
    rotated.videoMetadata = {{"rotate", "90"}};
    GenerateClip(rotated, Path("rotated.mp4"));
    EXPECT_NEAR(InspectMedia(Path("rotated.mp4")).First(StreamKind::Video).rotationDeg, 90.0, 0.01);

    ClipDescription interlaced;
    interlaced.videoCodec = "mpeg2video";
    interlaced.audioCodec = "";
    interlaced.interlaced = true;
    interlaced.startOffsetSec = 10.0;
    GenerateClip(interlaced, Path("interlaced.ts"));
    MediaInfo tsInfo = InspectMedia(Path("interlaced.ts"));
    const StreamInfo& v = tsInfo.First(StreamKind::Video);
    EXPECT_EQ(v.interlacedFrameCount, 50);
    ASSERT_TRUE(tsInfo.startTimeSec.has_value());
    EXPECT_NEAR(*tsInfo.startTimeSec, 10.0, 0.2);

    ClipDescription jump;
    jump.videoCodec = "mpeg2video";
    jump.audioCodec = "mp2";
    jump.ptsJumpAtSec = 1.0;
    jump.ptsJumpSec = 30.0;
    GenerateClip(jump, Path("jump.ts"));
    MediaInfo jumpInfo = InspectMedia(Path("jump.ts"));
    EXPECT_EQ(jumpInfo.First(StreamKind::Video).decodedFrameCount, 50);
    EXPECT_NEAR(jumpInfo.First(StreamKind::Video).largestPtsGapSec, 30.04, 0.01);
    EXPECT_NEAR(jumpInfo.First(StreamKind::Video).durationSec, 32.0, 0.1);
}

TEST_F(MediaSupport, PicturesDecodeToRgbAndSingleImagesInspect) {
    ClipDescription clip;
    clip.videoCodec = "ffv1";
    clip.pixelFormat = "bgr0";  // lossless RGB, so the PNG below must match it exactly
    clip.audioCodec = "";
    GenerateClip(clip, Path("pattern.mkv"));
    RgbFrame first = DecodeVideoFrameRgb(Path("pattern.mkv"), 0);
    RgbFrame later = DecodeVideoFrameRgb(Path("pattern.mkv"), 49);
    ASSERT_EQ(first.width, 320);
    ASSERT_EQ(first.height, 240);
    ASSERT_EQ(first.rgb.size(), 320u * 240u * 3u);
    EXPECT_NE(first.rgb, later.rgb);  // the pattern moves
    EXPECT_THROW(DecodeVideoFrameRgb(Path("pattern.mkv"), 50), std::runtime_error);

    ClipDescription image;
    image.videoCodec = "png";
    image.pixelFormat = "rgb24";
    image.audioCodec = "";
    image.durationSec = 0.04;
    GenerateClip(image, Path("still.png"));
    MediaInfo info = InspectMedia(Path("still.png"));
    ASSERT_EQ(info.streams.size(), 1u);
    EXPECT_EQ(info.streams[0].codecName, "png");
    EXPECT_EQ(info.streams[0].decodedFrameCount, 1);
    EXPECT_EQ(DecodeVideoFrameRgb(Path("still.png"), 0).rgb, first.rgb);
}

TEST_F(MediaSupport, BadInputHelpersAndFailuresAreReported) {
    ClipDescription clip;
    clip.videoCodec = "no_such_encoder";
    EXPECT_THROW(GenerateClip(clip, Path("bad.mp4")), std::runtime_error);
    EXPECT_FALSE(fs::exists(Path("bad.mp4")));

    WriteRandomFile(Path("a.bin"), 4096, 7);
    WriteRandomFile(Path("b.bin"), 4096, 7);
    EXPECT_EQ(fs::file_size(Path("a.bin")), 4096u);
    std::ifstream a(Path("a.bin"), std::ios::binary), b(Path("b.bin"), std::ios::binary);
    EXPECT_TRUE(
        std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b)));
    EXPECT_THROW(InspectMedia(Path("a.bin")), std::runtime_error);

    TruncateCopy(Path("a.bin"), Path("half.bin"), 0.5);
    EXPECT_EQ(fs::file_size(Path("half.bin")), 2048u);
    WriteBytes(Path("empty.mp4"), std::string());
    EXPECT_THROW(InspectMedia(Path("empty.mp4")), std::runtime_error);
}

}  // namespace
}  // namespace tw::test
