// Cutting a piece out of a source, and copying streams without re-encoding them.
#include <gtest/gtest.h>

#include <cmath>

#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

// Mean absolute difference of two pictures of the same size (0..255).
double Difference(const RgbFrame& a, const RgbFrame& b) {
    EXPECT_EQ(a.rgb.size(), b.rgb.size());
    double sum = 0;
    for (size_t i = 0; i < std::min(a.rgb.size(), b.rgb.size()); ++i) {
        sum += std::abs(static_cast<int>(a.rgb[i]) - static_cast<int>(b.rgb[i]));
    }
    return sum / static_cast<double>(a.rgb.size());
}

class CutAndCopy : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder();
        ClipDescription clip;
        clip.durationSec = 4;
        clip.gopSize = 12;
        clip.sampleRate = 48000;
        source_ = *folder_ / "source.mp4";
        GenerateClip(clip, source_);
    }
    static void TearDownTestSuite() { delete folder_; }

    ConversionOutcome Convert(ConversionRunner& runner, const std::string& output) {
        ConversionOutcome outcome = runner.Run({source_}, {output});
        EXPECT_EQ(outcome.errorMessage, "");
        return outcome;
    }

    static TempFolder* folder_;
    static std::string source_;
};

TempFolder* CutAndCopy::folder_ = nullptr;
std::string CutAndCopy::source_;

TEST_F(CutAndCopy, StartAndLengthCutThePieceAndItStartsAtZero) {
    ConversionRunner runner;
    runner.Options().SetStartTime(1000000);
    runner.Options().SetRecordingTime(1500000);
    const std::string out = *folder_ / "cut.mkv";
    Convert(runner, out);
    EXPECT_EQ(runner.Converter().GetProgress(), 100);
    const MediaInfo info = InspectMedia(out);
    const StreamInfo& video = info.First(StreamKind::Video);
    EXPECT_NEAR(video.durationSec, 1.5, 0.09);
    ASSERT_TRUE(video.firstPtsSec.has_value());
    EXPECT_NEAR(*video.firstPtsSec, 0.0, 0.05);
    EXPECT_NEAR(info.First(StreamKind::Audio).decodedSampleCount / 48000.0, 1.5, 0.1);
    // The first picture is the source's picture at 1 s, not its first one.
    const RgbFrame first = DecodeVideoFrameRgb(out, 0);
    EXPECT_LT(Difference(first, DecodeVideoFrameRgb(source_, 25)), 8);
    EXPECT_GT(Difference(first, DecodeVideoFrameRgb(source_, 0)), 8);
}

TEST_F(CutAndCopy, ProgressOfACutRunsToOneHundred) {
    ConversionRunner runner;
    runner.Options().SetStartTime(2000000);
    std::vector<int> seen;
    runner.OnProgress([&](TAVConverter& c) { seen.push_back(c.GetProgress()); });
    Convert(runner, *folder_ / "tail.mkv");
    EXPECT_EQ(runner.Converter().GetProgress(), 100);
    for (const int p : seen) {
        EXPECT_LE(p, 100);
    }
}

TEST_F(CutAndCopy, CopiedStreamsKeepEveryPacketAndTheCodecSetup) {
    ConversionRunner runner;
    runner.Options().VideoOptions().SetVideoStreamCopy(true);
    runner.Options().AudioOptions().SetAudioStreamCopy(true);
    const std::string out = *folder_ / "copy.mkv";
    Convert(runner, out);
    const MediaInfo in = InspectMedia(source_);
    const MediaInfo copy = InspectMedia(out);
    for (const StreamKind kind : {StreamKind::Video, StreamKind::Audio}) {
        EXPECT_EQ(copy.First(kind).codecName, in.First(kind).codecName);
        EXPECT_EQ(copy.First(kind).packetCount, in.First(kind).packetCount);
        EXPECT_EQ(copy.First(kind).totalPacketBytes, in.First(kind).totalPacketBytes);
        EXPECT_EQ(ExtradataOf(out, copy.First(kind).index),
                  ExtradataOf(source_, in.First(kind).index));
    }
    EXPECT_EQ(copy.First(StreamKind::Video).decodeErrors, 0);
    EXPECT_NEAR(copy.First(StreamKind::Video).durationSec, 4.0, 0.05);
}

