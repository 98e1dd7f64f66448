// A device profile's frame of another shape than the picture: the picture keeps its shape (as
// shown: pixel shape and turn included) inside black bars, and the frame keeps the device's size.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "profiles/profile_catalogue.h"
#include "profiles/profile_list.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

// The shape of what the frame shows of the picture: the box of columns and rows that are not
// black bars, in display terms (pixel shape included).
double ShapeOfPictureInside(const std::string& path) {
    const StreamInfo video = InspectMedia(path).First(StreamKind::Video);
    const RgbFrame frame = DecodeVideoFrameRgb(path, 10);
    std::vector<double> columns(static_cast<size_t>(frame.width));
    std::vector<double> rows(static_cast<size_t>(frame.height));
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const uint8_t* p = frame.Pixel(x, y);
            const double light = (p[0] + p[1] + p[2]) / 3.0;
            columns[static_cast<size_t>(x)] += light / frame.height;
            rows[static_cast<size_t>(y)] += light / frame.width;
        }
    }
    // Bars are black; the source picture is never darker than a middle grey.
    const auto extent = [](const std::vector<double>& means) {
        const double threshold = *std::max_element(means.begin(), means.end()) / 2;
        const auto first =
            std::find_if(means.begin(), means.end(), [&](double m) { return m > threshold; });
        const auto last =
            std::find_if(means.rbegin(), means.rend(), [&](double m) { return m > threshold; });
        return static_cast<double>(means.rend() - last - (first - means.begin()));
    };
    const double pixel = video.sampleAspectRatio.num > 0 ? av_q2d(video.sampleAspectRatio) : 1.0;
    return extent(columns) * pixel / extent(rows);
}

// A source that is never darker than a middle grey, so that bars stand out.
ClipDescription BrightClip(int width, int height) {
    ClipDescription clip;
    clip.width = width;
    clip.height = height;
    clip.durationSec = 1;
    clip.videoFilter = "lutyuv=y=val/2+100";
    return clip;
}

struct ShapeCase {
    const char* name;
    ClipDescription clip;
    double shownShape;  // the source's, pixel shape and turn included
    const char* profile;
    int frameWidth;
    int frameHeight;
};

std::vector<ShapeCase> ShapeCases() {
    ClipDescription anamorphic = BrightClip(200, 150);
    anamorphic.sampleAspect = AVRational{2, 1};
    ClipDescription phone = BrightClip(320, 180);
    phone.videoMetadata = {{"rotate", "90"}};
    return {
        {"Wide", BrightClip(320, 180), 16.0 / 9, "IPod 320x240 Video", 320, 240},
        {"Standard", BrightClip(320, 240), 4.0 / 3, "IPod 320x240 Video", 320, 240},
        {"Scope", BrightClip(478, 200), 2.39, "IPod 320x240 Video", 320, 240},
        {"Anamorphic", anamorphic, 8.0 / 3, "IPod 320x240 Video", 320, 240},
        {"PhoneTurned", phone, 9.0 / 16, "IPod 320x240 Video", 320, 240},
        // A frame whose own pixels are not square.
        {"WideOnIPhone", BrightClip(320, 180), 16.0 / 9, "IPhone H264 Video", 480, 320},
    };
}

class PictureShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(PictureShape, IsKeptInsideTheDeviceFrame) {
    const ShapeCase& c = GetParam();
    TempFolder folder;
    const std::string source = folder / "source.mp4";
    GenerateClip(c.clip, source);

    const auto catalogue = CreateBuiltInCatalogue();
    ConversionRunner runner;
    ASSERT_TRUE(catalogue->FindByDescription(c.profile)->ApplyTo(runner.Options()));
    const std::string target = folder / "device.mp4";
    ASSERT_EQ(runner.Run({source}, {target}).errorMessage, "");

    const StreamInfo video = InspectMedia(target).First(StreamKind::Video);
    EXPECT_EQ(video.width, c.frameWidth);
    EXPECT_EQ(video.height, c.frameHeight);
    EXPECT_NEAR(ShapeOfPictureInside(target), c.shownShape, c.shownShape * 0.02);
}

INSTANTIATE_TEST_SUITE_P(Sources, PictureShape, ::testing::ValuesIn(ShapeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PictureShape, StretchOnTheCommandLineFillsTheFrame) {
    TempFolder folder;
    ScopedEnv config("TIDEWELL_CONFIG_HOME", folder / "config");
    const std::string source = folder / "wide.mp4";
    GenerateClip(BrightClip(320, 180), source);
    const std::string target = folder / "stretched.mp4";
    const pid_t child = fork();
    if (child == 0) {
        execl(TW_CLI_PATH, TW_CLI_PATH, "--profile", "IPod 320x240 Video", "--stretch",
              source.c_str(), target.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NEAR(ShapeOfPictureInside(target), 4.0 / 3, 0.02);
}

}  // namespace
}  // namespace tw::test
