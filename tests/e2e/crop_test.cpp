// Cropping: black bars found in the source (past a dark opening) and cut off, or a crop given by
// hand, taken off the picture before it is scaled.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "engine/black_bar_detection.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

constexpr int kTop = 30, kBottom = 30, kLeft = 40, kRight = 38;

// 320x240, never darker than a middle grey inside black bars of known size, and the whole first
// second black, as a film that fades in.
ClipDescription BarredClip() {
    ClipDescription clip;
    clip.durationSec = 6;
    clip.videoFilter =
        "lutyuv=y=val/2+100,"
        "drawbox=x=0:y=0:w=iw:h=30:color=black:t=fill,"
        "drawbox=x=0:y=ih-30:w=iw:h=30:color=black:t=fill,"
        "drawbox=x=0:y=0:w=40:h=ih:color=black:t=fill,"
        "drawbox=x=iw-38:y=0:w=38:h=ih:color=black:t=fill,"
        "drawbox=x=0:y=0:w=iw:h=ih:color=black:t=fill:enable='lt(t,1)'";
    return clip;
}

// The mean lightness (0..255) of one row or column of a decoded picture.
double Lightness(const RgbFrame& frame, bool row, int index) {
    const int count = row ? frame.width : frame.height;
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t* p = row ? frame.Pixel(i, index) : frame.Pixel(index, i);
        sum += (p[0] + p[1] + p[2]) / 3.0;
    }
    return sum / count;
}

// The picture's outermost rows and columns are picture, not bar.
void ExpectNoBars(const std::string& path) {
    const RgbFrame frame = DecodeVideoFrameRgb(path, 60);
    for (const bool row : {true, false}) {
        const int last = (row ? frame.height : frame.width) - 1;
        EXPECT_GT(Lightness(frame, row, 0), 60) << (row ? "top row" : "left column");
        EXPECT_GT(Lightness(frame, row, last), 60) << (row ? "bottom row" : "right column");
    }
}

class Crop : public ::testing::Test {
protected:
    void SetUp() override { GenerateClip(BarredClip(), source_); }
    TempFolder folder_;
    const std::string source_ = folder_ / "barred.mp4";
};

TEST_F(Crop, FindsTheBarsPastADarkOpening) {
    std::string reason;
    const std::optional<engine::CropArea> bars = engine::DetectBlackBars(source_, &reason);
    ASSERT_TRUE(bars) << reason;
    EXPECT_NEAR(bars->top, kTop, 2);
    EXPECT_NEAR(bars->bottom, kBottom, 2);
    EXPECT_NEAR(bars->left, kLeft, 2);
    EXPECT_NEAR(bars->right, kRight, 2);
}

TEST_F(Crop, AutomaticCropOnTheCommandLineCutsTheBarsOff) {
    ScopedEnv config("TIDEWELL_CONFIG_HOME", folder_ / "config");
    const std::string target = folder_ / "cropped.mp4";
    const pid_t child = fork();
    if (child == 0) {
        execl(TW_CLI_PATH, TW_CLI_PATH, "--crop", "auto", source_.c_str(), target.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const StreamInfo video = InspectMedia(target).First(StreamKind::Video);
    EXPECT_NEAR(video.width, 320 - kLeft - kRight, 2);
    EXPECT_NEAR(video.height, 240 - kTop - kBottom, 2);
    ExpectNoBars(target);
}

TEST_F(Crop, AGivenCropIsCutBeforeScalingWithOddSidesRoundedDown) {
    ConversionRunner runner;
    // 4:2:0 pictures are cut in pairs of rows and columns: 31 and 39 become 30 and 38.
    runner.Options().VideoOptions().SetCrop("31:30:40:39");
    runner.Options().VideoOptions().SetFrameWidth(484);
    runner.Options().VideoOptions().SetFrameHeight(360);
    const std::string target = folder_ / "scaled.mp4";
    ASSERT_EQ(runner.Run({source_}, {target}).errorMessage, "");
    const StreamInfo video = InspectMedia(target).First(StreamKind::Video);
    EXPECT_EQ(video.width, 484);
    EXPECT_EQ(video.height, 360);
    ExpectNoBars(target);
}

TEST_F(Crop, ACropThatLeavesNothingFailsTheRun) {
    ConversionRunner runner;
    runner.Options().VideoOptions().SetCrop("120:120:0:0");
    const ConversionOutcome outcome = runner.Run({source_}, {folder_ / "none.mp4"});
    EXPECT_NE(outcome.errorMessage.find("Invalid crop"), std::string::npos) << outcome.errorMessage;
}

}  // namespace
}  // namespace tw::test
