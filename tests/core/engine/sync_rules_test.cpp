// Keeping audio and video in step with their sync source.
#include "engine/sync_rules.h"

#include <gtest/gtest.h>

namespace tw::engine {
namespace {

using Action = AudioSyncDecision::Action;

TEST(AudioSync, MethodZeroNeverPadsOrCuts) {
    EXPECT_EQ(DecideAudioSync(0, 22050, 44100, 48000, true, 0.1).action, Action::None);
}

TEST(AudioSync, LateStartIsPaddedWithSilence) {
    // Audio starting 0.5 s after its sync source at 44.1 kHz.
    const AudioSyncDecision d = DecideAudioSync(1, 22050, 44100, 44100, true, 0.1);
    EXPECT_EQ(d.action, Action::Pad);
    EXPECT_EQ(d.samples, 22050);
}

TEST(AudioSync, EarlyStartIsCutInInputSamples) {
    // 0.1 s ahead, decoded at 48 kHz for a 44.1 kHz encoder.
    const AudioSyncDecision d = DecideAudioSync(1, -4410, 44100, 48000, true, 0.1);
    EXPECT_EQ(d.action, Action::Drop);
    EXPECT_EQ(d.samples, 4800);
}

TEST(AudioSync, SmallDriftsAreLeftAloneOrCompensated) {
    EXPECT_EQ(DecideAudioSync(1, 40, 44100, 44100, true, 0.1).action, Action::None);
    // Past the start and within the tolerance (4410 samples by default).
    EXPECT_EQ(DecideAudioSync(1, 300, 44100, 44100, false, 0.1).action, Action::None);
    const AudioSyncDecision d = DecideAudioSync(100, 300, 44100, 44100, false, 0.1);
    EXPECT_EQ(d.action, Action::Compensate);
    EXPECT_EQ(d.samples, 100);
    EXPECT_EQ(DecideAudioSync(100, -70, 44100, 44100, false, 0.1).samples, -70);
}

TEST(AudioSync, DriftBeyondTheToleranceIsPaddedEvenAfterTheStart) {
    const AudioSyncDecision d = DecideAudioSync(100, 5000, 44100, 44100, false, 0.1);
    EXPECT_EQ(d.action, Action::Pad);
    EXPECT_EQ(d.samples, 5000);
}

TEST(VideoSync, ConstantRateDuplicatesAndDrops) {
    int64_t position = 10;
    EXPECT_EQ(DecideVideoFrames(-1, 13, &position), 3);  // three frames ahead
    EXPECT_EQ(DecideVideoFrames(-1, 8, &position), 0);   // two frames behind
    EXPECT_EQ(DecideVideoFrames(-1, 10.9, &position), 1);
    // Any other method holds the rate too; halves round to even.
    EXPECT_EQ(DecideVideoFrames(1, 12.5, &position), 2);
    EXPECT_EQ(position, 10);
}

TEST(VideoSync, LateFirstPictureStandsAtItsOwnTime) {
    // Two ticks late (leading pictures of a DVD chapter that cannot be decoded): the picture
    // fills ticks 0 and 1 and stands at 2, where the next one follows it at 3.
    int64_t position = 0;
    EXPECT_EQ(DecideVideoFrames(-1, 2, &position, true), 3);
    EXPECT_EQ(DecideVideoFrames(-1, 0.2, &position, true), 1);
    EXPECT_EQ(DecideVideoFrames(2, 2, &position, true), 1);
}

TEST(VideoSync, VariableRateRestampsPastSixTenthsOfAFrame) {
    int64_t position = 10;
    EXPECT_EQ(DecideVideoFrames(2, 10.8, &position), 1);
    EXPECT_EQ(position, 11);
    EXPECT_EQ(DecideVideoFrames(2, 10.3, &position), 0);  // 0.7 behind the new position
    position = 10;
    EXPECT_EQ(DecideVideoFrames(2, 10.5, &position), 1);
    EXPECT_EQ(position, 10);
}

TEST(VideoSync, PassThroughStampsEveryPictureWithItsSourceTime) {
    int64_t position = 0;
    EXPECT_EQ(DecideVideoFrames(0, 7.4, &position), 1);
    EXPECT_EQ(position, 7);
    EXPECT_EQ(DecideVideoFrames(0, 3, &position), 1);
    EXPECT_EQ(position, 3);
}

}  // namespace
}  // namespace tw::engine
