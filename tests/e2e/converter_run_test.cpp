// A converter's life as its owner sees it: progress, pause, resume, stop, several at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "media/library.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// The run reads its source in real time, so a test can act while it is under way.
void UseRealTime(ConversionRunner& runner) {
    runner.Options().Engine.RateEmulation = true;
}

TEST(ConverterRun, ProgressRisesToOneHundred) {
    TempFolder folder;
    const std::string source = MakeClip(folder.Path(), "source.mkv", 4);
    ConversionRunner runner;
    std::vector<int> seen;
    runner.OnProgress([&seen](TAVConverter& c) { seen.push_back(c.GetProgress()); });
    const ConversionOutcome outcome = runner.Run({source}, {folder / "p.mp4"});
    ASSERT_EQ(outcome.errorMessage, "");
    EXPECT_EQ(outcome.completeEvents, 1);
    EXPECT_EQ(outcome.stoppedEvents, 0);
    ASSERT_FALSE(seen.empty());
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], seen[i - 1]);
    }
    EXPECT_NEAR(runner.Converter().Duration(), 4.0, 0.05);
    EXPECT_EQ(runner.Converter().GetProgress(), 100);
    EXPECT_EQ(runner.Converter().GetRemainingTime(), 0);
    EXPECT_GT(runner.Converter().OutputSize(), 0);
    EXPECT_GT(runner.Converter().InputSize(), 0);
    EXPECT_GT(runner.Converter().Bitrate(), 0);
    EXPECT_EQ(runner.Converter().State(), TAVConverter::RunState::Idle);
}

TEST(ConverterRun, ElapsedAndRemainingTimeFollowTheRun) {
    TempFolder folder;
    const std::string source = MakeClip(folder.Path(), "source.mkv", 3);
    ConversionRunner runner;
    UseRealTime(runner);
    int64_t elapsedSeen = 0;
    // The estimate while under way, with the progress and the time the test itself saw pass.
    int64_t remainingWhileRunning = -1;
    int progressThen = 0;
    double secondsThen = 0;
    const auto begin = std::chrono::steady_clock::now();
    const auto secondsSinceBegin = [&begin] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    };
    runner.OnProgress([&](TAVConverter& c) {
        elapsedSeen = std::max(elapsedSeen, c.GetElapsedTime());
        if (c.GetProgress() > 20 && c.GetProgress() < 60 && remainingWhileRunning < 0) {
            secondsThen = secondsSinceBegin();
            progressThen = c.GetProgress();
            remainingWhileRunning = c.GetRemainingTime();
        }
    });
    const ConversionOutcome outcome = runner.Run({source}, {folder / "t.mp4"});
    const double seconds = secondsSinceBegin();
    ASSERT_EQ(outcome.errorMessage, "");
    // Hundreds of passes, but a window repaints a row per event: a few a second at most.
    EXPECT_GE(outcome.progressEvents, 2);
    EXPECT_LE(outcome.progressEvents, 4 * seconds + 2);
    // Real time: the 3 s source takes at least that long, however busy the machine.
    EXPECT_GE(elapsedSeen, 1);
    EXPECT_GE(runner.Converter().GetElapsedTime(), 2);
    // What is left is the time spent so far stretched over the part still to convert: never
    // more than the test's own clock, which started before the run did, makes it.
    ASSERT_GE(remainingWhileRunning, 0);
    EXPECT_LE(remainingWhileRunning, secondsThen * (100 - progressThen) / progressThen + 1);
}

