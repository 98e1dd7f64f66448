// Targets that cannot take the output: a device that is full, a disk that fills up, a folder the
// user may not write, a path that is a folder, a folder deleted while the run writes into it.
// Each run ends with a clear message and the task stopped (stError), nothing but the target is
// touched, and the source stays as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>

#include "child_process.h"
#include "media/library.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct TaskEnd {
    TAVTaskStatus status = stRunning;
    std::string log;  // the task's log lines, one a line
    bool ended = false;
};

// Adds a task converting source into target and waits for its run to end; options may change
// the request first, during may act while it converts.
TaskEnd RunTask(TaskWorld& world, const std::string& source, const std::string& target,
                const std::function<void(TConversionSettings&)>& options = {},
                const std::function<void(TAVTask&)>& during = {}) {
    world.explorer.Show(world.Converting(), world.list);
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(target);
    if (options) {
        options(*settings);
    }
    TAVTask& task = world.Converting().AddTask(std::move(settings));
    TaskEnd end;
    if (during) {
        during(task);
    }
    // A completed task leaves the list and is freed: it must not be touched then.
    const auto listed = [&] {
        const auto& tasks = world.Converting().Tasks();
        return std::any_of(tasks.begin(), tasks.end(),
                           [&](const auto& t) { return t.get() == &task; });
    };
    end.ended = world.RunUntil([&] { return !listed() || !task.Converter().IsWorking(); }, 60s);
    world.Pump(20ms);
    if (!listed()) {
        end.status = stFinished;
        end.log = "filed as converted\n";
        return end;
    }
    end.status = task.Status();
    for (const std::string& line : task.Log()) {
        end.log += line + "\n";
    }
    return end;
}

// What a test keeps an eye on: a file's size and bytes.
struct Snapshot {
    explicit Snapshot(const std::string& path) : path_(path), bytes_(ReadFileBytes(path)) {}
    bool Unchanged() const { return ReadFileBytes(path_) == bytes_; }

private:
    std::string path_;
    std::string bytes_;
};

TEST(OutputFaults, FullDeviceEndsWithAMessageAndLeavesTheDeviceAlone) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 2);
    const Snapshot kept(source);
    TaskWorld world(home.Path().string());
    const TaskEnd end = RunTask(world, source, "/dev/full", [](TConversionSettings& s) {
        s.ConvertOptions().SetOutputFormat("matroska");
    });
    ASSERT_TRUE(end.ended);
    EXPECT_EQ(end.status, stError) << end.log;
    EXPECT_FALSE(end.log.empty());
    EXPECT_FALSE(world.messages.Errors().empty());
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_TRUE(kept.Unchanged());
    EXPECT_EQ(media::RegisteredLogThreads(), 0u);
}

TEST(OutputFaults, DiskThatFillsUpNamesTheTargetAndRemovesWhatCannotPlay) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 4);
    const Snapshot kept(source);
    // A Matroska file plays without its end; an MP4 file without its index does not.
    for (const std::string name : {"out.mkv", "out.mp4"}) {
        SCOPED_TRACE(name);
        const std::string target = home / name;
        // The file-size limit of a child process stands for a disk with 100 KB left: every write
        // past it fails as a full disk's would, with the system's reason "File too large".
        ChildProcess child([&](int report) {
            signal(SIGXFSZ, SIG_IGN);
            TaskWorld world(home.Path().string());
            const rlimit limit{100 * 1024, 100 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
            int progress = -1;
            const TaskEnd end = RunTask(
                world, source, target,
                [](TConversionSettings& s) {
                    s.ConvertOptions().VideoOptions().SetBitrate(2000000);
                },
                [&](TAVTask& task) {
                    world.RunUntil([&] { return !task.Converter().IsWorking(); }, 60s);
                    progress = task.Converter().Progress();
                });
            Report(report, std::string(end.ended ? "ended " : "hung ") +
                               (end.status == stError ? "stError " : "other ") +
                               std::to_string(progress) + "%\n" + end.log);
            return 0;
        });
        const std::string report = child.ReadAll(120s);
        EXPECT_EQ(child.Wait(), 0) << report;
        EXPECT_EQ(report.rfind("ended stError ", 0), 0u) << report;
        // Matroska holds its clusters until they are whole: its disk may fill only at the end.
        EXPECT_NE(report.find("File too large"), std::string::npos) << report;
        EXPECT_NE(report.find(target), std::string::npos) << report;
        if (name == "out.mkv") {
            EXPECT_GT(InspectMedia(target).First(StreamKind::Video).decodedFrameCount, 0);
        } else {
            EXPECT_FALSE(fs::exists(target));
            EXPECT_NE(report.find("was removed"), std::string::npos) << report;
            // The row shows what the target holds now, not how far the run came.
            EXPECT_EQ(report.rfind("ended stError 0%", 0), 0u) << report;
        }
    }
    EXPECT_TRUE(kept.Unchanged());
}

TEST(OutputFaults, FolderWithoutWritePermission) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 1);
    ShareWithEveryone(home.Path().string(), true);
    fs::permissions(source, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directories(home / "closed");
    ShareWithEveryone(home / "closed", false);
    ChildProcess child(
        [&](int report) {
            TempFolder config;
            TaskWorld world(config.Path().string());
            const TaskEnd end = RunTask(world, source, home / "closed/out.mkv");
            Report(report, std::string(end.ended ? "ended " : "hung ") +
                               (end.status == stError ? "stError\n" : "other\n") + end.log);
            return 0;
        },
        true);
    const std::string report = child.ReadAll(120s);
    EXPECT_EQ(report.rfind("ended stError\n", 0), 0u) << report;
    EXPECT_NE(report.find("Permission denied"), std::string::npos) << report;
    EXPECT_TRUE(fs::is_empty(home / "closed"));
}

TEST(OutputFaults, TargetThatIsAFolder) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 1);
    const std::string target = home / "out.mkv";
    fs::create_directories(target);
    WriteFileBytes(target + "/inside.txt", "mine");
    TaskWorld world(home.Path().string());
    const TaskEnd end = RunTask(world, source, target);
    ASSERT_TRUE(end.ended);
    EXPECT_EQ(end.status, stError) << end.log;
    EXPECT_NE(end.log.find("Is a directory"), std::string::npos) << end.log;
    EXPECT_EQ(ReadFileBytes(target + "/inside.txt"), "mine");
}

TEST(OutputFaults, TargetFolderDeletedDuringTheRun) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 3);
    const Snapshot kept(source);
    const std::string folder = home / "gone";
    TaskWorld world(home.Path().string());
    const TaskEnd end = RunTask(
        world, source, folder + "/out.mkv",
        [](TConversionSettings& s) { s.ConvertOptions().Engine.RateEmulation = true; },
        [&](TAVTask& task) {
            ASSERT_TRUE(
                world.RunUntil([&] { return task.Converter().ConvertedDuration() > 0.5; }, 60s));
            fs::remove_all(folder);
        });
    ASSERT_TRUE(end.ended);
    // The run cannot have made a file the user will find: it must not be filed as converted.
    EXPECT_EQ(end.status, stError) << end.log;
    EXPECT_NE(end.log.find("out.mkv"), std::string::npos) << end.log;
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(kept.Unchanged());
}

}  // namespace
}  // namespace tw::test
