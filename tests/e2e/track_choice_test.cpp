// Track choice: the chosen audio and subtitle tracks of the source are converted, with their
// language tags; the others are left out. Text subtitles burned into the pictures.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

std::vector<std::string> Languages(const MediaInfo& info, StreamKind kind) {
    std::vector<std::string> languages;
    for (const StreamInfo& stream : info.streams) {
        if (stream.kind == kind) {
            const auto language = stream.metadata.find("language");
            languages.push_back(language == stream.metadata.end() ? "" : language->second);
        }
    }
    return languages;
}

class TrackChoice : public ::testing::Test {
protected:
    void SetUp() override {
        ClipDescription clip;
        clip.audioMetadata = {{"language", "eng"}};
        AudioTrackDescription french;
        french.metadata = {{"language", "fre"}};
        french.sineFrequencyHz = 660;
        clip.secondAudio = french;
        clip.subtitles = {{0.2, 1.5, "Hello"}};
        clip.subtitleMetadata = {{"language", "ger"}};
        GenerateClip(clip, source_);
    }

    int RunCli(const std::vector<std::string>& options, const std::string& target) {
        const pid_t child = fork();
        if (child == 0) {
            std::vector<const char*> argv{TW_CLI_PATH};
            for (const std::string& option : options) {
                argv.push_back(option.c_str());
            }
            argv.push_back(source_.c_str());
            argv.push_back(target.c_str());
            argv.push_back(nullptr);
            execv(TW_CLI_PATH, const_cast<char* const*>(argv.data()));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TempFolder folder_;
    ScopedEnv config_{"TIDEWELL_CONFIG_HOME", folder_ / "config"};
    const std::string source_ = folder_ / "two-languages.mkv";
};

TEST_F(TrackChoice, ChosenTracksArriveWithTheirLanguagesAndOthersAreLeftOut) {
    const std::string both = folder_ / "both.mkv";
    ASSERT_EQ(RunCli({"--audio-tracks", "2,1", "--subtitle-tracks", "all"}, both), 0);
    const MediaInfo all = InspectMedia(both);
    EXPECT_EQ(Languages(all, StreamKind::Audio), (std::vector<std::string>{"fre", "eng"}));
    EXPECT_EQ(Languages(all, StreamKind::Subtitle), (std::vector<std::string>{"ger"}));

    const std::string french = folder_ / "french.mp4";
    ASSERT_EQ(RunCli({"--audio-tracks", "2", "--subtitle-tracks", "none"}, french), 0);
    const MediaInfo one = InspectMedia(french);
    EXPECT_EQ(Languages(one, StreamKind::Audio), (std::vector<std::string>{"fre"}));
    EXPECT_EQ(one.CountOf(StreamKind::Subtitle), 0);

    // Kept as soft subtitles in MP4's own text format.
    const std::string subtitled = folder_ / "subtitled.mp4";
    ASSERT_EQ(RunCli({"--subtitle-tracks", "1"}, subtitled), 0);
    const MediaInfo soft = InspectMedia(subtitled);
    ASSERT_EQ(soft.CountOf(StreamKind::Subtitle), 1);
    EXPECT_EQ(soft.First(StreamKind::Subtitle).codecName, "mov_text");
    EXPECT_EQ(Languages(soft, StreamKind::Subtitle), (std::vector<std::string>{"ger"}));
}

TEST_F(TrackChoice, ATrackTheSourceDoesNotHaveFailsTheRun) {
    EXPECT_EQ(RunCli({"--audio-tracks", "3"}, folder_ / "none.mkv"), 1);
    EXPECT_EQ(RunCli({"--audio-tracks", "x"}, folder_ / "none.mkv"), 2);
}

// Mean difference of the two pictures' lower third, where the lines are drawn (0..255).
double LowerThirdDifference(const RgbFrame& a, const RgbFrame& b) {
    double sum = 0;
    int count = 0;
    for (int y = a.height * 2 / 3; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                sum += std::abs(a.Pixel(x, y)[c] - b.Pixel(x, y)[c]);
                ++count;
            }
        }
    }
    return sum / count;
}

TEST(BurnedSubtitles, TheChosenTrackIsDrawnOnThePicturesOfItsTimeAfterACut) {
    TempFolder folder;
    ClipDescription clip;
    clip.durationSec = 4;
    clip.subtitles = {{2.0, 3.0, "WWWWWWWW"}};
    const std::string source = folder / "source.mkv";
    GenerateClip(clip, source);

    // Cut from 1 s: the line belongs to the target's second second (pictures 25-49).
    const auto convert = [&](int burnTrack, const std::string& name) {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg4");
        // Fine enough that once the line is gone the two encodes' pictures agree again (the
        // coarse default leaves traces of it in the pictures predicted from it).
        runner.Options().VideoOptions().SetVideoQscale(2);
        runner.Options().SetStartTime(1000000);
        runner.Options().SubtitleOptions().SetBurnSubtitleTrack(burnTrack);
        const std::string target = folder / name;
        EXPECT_EQ(runner.Run({source}, {target}).errorMessage, "");
        return target;
    };
    const std::string plain = convert(0, "plain.avi");
    const std::string burned = convert(1, "burned.avi");
    for (const int picture : {12, 30, 45, 62}) {
        const double difference = LowerThirdDifference(DecodeVideoFrameRgb(plain, picture),
                                                       DecodeVideoFrameRgb(burned, picture));
        if (picture >= 25 && picture < 50) {
            EXPECT_GT(difference, 2) << "picture " << picture;
        } else {
            EXPECT_LT(difference, 1.5) << "picture " << picture;
        }
    }

    ConversionRunner missing;
    missing.Options().SubtitleOptions().SetBurnSubtitleTrack(2);
    EXPECT_NE(
        missing.Run({source}, {folder / "missing.avi"}).errorMessage.find("no subtitle track 2"),
        std::string::npos);
}

}  // namespace
}  // namespace tw::test
