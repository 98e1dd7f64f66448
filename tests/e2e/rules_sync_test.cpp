// Keeping outputs in step: audio padding and cutting, video duplication, dropping and
// re-stamping, and the frame limits.
#include <gtest/gtest.h>

#include <cmath>

#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

// A 2 s picture and a tone whose samples begin 0.5 s after the picture.
const char* kLateAudio =
    "testsrc2=size=160x120:rate=25:duration=2[out0];"
    "sine=frequency=440:sample_rate=44100:duration=2,asetpts=PTS+0.5/TB[out1]";

// Every other picture of a 25 fps source: a variable-rate stream at 12.5 pictures a second.
const char* kHalfThePictures =
    "testsrc2=size=160x120:rate=25:duration=2,select='not(mod(n\\,2))'[out0]";

ConversionOutcome RunLavfi(ConversionRunner& runner, const std::string& source,
                           const std::string& output) {
    runner.Options().SetInputFormat("lavfi");
    ConversionOutcome outcome = runner.Run({source}, {output});
    EXPECT_EQ(outcome.errorMessage, "");
    return outcome;
}

double SilentSeconds(const AudioSamples& audio) {
    size_t frame = 0;
    while (frame < audio.FrameCount() &&
           std::fabs(audio.samples[frame * static_cast<size_t>(audio.channels)]) < 0.01f) {
        ++frame;
    }
    return static_cast<double>(frame) / audio.sampleRate;
}

TEST(AudioSyncRun, PadOrCutFillsALateStartWithSilence) {
    TempFolder folder;
    ConversionRunner runner;
    runner.Options().AudioOptions().SetAudioSyncMethod(1);
    RunLavfi(runner, kLateAudio, folder / "padded.wav");
    const AudioSamples audio = DecodeAudioSamples(folder / "padded.wav");
    EXPECT_NEAR(static_cast<double>(audio.FrameCount()) / 44100, 2.5, 0.03);
    EXPECT_NEAR(SilentSeconds(audio), 0.5, 0.02);
}

TEST(AudioSyncRun, MethodZeroFollowsTheStreamPositionWithoutPadding) {
    TempFolder folder;
    ConversionRunner runner;
    RunLavfi(runner, kLateAudio, folder / "plain.wav");
    const AudioSamples audio = DecodeAudioSamples(folder / "plain.wav");
    EXPECT_NEAR(static_cast<double>(audio.FrameCount()) / 44100, 2.0, 0.03);
    EXPECT_LT(SilentSeconds(audio), 0.01);
}

TEST(AudioSyncRun, StretchingKeepsTheToneAndTheLength) {
    TempFolder folder;
    ConversionRunner runner;
    runner.Options().AudioOptions().SetAudioSyncMethod(100);
    runner.Options().AudioOptions().SetAudioSampleRate(48000);
    RunLavfi(runner, kLateAudio, folder / "stretched.wav");
    const AudioSamples audio = DecodeAudioSamples(folder / "stretched.wav");
    EXPECT_EQ(audio.sampleRate, 48000);
    EXPECT_NEAR(static_cast<double>(audio.FrameCount()) / 48000, 2.5, 0.03);
    EXPECT_NEAR(EstimateFrequencyHz(audio, 0), 440, 10);
}

TEST(VideoSyncRun, ConstantRateDuplicatesMissingPictures) {
    TempFolder folder;
    ConversionRunner runner;
    runner.Options().VideoOptions().SetFrameRate(TRational(25, 1));
    RunLavfi(runner, kHalfThePictures, folder / "cfr.mkv");
    const StreamInfo video = InspectMedia(folder / "cfr.mkv").First(StreamKind::Video);
    // The last picture (at 1.92 s) is written once, as nothing follows it.
    EXPECT_NEAR(video.decodedFrameCount, 48, 1);
    EXPECT_LE(video.largestPtsGapSec, 0.041);
}

TEST(VideoSyncRun, VariableRateAndPassThroughKeepOnePicturePerSourcePicture) {
    TempFolder folder;
    for (const int method : {0, 2}) {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetFrameRate(TRational(25, 1));
        runner.Options().VideoOptions().SetVideoSyncMethod(method);
        const std::string out = folder / ("vfr" + std::to_string(method) + ".mkv");
        RunLavfi(runner, kHalfThePictures, out);
        const StreamInfo video = InspectMedia(out).First(StreamKind::Video);
        EXPECT_EQ(video.decodedFrameCount, 25) << "method " << method;
        EXPECT_NEAR(video.largestPtsGapSec, 0.08, 0.002) << "method " << method;
        EXPECT_NEAR(video.durationSec, 2.0, 0.1) << "method " << method;
    }
}

