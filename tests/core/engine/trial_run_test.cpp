#include "engine/trial_run.h"

#include <gtest/gtest.h>

namespace tw::engine {
namespace {

TEST(TrialRun, SampleComesFromTheMiddleAndFiguresScaleWithTheSetupCountedOnce) {
    EXPECT_EQ(TrialSample({4'000'000, 60'000'000}).startUs, 29'000'000);
    EXPECT_EQ(TrialSample({4'000'000, 60'000'000}).lengthUs, kTrialSampleUs);
    EXPECT_EQ(TrialSample({0, 6'000'000}).lengthUs, 6'000'000);
    EXPECT_EQ(TrialSampleName("/films/a.b.mkv"), "/films/a.b.sample.mkv");

    TrialFigures figures;
    figures.sampleFileBytes = 1'100'000;
    figures.samplePayloadBytes = 1'000'000;
    figures.sampleSeconds = 10;
    figures.sampleWallSeconds = 3;
    figures.sampleSetupSeconds = 1;
    const TrialPrediction prediction = PredictFromTrial(figures, 100);
    // Packets times ten; the container's 100 000 bytes half fixed, half growing.
    EXPECT_EQ(prediction.sizeBytes, 10'000'000 + 50'000 + 500'000);
    EXPECT_DOUBLE_EQ(prediction.seconds, 1 + 2 * 10);
}

}  // namespace
}  // namespace tw::engine
