// Runs that cannot convert what was asked: each says which file is at fault and why, leaves no
// file that holds nothing, and never counts as converted. A source that ends before the length
// its header states still converts, and says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "media/stream_registry.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"
#include "util/format.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The one failure shown for a run (empty when none was).
std::string Shown(const ConversionOutcome& outcome) {
    return outcome.messages.empty() ? std::string() : outcome.messages.front();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string MakeSource(const TempFolder& folder, const std::string& name, double seconds) {
    ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = seconds;
    GenerateClip(clip, folder / name);
    return folder / name;
}

// A source on a disk that starts failing: its reads fail once they pass failAt bytes.
class FailingStream : public media::TStream {
public:
    FailingStream(std::string bytes, int64_t failAt) : bytes_(std::move(bytes)), failAt_(failAt) {}
    int64_t Read(void* buffer, int64_t count) override {
        if (position_ + count > failAt_) {
            return -1;
        }
        const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(bytes_.size()) - position_);
        std::memcpy(buffer, bytes_.data() + position_,
                    static_cast<size_t>(std::max<int64_t>(n, 0)));
        position_ += std::max<int64_t>(n, 0);
        return std::max<int64_t>(n, 0);
    }
    int64_t Seek(int64_t offset, SeekOrigin origin) override {
        const int64_t base = origin == SeekOrigin::Beginning ? 0
                             : origin == SeekOrigin::Current ? position_
                                                             : GetSize();
        position_ = std::clamp<int64_t>(base + offset, 0, GetSize());
        return position_;
    }
    int64_t GetSize() override { return static_cast<int64_t>(bytes_.size()); }

private:
    std::string bytes_;
    int64_t failAt_;
    int64_t position_ = 0;
};

TEST(RunFailures, MessagesNameTheFileAndTheLibrarysReason) {
    TempFolder folder;
    const std::string source = MakeSource(folder, "in.mkv", 1);
    ClipDescription clip;
    GenerateClip(clip, folder / "whole.mp4");
    TruncateCopy(folder / "whole.mp4", folder / "noindex.mp4", 0.5);
    {
        ConversionRunner runner;
        const ConversionOutcome outcome = runner.Run({folder / "noindex.mp4"}, {folder / "a.mkv"});
        EXPECT_EQ(Shown(outcome), outcome.errorMessage + ":moov atom not found (source: " +
                                      (folder / "noindex.mp4") + ")");
    }
    {
        ConversionRunner runner;
        const std::string target = folder / (std::string(300, 'x') + ".mkv");
        const ConversionOutcome outcome = runner.Run({source}, {target});
        EXPECT_EQ(Shown(outcome),
                  "Could not open file:File name too long (target: " + target + ")");
    }
    {
        ConversionRunner runner;
        const ConversionOutcome outcome = runner.Run({source}, {folder / "out.xyz"});
        EXPECT_EQ(Shown(outcome), "Unable to find a suitable output format for " +
                                      (folder / "out.xyz") +
                                      ":no known container format is written as .xyz files");
    }
    {
        // A subtitle file the library cannot read: the filter's own line says which and why.
        WriteFileBytes(folder / "notes.srt", std::string(64, '\x01'));
        ConversionRunner runner;
        runner.Options().FilterOptions().SetVideoFilters("subtitles=" + (folder / "notes.srt"));
        const ConversionOutcome outcome = runner.Run({source}, {folder / "b.mkv"});
        ASSERT_EQ(outcome.errorMessage, "Error opening filters!");
        EXPECT_TRUE(Contains(Shown(outcome), "notes.srt")) << Shown(outcome);
        EXPECT_FALSE(fs::exists(folder / "b.mkv"));
    }
}

TEST(RunFailures, RunFailingBeforeItsFirstPictureLeavesNoFileAndNamesTheTarget) {
    TempFolder folder;
    const std::string source = MakeSource(folder, "in.mkv", 1);
    // A user's profile pairing a container with a codec it refuses.
    ConversionRunner runner;
    runner.Options().VideoOptions().SetEncoderVideoCodecName("h263");
    runner.Options().VideoOptions().SetFrameWidth(176);
    runner.Options().VideoOptions().SetFrameHeight(144);
    const std::string target = folder / "out.webm";
    const ConversionOutcome outcome = runner.Run({source}, {target});
    EXPECT_EQ(outcome.errorMessage,
              "Could not write header for output file  (incorrect codec parameters ?)");
    EXPECT_TRUE(Contains(Shown(outcome), "WebM")) << Shown(outcome);
    EXPECT_TRUE(Contains(Shown(outcome), "(target: " + target + ")")) << Shown(outcome);
    EXPECT_FALSE(fs::exists(target));
}

