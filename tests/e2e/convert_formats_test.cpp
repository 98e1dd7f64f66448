// Whole conversions of generated sources into the common containers, checked by reading the
// result back: streams, codecs, picture size, frame rate, sample rate, channels and duration.
#include <gtest/gtest.h>

#include <filesystem>

#include "media/library.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

class ConvertFormats : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder();
        ClipDescription clip;
        clip.width = 320;
        clip.height = 240;
        clip.frameRate = {25, 1};
        clip.durationSec = 2.0;
        clip.videoCodec = "libx264";
        clip.audioCodec = "aac";
        clip.sampleRate = 48000;
        clip.channels = 2;
        source_ = *folder_ / "source.mkv";
        GenerateClip(clip, source_);
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }

    ConversionOutcome Convert(const std::string& output,
                              const std::function<void(TAVConvertOptions&)>& setup = {}) {
        ConversionRunner runner;
        if (setup) {
            setup(runner.Options());
        }
        ConversionOutcome outcome = runner.Run({source_}, {output});
        EXPECT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.errorMessage, "");
        EXPECT_EQ(outcome.completeEvents, 1);
        EXPECT_EQ(media::RegisteredLogThreads(), 0u);
        return outcome;
    }

    static void ExpectVideo(const MediaInfo& info, const std::string& codec, int width, int height,
                            double fps) {
        ASSERT_EQ(info.CountOf(StreamKind::Video), 1);
        const StreamInfo& v = info.First(StreamKind::Video);
        EXPECT_EQ(v.codecName, codec);
        EXPECT_EQ(v.width, width);
        EXPECT_EQ(v.height, height);
        EXPECT_NEAR(av_q2d(v.avgFrameRate), fps, 0.01);
        EXPECT_EQ(v.decodeErrors, 0);
    }

    static void ExpectAudio(const MediaInfo& info, const std::string& codec, int rate,
                            int channels) {
        ASSERT_EQ(info.CountOf(StreamKind::Audio), 1);
        const StreamInfo& a = info.First(StreamKind::Audio);
        EXPECT_EQ(a.codecName, codec);
        EXPECT_EQ(a.sampleRate, rate);
        EXPECT_EQ(a.channels, channels);
    }

    std::string Out(const std::string& name) const { return *folder_ / name; }

    static TempFolder* folder_;
    static std::string source_;
};

TempFolder* ConvertFormats::folder_ = nullptr;
std::string ConvertFormats::source_;

constexpr double kFrame = 0.04;

TEST_F(ConvertFormats, Mp4GetsH264AndAac) {
    const std::string out = Out("a.mp4");
    Convert(out);
    const MediaInfo info = InspectMedia(out);
    ExpectVideo(info, "h264", 320, 240, 25);
    ExpectAudio(info, "aac", 48000, 2);
    EXPECT_NEAR(info.First(StreamKind::Video).durationSec, 2.0, 2 * kFrame);
    EXPECT_EQ(info.First(StreamKind::Video).decodedFrameCount, 50);
    EXPECT_NEAR(info.First(StreamKind::Audio).decodedSampleCount / 48000.0, 2.0, 0.05);
}

TEST_F(ConvertFormats, AviGetsMpeg4AndMp3) {
    const std::string out = Out("a.avi");
    Convert(out);
    const MediaInfo info = InspectMedia(out);
    ExpectVideo(info, "mpeg4", 320, 240, 25);
    ExpectAudio(info, "mp3", 48000, 2);
    EXPECT_EQ(info.First(StreamKind::Video).decodedFrameCount, 50);
}

TEST_F(ConvertFormats, MpegProgramStreamGetsMpeg1AndMp2) {
    const std::string out = Out("a.mpg");
    Convert(out, [](TAVConvertOptions& o) { o.VideoOptions().SetBitrate(2000000); });
    const MediaInfo info = InspectMedia(out);
    ExpectVideo(info, "mpeg1video", 320, 240, 25);
    ExpectAudio(info, "mp2", 48000, 2);
    EXPECT_NEAR(info.First(StreamKind::Video).decodedFrameCount, 50, 1);
}

TEST_F(ConvertFormats, MpegTwoVideoWhenNamed) {
    const std::string out = Out("b.mpg");
    Convert(out, [](TAVConvertOptions& o) {
        o.VideoOptions().SetEncoderVideoCodecName("mpeg2video");
        o.VideoOptions().SetBitrate(2000000);
    });
    ExpectVideo(InspectMedia(out), "mpeg2video", 320, 240, 25);
}

TEST_F(ConvertFormats, WebmGetsVpxAndOpusOrVorbis) {
    const std::string out = Out("a.webm");
    Convert(out, [](TAVConvertOptions& o) {
        o.VideoOptions().SetEncoderVideoCodecName("libvpx");
        o.AudioOptions().SetEncoderAudioCodecName("libvorbis");
    });
    MediaInfo info = InspectMedia(out);
    ExpectVideo(info, "vp8", 320, 240, 25);
    ExpectAudio(info, "vorbis", 48000, 2);

    const std::string byDefault = Out("b.webm");
    Convert(byDefault);
    info = InspectMedia(byDefault);
    ASSERT_EQ(info.CountOf(StreamKind::Video), 1);
    EXPECT_EQ(info.First(StreamKind::Video).codecName, "vp9");
    EXPECT_EQ(info.First(StreamKind::Audio).codecName, "opus");
    EXPECT_NEAR(info.First(StreamKind::Video).durationSec, 2.0, 2 * kFrame);
}