TEST(ConverterRun, PauseHoldsTheOutputStillAndResumeGoesOn) {
    TempFolder folder;
    ConversionRunner runner;
    const std::string source = MakeClip(folder.Path(), "source.mkv", 4);
    UseRealTime(runner);
    const std::string out = folder / "pause.mkv";
    runner.Start({source}, {out});
    ASSERT_TRUE(runner.Dispatcher().RunUntil(
        [&] { return runner.Converter().ConvertedDuration() > 0.5; }, std::chrono::seconds(60)));
    runner.Converter().Pause();
    runner.Converter().Pause();
    EXPECT_EQ(runner.Converter().State(), TAVConverter::RunState::Paused);
    // Once the worker holds at the pause, nothing moves however long it lasts.
    ASSERT_TRUE(runner.Dispatcher().RunUntil([&] { return runner.Converter().PauseHeld(); },
                                             std::chrono::seconds(60)));
    const auto sizeAtPause = fs::file_size(out);
    const double convertedAtPause = runner.Converter().ConvertedDuration();
    runner.Dispatcher().RunUntil([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_TRUE(runner.Converter().PauseHeld());
    EXPECT_EQ(fs::file_size(out), sizeAtPause);
    EXPECT_EQ(runner.Converter().ConvertedDuration(), convertedAtPause);
    EXPECT_LT(convertedAtPause, 3.5);

    runner.Converter().Resume();
    EXPECT_EQ(runner.Converter().State(), TAVConverter::RunState::Running);
    const ConversionOutcome outcome = runner.Wait();
    ASSERT_EQ(outcome.errorMessage, "");
    EXPECT_EQ(outcome.completeEvents, 1);
    EXPECT_NEAR(InspectMedia(out).First(StreamKind::Video).durationSec, 4.0, 0.1);
}

TEST(ConverterRun, StopEndsWithAFinishedFileAndNoCompletion) {
    TempFolder folder;
    ConversionRunner runner;
    const std::string source = MakeClip(folder.Path(), "source.mkv", 20);
    UseRealTime(runner);
    const std::string out = folder / "stopped.mp4";
    runner.Start({source}, {out});
    ASSERT_TRUE(runner.Dispatcher().RunUntil(
        [&] { return runner.Converter().ConvertedDuration() >= 1.5; }, std::chrono::seconds(60)));
    runner.Converter().Stop();
    const ConversionOutcome outcome = runner.Wait();
    EXPECT_EQ(outcome.stoppedEvents, 1);
    EXPECT_EQ(outcome.completeEvents, 0);
    EXPECT_EQ(outcome.errorMessage, "");
    EXPECT_EQ(media::RegisteredLogThreads(), 0u);
    // An MP4 is only playable with its index, which the trailer writes.
    const MediaInfo info = InspectMedia(out);
    const StreamInfo& video = info.First(StreamKind::Video);
    EXPECT_GT(video.durationSec, 1.0);
    EXPECT_LT(video.durationSec, 10.0);
    EXPECT_EQ(video.decodeErrors, 0);
    EXPECT_GT(info.First(StreamKind::Audio).decodedSampleCount, 0);
}

TEST(ConverterRun, StopEndsALongRepeatOfOnePicture) {
    TempFolder folder;
    // Three pictures, then one ten hours later: held at 25 pictures a second, nearly a million
    // repeats of the third.
    ClipDescription clip;
    clip.width = 640;
    clip.height = 480;
    clip.audioCodec = "";
    clip.frameTimesSec = {0, 0.04, 0.08, 36000};
    const std::string source = folder / "gap.mkv";
    GenerateClip(clip, source);
    ConversionRunner runner;
    const std::string out = folder / "gap.avi";
    runner.Start({source}, {out});
    ASSERT_TRUE(runner.Dispatcher().RunUntil(
        [&] {
            std::error_code error;
            const auto size = fs::file_size(out, error);
            return !error && size > 200000;
        },
        std::chrono::seconds(60)));
    runner.Converter().Stop();
    const ConversionOutcome outcome = runner.Wait(std::chrono::seconds(60));
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.stoppedEvents, 1);
    const double seconds = InspectMedia(out).First(StreamKind::Video).durationSec;
    EXPECT_GT(seconds, 1);
    EXPECT_LT(seconds, 3600);
}

TEST(ConverterRun, PauseOrStopGivenWhileTheFilesOpenIsKept) {
    TempFolder folder;
    const std::string source = MakeClip(folder.Path(), "source.mkv", 2);
    ConversionRunner stopped;
    stopped.Start({source}, {folder / "stopped.mkv"});
    stopped.Converter().Stop();
    ConversionRunner paused;
    paused.Start({source}, {folder / "paused.mkv"});
    paused.Converter().Pause();
    const ConversionOutcome stop = stopped.Wait();
    EXPECT_EQ(stop.stoppedEvents, 1);
    EXPECT_EQ(stop.completeEvents, 0);
    ASSERT_TRUE(paused.Dispatcher().RunUntil(
        [&] { return paused.Converter().State() == TAVConverter::RunState::Paused; },
        std::chrono::seconds(60)));
    paused.Converter().Resume();
    EXPECT_EQ(paused.Wait().completeEvents, 1);
}

TEST(ConverterRun, StopWhilePausedLeavesThePause) {
    TempFolder folder;
    ConversionRunner runner;
    const std::string source = MakeClip(folder.Path(), "source.mkv", 20);
    UseRealTime(runner);
    runner.Start({source}, {folder / "s.mkv"});
    ASSERT_TRUE(runner.Dispatcher().RunUntil(
        [&] { return runner.Converter().State() == TAVConverter::RunState::Running; },
        std::chrono::seconds(60)));
    runner.Converter().Pause();
    ASSERT_TRUE(runner.Dispatcher().RunUntil([&] { return runner.Converter().PauseHeld(); },
                                             std::chrono::seconds(60)));
    runner.Converter().Stop();
    const ConversionOutcome outcome = runner.Wait(std::chrono::seconds(60));
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.stoppedEvents, 1);
    EXPECT_EQ(outcome.completeEvents, 0);
}

