// Sources as users bring them: odd sizes, turned phone videos, non-square pixels, full-range
// colour, jumps in the time stamps, interlacing, surround sound, a single picture, sources
// without pictures or sound; and the encoder switches that shape the pictures.
#include <gtest/gtest.h>

#include <cmath>

#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

ConversionOutcome Convert(ConversionRunner& runner, const std::string& in, const std::string& out) {
    ConversionOutcome outcome = runner.Run({in}, {out});
    EXPECT_EQ(outcome.errorMessage, "");
    return outcome;
}

TEST(Sources, OddSizeIsRoundedToWholeChromaSamplesKeepingTheShape) {
    TempFolder folder;
    ClipDescription clip;
    clip.width = 321;
    clip.height = 241;
    clip.videoCodec = "ffv1";
    clip.pixelFormat = "yuv420p";
    GenerateClip(clip, folder / "odd.mkv");
    ConversionRunner runner;
    Convert(runner, folder / "odd.mkv", folder / "even.mp4");
    const StreamInfo video = InspectMedia(folder / "even.mp4").First(StreamKind::Video);
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.height, 240);
    const double sar = video.sampleAspectRatio.num == 0 ? 1.0 : av_q2d(video.sampleAspectRatio);
    EXPECT_NEAR(320 * sar / 240, 321.0 / 241, 0.01);
}

TEST(Sources, TurnedPhoneVideoComesOutUpright) {
    TempFolder folder;
    ClipDescription clip;
    clip.width = 320;
    clip.height = 240;
    clip.videoMetadata = {{"rotate", "90"}};
    GenerateClip(clip, folder / "phone.mp4");
    ASSERT_NEAR(InspectMedia(folder / "phone.mp4").First(StreamKind::Video).rotationDeg, 90, 1);
    ConversionRunner runner;
    Convert(runner, folder / "phone.mp4", folder / "upright.mp4");
    const StreamInfo video = InspectMedia(folder / "upright.mp4").First(StreamKind::Video);
    EXPECT_EQ(video.width, 240);
    EXPECT_EQ(video.height, 320);
    EXPECT_NEAR(video.rotationDeg, 0, 1);
    EXPECT_EQ(video.metadata.count("rotate"), 0u);
    // The picture turned clockwise: the source's top-left corner is now at the top right.
    const RgbFrame source = DecodeVideoFrameRgb(folder / "phone.mp4", 0);
    const RgbFrame turned = DecodeVideoFrameRgb(folder / "upright.mp4", 0);
    const uint8_t* a = source.Pixel(4, 4);
    const uint8_t* b = turned.Pixel(turned.width - 5, 4);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(a[c], b[c], 40);
    }
}

TEST(Sources, NonSquarePixelsKeepTheDisplayShape) {
    TempFolder folder;
    ConversionRunner runner;
    runner.Options().SetInputFormat("lavfi");
    Convert(runner, "testsrc2=size=352x288:rate=25:duration=1,setsar=16/11[out0]",
            folder / "wide.mp4");
    const StreamInfo video = InspectMedia(folder / "wide.mp4").First(StreamKind::Video);
    EXPECT_EQ(video.width, 352);
    EXPECT_NEAR(av_q2d(video.sampleAspectRatio), 16.0 / 11, 0.01);

    ConversionRunner scaled;
    scaled.Options().SetInputFormat("lavfi");
    scaled.Options().VideoOptions().SetFrameWidth(176);
    scaled.Options().VideoOptions().SetFrameHeight(144);
    Convert(scaled, "testsrc2=size=352x288:rate=25:duration=1,setsar=16/11[out0]",
            folder / "small.mp4");
    const StreamInfo small = InspectMedia(folder / "small.mp4").First(StreamKind::Video);
    EXPECT_NEAR(176 * av_q2d(small.sampleAspectRatio) / 144, 352 * 16.0 / 11 / 288, 0.02);
}