TEST_F(ConvertFormats, AudioOnlyTargetsFromAVideoSource) {
    const std::string mp3 = Out("a.mp3");
    Convert(mp3);
    MediaInfo info = InspectMedia(mp3);
    EXPECT_EQ(info.CountOf(StreamKind::Video), 0);
    ExpectAudio(info, "mp3", 48000, 2);
    EXPECT_NEAR(info.First(StreamKind::Audio).decodedSampleCount / 48000.0, 2.0, 0.06);

    const std::string wav = Out("a.wav");
    Convert(wav);
    info = InspectMedia(wav);
    EXPECT_EQ(info.CountOf(StreamKind::Video), 0);
    ExpectAudio(info, "pcm_s16le", 48000, 2);
    EXPECT_NEAR(info.First(StreamKind::Audio).decodedSampleCount / 48000.0, 2.0, 0.03);
}

TEST_F(ConvertFormats, PngSequenceWritesOneImagePerFrame) {
    const std::filesystem::path folder = Out("frames");
    Convert((folder / "frame%03d.png").string());
    int images = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++images;
    }
    EXPECT_EQ(images, 50);
    const MediaInfo image = InspectMedia((folder / "frame001.png").string());
    ASSERT_EQ(image.CountOf(StreamKind::Video), 1);
    EXPECT_EQ(image.First(StreamKind::Video).codecName, "png");
    EXPECT_EQ(image.First(StreamKind::Video).width, 320);
}

TEST_F(ConvertFormats, ScalesToTheRequestedSize) {
    const std::string out = Out("small.mp4");
    Convert(out, [](TAVConvertOptions& o) {
        o.VideoOptions().SetFrameWidth(160);
        o.VideoOptions().SetFrameHeight(120);
    });
    const MediaInfo info = InspectMedia(out);
    ExpectVideo(info, "h264", 160, 120, 25);
    // The display shape stays 4:3.
    const AVRational sar = info.First(StreamKind::Video).sampleAspectRatio;
    EXPECT_TRUE(sar.num == 0 || sar.num == sar.den) << sar.num << "/" << sar.den;
}

TEST_F(ConvertFormats, FrameRateChangeHoldsTheDuration) {
    const std::string out = Out("ntsc.mp4");
    Convert(out,
            [](TAVConvertOptions& o) { o.VideoOptions().SetFrameRate(TRational(30000, 1001)); });
    const MediaInfo info = InspectMedia(out);
    const StreamInfo& v = info.First(StreamKind::Video);
    EXPECT_NEAR(av_q2d(v.avgFrameRate), 29.97, 0.01);
    EXPECT_NEAR(v.decodedFrameCount, 60, 2);
    EXPECT_NEAR(v.durationSec, 2.0, 2 / 29.97);
}

TEST_F(ConvertFormats, SampleRateAndChannelChangeHoldsTheDuration) {
    const std::string out = Out("mono.mp4");
    Convert(out, [](TAVConvertOptions& o) {
        o.AudioOptions().SetAudioSampleRate(44100);
        o.AudioOptions().SetAudioChannels(1);
    });
    const MediaInfo info = InspectMedia(out);
    ExpectAudio(info, "aac", 44100, 1);
    EXPECT_NEAR(info.First(StreamKind::Audio).decodedSampleCount / 44100.0, 2.0, 0.05);
    const AudioSamples samples = DecodeAudioSamples(out);
    EXPECT_NEAR(EstimateFrequencyHz(samples, 0), 440, 10);
}

TEST(ConvertSubtitles, TextSubtitlesReachMatroskaWithEmptyOptions) {
    TempFolder folder;
    ClipDescription clip;
    clip.durationSec = 3.0;
    clip.subtitles = {{0.5, 1.5, "Hello"}, {2.0, 2.8, "World"}};
    const std::string source = folder / "subs.mkv";
    GenerateClip(clip, source);

    ConversionRunner runner;
    const std::string out = folder / "out.mkv";
    const ConversionOutcome outcome = runner.Run({source}, {out});
    ASSERT_EQ(outcome.errorMessage, "");
    const MediaInfo info = InspectMedia(out);
    ASSERT_EQ(info.CountOf(StreamKind::Subtitle), 1);
    const StreamInfo& s = info.First(StreamKind::Subtitle);
    ASSERT_EQ(s.subtitleEvents.size(), 2u);
    EXPECT_EQ(s.subtitleEvents[0].text, "Hello");
    EXPECT_NEAR(s.subtitleEvents[0].startSec, 0.5, 0.05);
    EXPECT_NEAR(s.subtitleEvents[0].endSec, 1.5, 0.05);
    EXPECT_EQ(s.subtitleEvents[1].text, "World");
    EXPECT_EQ(info.CountOf(StreamKind::Video), 1);
    EXPECT_EQ(info.CountOf(StreamKind::Audio), 1);
}

TEST(ConvertSubtitles, ContainerWithoutSubtitlesDropsThem) {
    TempFolder folder;
    ClipDescription clip;
    clip.subtitles = {{0.5, 1.5, "Hello"}};
    const std::string source = folder / "subs.mkv";
    GenerateClip(clip, source);
    ConversionRunner runner;
    const std::string out = folder / "out.avi";
    ASSERT_EQ(runner.Run({source}, {out}).errorMessage, "");
    EXPECT_EQ(InspectMedia(out).CountOf(StreamKind::Subtitle), 0);
}

}  // namespace
}  // namespace tw::test
