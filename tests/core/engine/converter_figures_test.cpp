// Progress, elapsed and remaining time of a converter, and its run-state transitions.
#include <gtest/gtest.h>

#include "engine/converter.h"

namespace tw {
namespace {

TEST(ConverterFigures, FreshConverterHasNoProgress) {
    TAVConverter converter;
    EXPECT_EQ(converter.GetProgress(), 0);
    EXPECT_EQ(converter.StartTime(), 0);
    EXPECT_EQ(converter.LastTime(), 0);
    EXPECT_EQ(converter.GetRemainingTime(), 362439);
    EXPECT_EQ(converter.State(), TAVConverter::RunState::Idle);
}

TEST(ConverterFigures, ProgressFollowsDurationAndCut) {
    TAVConverter converter;
    converter.SetDuration(100);
    converter.SetConvertedDuration(25);
    EXPECT_EQ(converter.GetProgress(), 25);

    converter.ConvertOptions().SetRecordingTime(50000000);
    EXPECT_EQ(converter.GetProgress(), 50);

    converter.ConvertOptions().SetRecordingTime(INT64_MAX);
    converter.ConvertOptions().SetStartTime(50000000);
    EXPECT_EQ(converter.GetProgress(), 50);
}

TEST(ConverterFigures, ProgressRoundsHalvesToEven) {
    TAVConverter converter;
    converter.SetDuration(200);
    converter.SetConvertedDuration(1);  // 0.5 %
    EXPECT_EQ(converter.GetProgress(), 0);
    converter.SetConvertedDuration(3);  // 1.5 %
    EXPECT_EQ(converter.GetProgress(), 2);
}

TEST(ConverterFigures, WithoutDurationThereIsNoProgress) {
    TAVConverter converter;
    converter.SetConvertedDuration(10);
    EXPECT_EQ(converter.GetProgress(), 0);
    EXPECT_EQ(converter.GetRemainingTime(), TAVConverter::kUnknownRemaining);
}

TEST(ConverterStates, PauseResumeAndStopOnlyActOnARunningConversion) {
    TAVConverter converter;
    converter.Pause();
    EXPECT_EQ(converter.State(), TAVConverter::RunState::Idle);
    converter.Resume();
    converter.Stop();
    EXPECT_EQ(converter.State(), TAVConverter::RunState::Idle);
}

}  // namespace
}  // namespace tw