TEST(Sources, FullRangeColourKeepsItsColours) {
    TempFolder folder;
    ConversionRunner runner;
    runner.Options().SetInputFormat("lavfi");
    runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    runner.Options().VideoOptions().SetVideoQscale(2);
    Convert(runner, "color=c=0x3060C0:size=160x120:rate=25:duration=1,format=yuvj420p[out0]",
            folder / "full.avi");
    const RgbFrame frame = DecodeVideoFrameRgb(folder / "full.avi", 5);
    const uint8_t* p = frame.Pixel(80, 60);
    EXPECT_NEAR(p[0], 0x30, 10);
    EXPECT_NEAR(p[1], 0x60, 10);
    EXPECT_NEAR(p[2], 0xC0, 10);
}

TEST(Sources, LargeStartTimeStillStartsTheOutputAtZero) {
    TempFolder folder;
    ClipDescription clip;
    clip.startOffsetSec = 3600;
    GenerateClip(clip, folder / "late.ts");
    ConversionRunner runner;
    Convert(runner, folder / "late.ts", folder / "out.mkv");
    const StreamInfo video = InspectMedia(folder / "out.mkv").First(StreamKind::Video);
    ASSERT_TRUE(video.firstPtsSec.has_value());
    EXPECT_LT(*video.firstPtsSec, 0.1);
    EXPECT_NEAR(video.durationSec, 2.0, 0.1);
    EXPECT_EQ(runner.Converter().GetProgress(), 100);
}

TEST(Sources, TimestampJumpIsAbsorbed) {
    TempFolder folder;
    ClipDescription clip;
    clip.durationSec = 4;
    clip.ptsJumpAtSec = 2;
    clip.ptsJumpSec = 30;
    GenerateClip(clip, folder / "jump.ts");
    ASSERT_GT(InspectMedia(folder / "jump.ts").First(StreamKind::Video).largestPtsGapSec, 29);
    ConversionRunner runner;
    Convert(runner, folder / "jump.ts", folder / "smooth.mkv");
    const StreamInfo video = InspectMedia(folder / "smooth.mkv").First(StreamKind::Video);
    EXPECT_LT(video.largestPtsGapSec, 0.2);
    EXPECT_NEAR(video.durationSec, 4.0, 0.2);
    EXPECT_NEAR(video.decodedFrameCount, 100, 3);
}

TEST(Sources, TimestampScaleStretchesAStream) {
    TempFolder folder;
    ClipDescription clip;
    clip.audioCodec = "";
    GenerateClip(clip, folder / "in.mkv");
    ConversionRunner runner;
    runner.Options().Engine.TimestampScales.push_back({0, 0, 2.0});
    Convert(runner, folder / "in.mkv", folder / "slow.mkv");
    const StreamInfo video = InspectMedia(folder / "slow.mkv").First(StreamKind::Video);
    EXPECT_NEAR(video.durationSec, 4.0, 0.1);
    // A container that keeps each picture's time shows each picture twice as long.
    EXPECT_NEAR(video.decodedFrameCount, 50, 2);
}

TEST(Sources, InterlacedSourceIsDeinterlacedOnRequest) {
    TempFolder folder;
    ClipDescription clip;
    clip.videoCodec = "mpeg2video";
    clip.interlaced = true;
    GenerateClip(clip, folder / "interlaced.ts");
    ASSERT_GT(InspectMedia(folder / "interlaced.ts").First(StreamKind::Video).interlacedFrameCount,
              0);
    {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetDeinterlace(true);
        runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg2video");
        Convert(runner, folder / "interlaced.ts", folder / "progressive.ts");
        const StreamInfo video = InspectMedia(folder / "progressive.ts").First(StreamKind::Video);
        EXPECT_EQ(video.interlacedFrameCount, 0);
        EXPECT_EQ(video.decodedFrameCount, 50);
    }
    {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg2video");
        runner.Options().VideoOptions().SetTopFieldFirst(0);
        runner.Options().SetCodecOptions({"flags=+ildct+ilme"});
        Convert(runner, folder / "interlaced.ts", folder / "bottom.ts");
        const StreamInfo video = InspectMedia(folder / "bottom.ts").First(StreamKind::Video);
        EXPECT_GT(video.interlacedFrameCount, 0);
        EXPECT_EQ(video.fieldOrder, "bb");
    }
}

