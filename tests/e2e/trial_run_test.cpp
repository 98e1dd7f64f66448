// The trial run: a 10-second sample from the middle, and the target size it predicts for the whole
// conversion against the real one.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/trial_run.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

constexpr double kSourceSeconds = 24;

std::string Convert(const std::string& source, const std::string& target,
                    const engine::Span& span) {
    ConversionRunner runner;
    runner.Options().SetStartTime(span.startUs);
    runner.Options().SetRecordingTime(span.lengthUs);
    EXPECT_EQ(runner.Run({source}, {target}).errorMessage, "");
    return target;
}

struct TrialCase {
    const char* name;
    const char* extension;
    const char* filter;  // what the pictures show
};

class TrialRun : public ::testing::TestWithParam<TrialCase> {};

TEST_P(TrialRun, PredictsTheSizeOfTheWholeTarget) {
    TempFolder folder;
    ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = kSourceSeconds;
    clip.videoFilter = GetParam().filter;
    const std::string source = folder / "source.mkv";
    GenerateClip(clip, source);
    const std::string extension = GetParam().extension;
    const engine::Span whole{0, static_cast<int64_t>(kSourceSeconds * 1e6)};

    const std::string full = Convert(source, folder / ("full" + extension), whole);
    const engine::Span sampleSpan = engine::TrialSample(whole);
    EXPECT_EQ(sampleSpan.startUs, 7'000'000);
    const std::string sample = Convert(source, folder / ("sample" + extension), sampleSpan);

    const std::optional<engine::MediaExtent> extent = engine::ReadMediaExtent(sample);
    ASSERT_TRUE(extent);
    EXPECT_NEAR(extent->seconds, 10, 0.2);
    engine::TrialFigures figures;
    figures.sampleFileBytes = static_cast<int64_t>(std::filesystem::file_size(sample));
    figures.samplePayloadBytes = extent->payloadBytes;
    figures.sampleSeconds = extent->seconds;
    const engine::TrialPrediction prediction = engine::PredictFromTrial(figures, kSourceSeconds);
    const double real = static_cast<double>(std::filesystem::file_size(full));
    EXPECT_NEAR(static_cast<double>(prediction.sizeBytes), real, real * 0.15);
}

INSTANTIATE_TEST_SUITE_P(Sources, TrialRun,
                         ::testing::Values(TrialCase{"PatternInMp4", ".mp4", ""},
                                           TrialCase{"GrainInMkv", ".mkv", "noise=alls=20:allf=t"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TrialRunOnTheCommandLine, WritesTheSampleBesideTheTargetAndPrintsThePrediction) {
    TempFolder folder;
    ScopedEnv config("TIDEWELL_CONFIG_HOME", folder / "config");
    ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = 30;
    const std::string source = folder / "film.mkv";
    GenerateClip(clip, source);
    const std::string command = std::string(TW_CLI_PATH) + " --trial --start 4 '" + source + "' '" +
                                (folder / "film.mp4") + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        output += buffer;
    }
    ASSERT_EQ(pclose(pipe), 0) << output;
    EXPECT_NE(output.find("Predicted for all 0:00:26: "), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(folder / "film.mp4"));
    EXPECT_NEAR(InspectMedia(folder / "film.sample.mp4").durationSec, 10, 0.2);
}

}  // namespace
}  // namespace tw::test
