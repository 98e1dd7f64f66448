// What the preview shows and when, on a clock the test moves by hand.
#include <gtest/gtest.h>

#include <vector>

#include "preview/preview_graph.h"
#include "preview_test_support.h"

namespace tw::preview::test {
namespace {

class PreviewGraphTest : public ::testing::Test {
protected:
    // Advances until a picture comes out, and returns it.
    SamplePtr NextShown() {
        SamplePtr shown;
        WaitUntil([&] {
            shown = graph.Advance().picture;
            return shown != nullptr;
        });
        return shown;
    }

    double now = 0.0;
    PreviewGraph graph{[this] { return now; }};
};

TEST_F(PreviewGraphTest, PicturesComeWhenTheirTimeDoesAndLatePicturesAreDropped) {
    ASSERT_TRUE(graph.Player().OpenFile(PreviewClips::Get().videoOnly));
    ASSERT_TRUE(graph.Activate());
    // A new position shows its first picture at once, even while stopped.
    ASSERT_TRUE(NextShown());
    EXPECT_EQ(graph.State(), GraphState::Stopped);
    // Read ahead, so that whatever is due can be had at once.
    ASSERT_TRUE(WaitUntil([&] { return graph.Player().Source()->QueuedVideoFrames() >= 10; }));

    graph.Run();
    EXPECT_FALSE(graph.Advance().picture);
    now = 0.041;
    EXPECT_DOUBLE_EQ(NextShown()->Start(), 0.04);
    now = 0.2;
    EXPECT_DOUBLE_EQ(NextShown()->Start(), 0.2);
    EXPECT_EQ(graph.DroppedPictures(), 3);

    // Paused, the clock stands.
    graph.Pause();
    now = 5.0;
    EXPECT_FALSE(graph.Advance().picture);
    EXPECT_EQ(graph.CurrentPosition(), 2'000'000);

    // A seek shows the picture at the target while paused.
    graph.SetStart(10'000'000);
    const SamplePtr target = NextShown();
    EXPECT_LE(target->Start(), 1.0 + 1e-6);
    EXPECT_GT(target->Stop(), 1.0);
    EXPECT_EQ(graph.CurrentPosition(), 10'000'000);

    // Playing to the end pauses there; playing again starts over.
    graph.Run();
    now += 1.0;
    EXPECT_TRUE(WaitUntil([&] { return graph.Advance().reachedEnd; }));
    EXPECT_EQ(graph.State(), GraphState::Paused);
    EXPECT_EQ(graph.CurrentPosition(), graph.StopPosition());
    graph.Run();
    EXPECT_DOUBLE_EQ(NextShown()->Start(), 0.0);
    EXPECT_EQ(graph.State(), GraphState::Running);
}

TEST_F(PreviewGraphTest, ASoundDeviceLeadsTheClockByWhatItPlayed) {
    ASSERT_TRUE(graph.Player().OpenFile(PreviewClips::Get().audioVideo));
    ASSERT_TRUE(graph.Activate());
    graph.SetSoundDevice(true);
    ASSERT_TRUE(graph.HasSound());
    graph.Run();
    ASSERT_TRUE(NextShown());

    // The device takes 0.2 s of sound and still holds 0.05 s of it.
    const int bytesPerSecond = graph.SoundRate() * graph.SoundChannels() * 2;
    std::vector<uint8_t> buffer(static_cast<size_t>(bytesPerSecond / 5));
    int64_t taken = 0;
    ASSERT_TRUE(WaitUntil([&] {
        taken +=
            graph.ReadSound(buffer.data() + taken, static_cast<int64_t>(buffer.size()) - taken);
        return taken == static_cast<int64_t>(buffer.size());
    }));
    graph.SoundBuffered(bytesPerSecond / 20);
    EXPECT_NEAR(graph.CurrentPosition() / 1e7, 0.15, 1e-3);
    const SamplePtr shown = NextShown();
    EXPECT_LE(shown->Start(), 0.15);
    EXPECT_GT(shown->Stop(), 0.15);

    // A seek starts the sound anew for the device.
    const int generation = graph.SoundGeneration();
    graph.SetStart(10'000'000);
    EXPECT_NE(graph.SoundGeneration(), generation);
    EXPECT_EQ(graph.ReadSound(buffer.data(), 4), 0);  // nothing before the first picture
}

}  // namespace
}  // namespace tw::preview::test