TEST(RunFailures, ReadErrorFailsTheRunAndWhatWasReadIsFinished) {
    TempFolder folder;
    const std::string bytes = ReadFileBytes(MakeSource(folder, "in.mkv", 4));
    const std::string url = media::StreamUrl(media::RegisterStream(
        std::make_unique<FailingStream>(bytes, static_cast<int64_t>(bytes.size() * 6 / 10))));
    ConversionRunner runner;
    const ConversionOutcome outcome = runner.Run({url}, {folder / "out.mkv"});
    EXPECT_EQ(outcome.errorMessage, "Could not read the source");
    EXPECT_EQ(Shown(outcome), "Could not read the source:Input/output error (source: " + url + ")");
    const double seconds = InspectMedia(folder / "out.mkv").First(StreamKind::Video).durationSec;
    EXPECT_GT(seconds, 0.5);
    EXPECT_LT(seconds, 3.5);
}

TEST(RunFailures, SourceCutShortWhileItIsReadFails) {
    TempFolder folder;
    const std::string source = MakeSource(folder, "in.mkv", 6);
    ConversionRunner runner;
    // Converting at the pace of playing leaves time to cut the file half-way.
    runner.Options().Engine.RateEmulation = true;
    runner.Start({source}, {folder / "out.mkv"});
    ASSERT_TRUE(runner.Dispatcher().RunUntil(
        [&] { return runner.Converter().ConvertedDuration() > 1.0; }, 60s));
    fs::resize_file(source, fs::file_size(source) * 4 / 10);
    const ConversionOutcome outcome = runner.Wait();
    EXPECT_EQ(outcome.errorMessage, "The source was cut short while it was read");
    EXPECT_TRUE(Contains(Shown(outcome), "(source: " + source + ")")) << Shown(outcome);
    EXPECT_EQ(outcome.errorEvents, 1);
}

TEST(RunFailures, SourceShorterThanItsHeaderSaysCompletesAndSaysSo) {
    TempFolder home;
    const std::string whole = MakeSource(home, "whole.mkv", 4);
    TruncateCopy(whole, home / "cut.mkv", 0.5);
    TaskWorld world(home.Path().string());
    world.explorer.Show(world.Converting(), world.list);
    for (const std::string& source : {whole, home / "cut.mkv"}) {
        auto settings = std::make_unique<TConversionSettings>();
        settings->SetSourceFile(source);
        settings->SetTargetFile(source + ".out.mkv");
        world.Converting().AddTask(std::move(settings));
        ASSERT_TRUE(world.RunUntil([&] { return world.Converting().Tasks().empty(); }, 60s));
    }
    ASSERT_EQ(world.alerts.alerts.size(), 2u);
    EXPECT_EQ(world.alerts.alerts[0].message, whole + ".out.mkv was generated.");
    const std::string& note = world.alerts.alerts[1].message;
    EXPECT_EQ(note.rfind(home / "cut.mkv.out.mkv was generated.\nThe source ended early: ", 0), 0u)
        << note;
    double converted = 0;
    const char* figures = std::strstr(note.c_str(), "early: ");
    ASSERT_TRUE(figures &&
                std::sscanf(figures, "early: %lf s of 4.0 s converted.", &converted) == 1)
        << note;
    EXPECT_NEAR(InspectMedia(home / "cut.mkv.out.mkv").First(StreamKind::Video).durationSec,
                converted, 0.3);
    EXPECT_LT(converted, 3.0);
}

TEST(RunFailures, RunThatWritesNothingIsNoConversion) {
    TempFolder folder;
    // A generated source tells no length in advance: the start is found past its end by reading.
    ConversionRunner runner;
    runner.Options().SetInputFormat("lavfi");
    runner.Options().SetStartTime(5000000);
    const ConversionOutcome outcome =
        runner.Run({LavfiSource(64, 48, "10", 1)}, {folder / "out.mkv"});
    EXPECT_EQ(outcome.errorMessage, "Nothing was converted");
    EXPECT_TRUE(Contains(Shown(outcome), "no picture or sound from 5.0 s on")) << Shown(outcome);
    EXPECT_FALSE(fs::exists(folder / "out.mkv"));
}

}  // namespace
}  // namespace tw::test