TEST(ConverterRun, DestroyingARunningConverterStopsItsWorker) {
    TempFolder folder;
    // Small pictures of a long source, quick to make; converting it takes its length in real time.
    ClipDescription clip;
    clip.width = 64;
    clip.height = 48;
    clip.videoCodec = "mpeg4";
    clip.audioCodec.clear();
    clip.durationSec = 300;
    const std::string source = folder / "source.mkv";
    GenerateClip(clip, source);
    for (const bool converting : {true, false}) {
        // Also while the run still opens its files: the source's length is never waited for.
        const auto begin = std::chrono::steady_clock::now();
        {
            ConversionRunner runner;
            UseRealTime(runner);
            runner.Start({source}, {folder / "d.mkv"});
            if (converting) {
                ASSERT_TRUE(runner.Dispatcher().RunUntil(
                    [&] { return runner.Converter().ConvertedDuration() > 0.2; },
                    std::chrono::seconds(60)));
            }
        }
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(150))
            << converting;
        EXPECT_EQ(media::RegisteredLogThreads(), 0u);
    }
}

TEST(ConverterRun, ControlFromTheUiThreadNeverDeadlocks) {
    TempFolder folder;
    const std::string source = MakeClip(folder.Path(), "source.mkv", 20);
    platform::LoopDispatcher dispatcher;
    std::vector<std::unique_ptr<TAVConverter>> converters;
    std::vector<int> stopped(3, 0);
    std::vector<int> completed(3, 0);
    for (size_t i = 0; i < 3; ++i) {
        auto c = std::make_unique<TAVConverter>(&dispatcher);
        c->ConvertOptions().Engine.RateEmulation = true;
        c->SetInputFiles({source});
        c->SetOutputFiles({folder / ("c" + std::to_string(i) + ".mkv")});
        c->SetOnStopped([&stopped, i](TAVConverter&) { ++stopped[i]; });
        c->SetOnComplete([&completed, i](TAVConverter&) { ++completed[i]; });
        ASSERT_TRUE(c->Start());
        converters.push_back(std::move(c));
    }
    // Pause, resume and stop in quick succession while the workers run and post events.
    for (int round = 0; round < 200; ++round) {
        TAVConverter& c = *converters[static_cast<size_t>(round % 3)];
        if (round % 7 == 0) {
            c.Pause();
        } else if (round % 7 == 3) {
            c.Resume();
        }
        dispatcher.RunUntil([] { return false; }, std::chrono::milliseconds(5));
    }
    for (auto& c : converters) {
        c->Stop();
    }
    ASSERT_TRUE(dispatcher.RunUntil(
        [&] {
            for (const auto& c : converters) {
                if (c->IsWorking()) {
                    return false;
                }
            }
            return true;
        },
        std::chrono::seconds(60)));
    dispatcher.ProcessPending();
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(converters[i]->State(), TAVConverter::RunState::Idle);
        EXPECT_EQ(converters[i]->ErrorMessage(), "");
        EXPECT_EQ(stopped[i], 1);
        EXPECT_EQ(completed[i], 0);
    }
    EXPECT_EQ(media::RegisteredLogThreads(), 0u);
}

TEST(ConverterRun, TwoConvertersAtOnceBothFinish) {
    TempFolder folder;
    ConversionRunner first;
    ConversionRunner second;
    first.Options().SetInputFormat("lavfi");
    second.Options().SetInputFormat("lavfi");
    first.Options().VideoOptions().SetFrameWidth(160);
    first.Options().VideoOptions().SetFrameHeight(120);
    first.Start({LavfiSource(320, 240, "25", 3, 44100)}, {folder / "one.mp4"});
    second.Start({LavfiSource(320, 240, "25", 3, 48000)}, {folder / "two.avi"});
    // Each runner serves its own events; the two workers run side by side meanwhile.
    const ConversionOutcome a = first.Wait();
    const ConversionOutcome b = second.Wait();
    ASSERT_EQ(a.errorMessage, "");
    ASSERT_EQ(b.errorMessage, "");
    const MediaInfo one = InspectMedia(folder / "one.mp4");
    const MediaInfo two = InspectMedia(folder / "two.avi");
    EXPECT_EQ(one.First(StreamKind::Video).width, 160);
    EXPECT_EQ(one.First(StreamKind::Audio).sampleRate, 44100);
    EXPECT_EQ(two.First(StreamKind::Video).width, 320);
    EXPECT_EQ(two.First(StreamKind::Audio).sampleRate, 48000);
    EXPECT_EQ(one.First(StreamKind::Video).decodedFrameCount, 75);
    EXPECT_EQ(two.First(StreamKind::Video).decodedFrameCount, 75);
}

}  // namespace
}  // namespace tw::test