TEST(VideoSyncRun, FasterOutputRateDropsPictures) {
    TempFolder folder;
    ConversionRunner runner;
    runner.Options().VideoOptions().SetFrameRate(TRational(10, 1));
    runner.Options().VideoOptions().SetForceFPS(true);
    RunLavfi(runner, LavfiSource(160, 120, "25", 2, 44100, 1, false), folder / "ten.mkv");
    const StreamInfo video = InspectMedia(folder / "ten.mkv").First(StreamKind::Video);
    EXPECT_NEAR(video.decodedFrameCount, 20, 1);
    EXPECT_NEAR(av_q2d(video.avgFrameRate), 10, 0.01);
}

// A screen or phone recording: 63 pictures over 8.7 s, shown from 5 ms to 1.6 s each, on a
// millisecond clock whose finest step the container reads as a rate of 1000 pictures a second.
std::string MakeVariableRateRecording(const TempFolder& folder) {
    ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.frameRate = AVRational{30, 1};
    clip.audioCodec = "";
    const double shown[] = {0.005, 0.04, 0.1, 0.033, 0.005, 0.2, 0.067, 0.033, 1.6,  0.05, 0.12,
                            0.005, 0.04, 0.1, 0.033, 0.08,  0.1, 0.067, 0.033, 0.05, 0.139};
    double at = 0;
    for (size_t i = 0; i < 63; ++i) {
        clip.frameTimesSec.push_back(at);
        at += shown[i % std::size(shown)];
    }
    clip.durationSec = at;
    const std::string path = folder / "recording.mp4";
    GenerateClip(clip, path);
    return path;
}

TEST(SourceRates, VariableRateRecordingGivesAboutItsOwnPictures) {
    TempFolder folder;
    const std::string source = MakeVariableRateRecording(folder);
    // Where the container keeps each picture's time, the pictures come out as they are; where it
    // needs a steady rate, the recording's average rate keeps the count about the same.
    for (const char* name : {"timed.mp4", "steady.avi"}) {
        ConversionRunner runner;
        const ConversionOutcome outcome =
            runner.Run({source}, {folder / name}, std::chrono::seconds(60));
        ASSERT_TRUE(outcome.finished) << name;
        EXPECT_EQ(outcome.errorMessage, "") << name;
        const StreamInfo video = InspectMedia(folder / name).First(StreamKind::Video);
        EXPECT_NEAR(video.decodedFrameCount, 63, 3) << name;
        EXPECT_NEAR(video.durationSec, 8.6, 0.3) << name;
    }
}

TEST(SourceRates, MillisecondClockSourcesClaimingTwiceTheirRateAreNotDoubled) {
    TempFolder folder;
    // 30 pictures in 1 s, in streams that say 60 a second.
    ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.frameRate = AVRational{60, 1};
    clip.durationSec = 1;
    for (int i = 0; i < 30; ++i) {
        clip.frameTimesSec.push_back(i / 30.0);
    }
    for (const char* name : {"claims60.mkv", "claims60.flv"}) {
        const std::string source = folder / name;
        GenerateClip(clip, source);
        ConversionRunner runner;
        const std::string output = source + ".mp4";
        ASSERT_EQ(runner.Run({source}, {output}).errorMessage, "") << name;
        EXPECT_NEAR(InspectMedia(output).First(StreamKind::Video).decodedFrameCount, 30, 1) << name;
    }
}

TEST(FrameLimits, VideoLimitEndsTheRunBeforeTheAudio) {
    TempFolder folder;
    ConversionRunner runner;
    runner.Options().VideoOptions().SetMaxFrames(10);
    // A file source: the limit closes the input early, which the generated-source device of
    // the libraries does not survive without a leak.
    const std::string source = folder / "source.mkv";
    ClipDescription clip;
    clip.durationSec = 4;
    clip.sampleRate = 48000;
    GenerateClip(clip, source);
    ASSERT_EQ(runner.Run({source}, {folder / "ten.mkv"}).errorMessage, "");
    const MediaInfo info = InspectMedia(folder / "ten.mkv");
    EXPECT_EQ(info.First(StreamKind::Video).decodedFrameCount, 10);
    EXPECT_LT(info.First(StreamKind::Audio).decodedSampleCount, 48000 * 2);
}

TEST(FrameLimits, AudioLimitCountsEncodedAudioFrames) {
    TempFolder folder;
    ConversionRunner runner;
    runner.Options().AudioOptions().SetMaxFrames(20);
    runner.Options().AudioOptions().SetEncoderAudioCodecName("mp2");
    runner.Options().VideoOptions().SetVideoDisable(true);
    const std::string source = folder / "source.mkv";
    ClipDescription clip;
    clip.durationSec = 4;
    GenerateClip(clip, source);
    ASSERT_EQ(runner.Run({source}, {folder / "short.mka"}).errorMessage, "");
    const StreamInfo audio = InspectMedia(folder / "short.mka").First(StreamKind::Audio);
    // The limit ends the loop; what the encoder still holds is drained after it.
    EXPECT_GE(audio.packetCount, 20);
    EXPECT_LE(audio.packetCount, 22);
}

}  // namespace
}  // namespace tw::test