TEST_F(CutAndCopy, CopyFromTheMiddleStartsAtAKeyFrame) {
    ConversionRunner runner;
    runner.Options().VideoOptions().SetVideoStreamCopy(true);
    runner.Options().AudioOptions().SetAudioDisable(true);
    runner.Options().SetStartTime(1100000);
    const std::string out = *folder_ / "middle.mkv";
    Convert(runner, out);
    const StreamInfo video = InspectMedia(out).First(StreamKind::Video);
    EXPECT_EQ(video.decodeErrors, 0);
    // Copying starts at the key frame at or before 1.1 s (every 12 pictures: 0.96 s), so the
    // last 76 of the 100 pictures are there.
    EXPECT_EQ(video.packetCount, 76);
}

TEST_F(CutAndCopy, CopiedAudioCannotChangeItsVolume) {
    ConversionRunner runner;
    runner.Options().AudioOptions().SetAudioStreamCopy(true);
    runner.Options().AudioOptions().SetAudioVolume(512);
    const ConversionOutcome outcome = runner.Run({source_}, {*folder_ / "vol.mkv"});
    EXPECT_EQ(outcome.errorMessage,
              "-acodec copy and -vol are incompatible (frames are not decoded)");
}

TEST_F(CutAndCopy, VolumeScalesDecodedSamples) {
    ConversionRunner quiet;
    quiet.Options().AudioOptions().SetAudioVolume(64);
    Convert(quiet, *folder_ / "quiet.wav");
    ConversionRunner plain;
    Convert(plain, *folder_ / "plain.wav");
    const auto peak = [](const AudioSamples& a) {
        float p = 0;
        for (const float s : a.samples) {
            p = std::max(p, std::fabs(s));
        }
        return p;
    };
    EXPECT_NEAR(peak(DecodeAudioSamples(*folder_ / "quiet.wav")) /
                    peak(DecodeAudioSamples(*folder_ / "plain.wav")),
                0.25, 0.02);
}

TEST(CopyTags, TheSourceTagGoesAlongOnlyWhereTheContainerTakesIt) {
    TempFolder folder;
    ClipDescription clip;
    clip.videoCodec = "mpeg4";
    clip.videoCodecTag = "XVID";
    clip.audioCodec = "libmp3lame";
    GenerateClip(clip, folder / "xvid.avi");
    {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetVideoStreamCopy(true);
        runner.Options().AudioOptions().SetAudioStreamCopy(true);
        ASSERT_EQ(runner.Run({folder / "xvid.avi"}, {folder / "copy.avi"}).errorMessage, "");
        const MediaInfo info = InspectMedia(folder / "copy.avi");
        EXPECT_EQ(info.First(StreamKind::Video).codecTagText, "XVID");
        // Copied into a container with its own clock, the stream keeps one tick per picture.
        EXPECT_EQ(info.First(StreamKind::Video).timeBase.num, 1);
        EXPECT_EQ(info.First(StreamKind::Video).timeBase.den, 25);
        EXPECT_EQ(info.First(StreamKind::Audio).codecName, "mp3");
    }
    {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetVideoStreamCopy(true);
        runner.Options().AudioOptions().SetAudioStreamCopy(true);
        ASSERT_EQ(runner.Run({folder / "xvid.avi"}, {folder / "copy.mp4"}).errorMessage, "");
        EXPECT_EQ(InspectMedia(folder / "copy.mp4").First(StreamKind::Video).codecTagText, "mp4v");
    }
}

TEST(BitstreamFilters, AnnexBFilterWhenCopyingH264IntoTransportStream) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mp4");
    ConversionRunner runner;
    runner.Options().VideoOptions().SetVideoStreamCopy(true);
    runner.Options().AudioOptions().SetAudioStreamCopy(true);
    runner.Options().MuxerOptions().SetVideoBitstreamFilters({"h264_mp4toannexb"});
    ASSERT_EQ(runner.Run({folder / "in.mp4"}, {folder / "out.ts"}).errorMessage, "");
    const MediaInfo info = InspectMedia(folder / "out.ts");
    EXPECT_EQ(info.First(StreamKind::Video).decodedFrameCount, 50);
    EXPECT_EQ(info.First(StreamKind::Video).decodeErrors, 0);
}

TEST(BitstreamFilters, AnUnknownFirstFilterLeavesNoChain) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mp4");
    ConversionRunner runner;
    runner.Options().MuxerOptions().SetVideoBitstreamFilters({"no_such_filter", "null"});
    const ConversionOutcome outcome = runner.Run({folder / "in.mp4"}, {folder / "out.mkv"});
    EXPECT_EQ(outcome.errorMessage, "");
    ASSERT_FALSE(outcome.messages.empty());
    EXPECT_EQ(outcome.messages[0], "Invalid BitstreamFilter no_such_filter");
    EXPECT_EQ(InspectMedia(folder / "out.mkv").First(StreamKind::Video).decodedFrameCount, 50);
}

}  // namespace
}  // namespace tw::test
