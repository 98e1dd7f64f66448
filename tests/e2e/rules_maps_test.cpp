// Choosing input streams: explicit maps with their checks, the choice without maps, and
// several outputs in one run.
#include <gtest/gtest.h>

#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

class StreamMapping : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder();
        ClipDescription clip;
        clip.sineFrequencyHz = 440;
        AudioTrackDescription second;
        second.sineFrequencyHz = 880;
        second.sampleRate = 44100;
        clip.secondAudio = second;
        source_ = *folder_ / "two-tones.mkv";
        GenerateClip(clip, source_);  // streams: 0 video, 1 audio 440 Hz, 2 audio 880 Hz
    }
    static void TearDownTestSuite() { delete folder_; }

    static TempFolder* folder_;
    static std::string source_;
};

TempFolder* StreamMapping::folder_ = nullptr;
std::string StreamMapping::source_;

TEST_F(StreamMapping, WithoutMapsTheMainStreamOfEachKindIsTaken) {
    ConversionRunner runner;
    const std::string out = *folder_ / "default.mkv";
    ASSERT_EQ(runner.Run({source_}, {out}).errorMessage, "");
    EXPECT_NEAR(EstimateFrequencyHz(DecodeAudioSamples(out), 0), 440, 10);
}

TEST_F(StreamMapping, MapsPickTheNamedStreams) {
    ConversionRunner runner;
    runner.Options().SetStreamMaps({"0=0", "0=2"});
    const std::string out = *folder_ / "second.mkv";
    ASSERT_EQ(runner.Run({source_}, {out}).errorMessage, "");
    const MediaInfo info = InspectMedia(out);
    EXPECT_EQ(info.CountOf(StreamKind::Audio), 1);
    EXPECT_NEAR(EstimateFrequencyHz(DecodeAudioSamples(out), 0), 880, 15);
}

TEST_F(StreamMapping, MapsThatDoNotFitAreRefused) {
    const auto fail = [&](const TStringList& maps) {
        ConversionRunner runner;
        runner.Options().SetStreamMaps(maps);
        return runner.Run({source_}, {*folder_ / "refused.mkv"}).errorMessage;
    };
    EXPECT_EQ(fail({"0=0"}), "Number of stream maps must match number of output streams");
    EXPECT_EQ(fail({"0=0", "0=5"}), "Could not find input stream #0.5");
    EXPECT_EQ(fail({"1=0", "0=1"}), "Could not find input stream #1.0");
    EXPECT_EQ(fail({"0=1", "0=2"}), "Codec type mismatch for mapping #0.1 -> #0.0");
}

TEST_F(StreamMapping, SeveralOutputsShareTheFormatOfTheFirstAndTheSameStreams) {
    ConversionRunner runner;
    const std::string first = *folder_ / "first.mkv";
    const std::string second = *folder_ / "second-output.avi";
    ASSERT_EQ(runner.Run({source_}, {first, second}).errorMessage, "");
    const MediaInfo a = InspectMedia(first);
    const MediaInfo b = InspectMedia(second);
    EXPECT_EQ(b.formatName, a.formatName);
    EXPECT_EQ(b.First(StreamKind::Video).decodedFrameCount, 50);
    EXPECT_EQ(a.First(StreamKind::Video).decodedFrameCount, 50);
    // Each output takes a stream no earlier output took, while there is one: the second
    // output's sound is the second tone.
    EXPECT_NEAR(EstimateFrequencyHz(DecodeAudioSamples(first), 0), 440, 10);
    EXPECT_NEAR(EstimateFrequencyHz(DecodeAudioSamples(second), 0), 880, 15);
}

TEST_F(StreamMapping, SeveralInputsFeedOneOutputThroughMaps) {
    TempFolder folder;
    ClipDescription silentVideo;
    silentVideo.audioCodec = "";
    GenerateClip(silentVideo, folder / "video.mkv");
    ClipDescription toneOnly;
    toneOnly.videoCodec = "";
    toneOnly.sineFrequencyHz = 880;
    GenerateClip(toneOnly, folder / "tone.mka");
    ConversionRunner runner;
    runner.Options().SetStreamMaps({"0=0", "1=0"});
    const std::string out = folder / "joined.mp4";
    ASSERT_EQ(runner.Run({folder / "video.mkv", folder / "tone.mka"}, {out}).errorMessage, "");
    const MediaInfo info = InspectMedia(out);
    EXPECT_EQ(info.First(StreamKind::Video).decodedFrameCount, 50);
    EXPECT_NEAR(EstimateFrequencyHz(DecodeAudioSamples(out), 0), 880, 15);
}

}  // namespace
}  // namespace tw::test