TEST(Sources, SurroundSoundIntoStereoAndMono) {
    TempFolder folder;
    ClipDescription clip;
    clip.channels = 6;
    clip.audioCodec = "ac3";
    clip.sampleRate = 48000;
    GenerateClip(clip, folder / "surround.mkv");
    for (const int channels : {2, 1}) {
        ConversionRunner runner;
        runner.Options().AudioOptions().SetAudioChannels(channels);
        const std::string out = folder / ("down" + std::to_string(channels) + ".mp4");
        Convert(runner, folder / "surround.mkv", out);
        const StreamInfo audio = InspectMedia(out).First(StreamKind::Audio);
        EXPECT_EQ(audio.channels, channels);
        EXPECT_NEAR(audio.decodedSampleCount / 48000.0, 2.0, 0.06);
    }
    // Without a channel count, an encoder limited to stereo gets stereo.
    ConversionRunner runner;
    Convert(runner, folder / "surround.mkv", folder / "auto.mp3");
    EXPECT_EQ(InspectMedia(folder / "auto.mp3").First(StreamKind::Audio).channels, 2);
}

TEST(Sources, OnePictureSource) {
    TempFolder folder;
    ClipDescription clip;
    clip.durationSec = 0.04;
    clip.audioCodec = "";
    GenerateClip(clip, folder / "one.mkv");
    ConversionRunner runner;
    Convert(runner, folder / "one.mkv", folder / "out.mp4");
    EXPECT_EQ(InspectMedia(folder / "out.mp4").First(StreamKind::Video).decodedFrameCount, 1);
}

TEST(Sources, SubtitleOnlySourceIsRefused) {
    TempFolder folder;
    ClipDescription clip;
    clip.videoCodec = "";
    clip.audioCodec = "";
    clip.subtitles = {{0.5, 1.5, "Only words"}};
    GenerateClip(clip, folder / "words.mkv");
    ConversionRunner runner;
    const ConversionOutcome outcome = runner.Run({folder / "words.mkv"}, {folder / "out.mp4"});
    EXPECT_EQ(outcome.errorMessage, "The source has no video or audio to convert");
    EXPECT_EQ(outcome.errorEvents, 1);
}

TEST(EncoderSwitches, IntraOnlyMakesEveryPictureAKeyFrame) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    ConversionRunner runner;
    runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    runner.Options().VideoOptions().SetIntraOnly(true);
    Convert(runner, folder / "in.mkv", folder / "intra.avi");
    const StreamInfo video = InspectMedia(folder / "intra.avi").First(StreamKind::Video);
    EXPECT_EQ(video.keyPacketCount, video.packetCount);
    EXPECT_EQ(video.packetCount, 50);
}

TEST(EncoderSwitches, FixedQuantiserSetsTheQuality) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    const auto size = [&](float q) {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg4");
        runner.Options().VideoOptions().SetVideoQscale(q);
        const std::string out = folder / ("q" + std::to_string(static_cast<int>(q)) + ".avi");
        Convert(runner, folder / "in.mkv", out);
        return InspectMedia(out).First(StreamKind::Video).totalPacketBytes;
    };
    EXPECT_GT(size(2), 2 * size(20));
}

TEST(EncoderSwitches, QuantiserMatricesReachTheEncoder) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    const auto encode = [&](bool coarse) {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg2video");
        runner.Options().VideoOptions().SetVideoQscale(4);
        if (coarse) {
            runner.Options().VideoOptions().SetIntraMatrix(TStringList(64, "80"));
            runner.Options().VideoOptions().SetInterMatrix(TStringList(64, "80"));
        }
        const std::string out = folder / (coarse ? "coarse.mpg" : "plain.mpg");
        Convert(runner, folder / "in.mkv", out);
        const StreamInfo video = InspectMedia(out).First(StreamKind::Video);
        EXPECT_EQ(video.decodeErrors, 0);
        return video.totalPacketBytes;
    };
    EXPECT_LT(encode(true), encode(false) * 0.8);
}

}  // namespace
}  // namespace tw::test
