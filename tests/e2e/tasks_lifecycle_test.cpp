// Tasks converting with the real engine into a real task database: running side by side,
// pause, stop and restart, completion and filing, and the program started again.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "jobs/spare_worker.h"
#include "platform/process_priority.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::unique_ptr<TConversionSettings> Request(const std::string& source, const std::string& target,
                                             int categoryId, bool realTime) {
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(target);
    settings->SetProfile("MP4");
    settings->SetCategoryId(categoryId);
    // Real time, so that the test can act while the run is under way.
    settings->ConvertOptions().Engine.RateEmulation = realTime;
    return settings;
}

bool InLoop(const TAVTask& task) {
    return task.Converter().StartTime() > 0;
}

TEST(TasksLifecycle, TwoTasksRunPauseStopRestartCompleteAndReload) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 4);
    const std::string targetA = home / "out/a.mp4";
    const std::string targetB = home / "out/b.mp4";
    int idA = 0;
    int idB = 0;
    int idC = 0;
    std::string storedLogA;
    int holidays = 0;
    {
        TaskWorld world(home.Path().string());
        holidays = world.tree->NewCategory(world.Category(1), "Holidays", home / "h").ID();
        world.explorer.Show(world.Converting(), world.list);

        // A rate the encoder lacks: the engine warns, and the line reaches the task's log.
        auto requestA = Request(source, targetA, holidays, true);
        requestA->ConvertOptions().AudioOptions().SetAudioSampleRate(44000);
        TAVTask& a = world.Converting().AddTask(std::move(requestA));
        TAVTask& b = world.Converting().AddTask(Request(source, targetB, 0, true));
        idA = a.ID();
        idB = b.ID();
        EXPECT_GT(idA, 0);
        EXPECT_GT(idB, idA);
        EXPECT_EQ(world.list.RowCount(), 2);
        auto stored = ReadStoredTasks(world.persistence->Database());
        ASSERT_EQ(stored.size(), 2u);
        EXPECT_TRUE(stored[0].converting && stored[1].converting);

        // Both convert at once, and progress repaints the rows.
        ASSERT_TRUE(world.RunUntil(
            [&] { return InLoop(a) && InLoop(b) && world.list.RepaintsOf(&a) > 0; }, 60s));
        EXPECT_EQ(a.Converter().State(), TAVConverter::RunState::Running);
        EXPECT_EQ(b.Converter().State(), TAVConverter::RunState::Running);

        // Pausing one leaves the other going.
        a.Pause();
        EXPECT_EQ(a.Status(), stPaused);
        ASSERT_TRUE(world.RunUntil([&] { return a.Converter().PauseHeld(); }, 60s));
        const double heldA = a.Converter().ConvertedDuration();
        const double beforeB = b.Converter().ConvertedDuration();
        ASSERT_TRUE(
            world.RunUntil([&] { return b.Converter().ConvertedDuration() > beforeB + 0.3; }, 60s));
        EXPECT_EQ(a.Converter().ConvertedDuration(), heldA);

        // Stopped: no completion, still listed and stored as unfinished.
        b.Stop();
        EXPECT_EQ(b.Status(), stError);
        ASSERT_TRUE(world.RunUntil([&] { return !b.Converter().IsWorking(); }, 60s));
        world.Pump(100ms);
        EXPECT_EQ(b.Status(), stError);
        EXPECT_TRUE(world.list.HasRow(&b));
        EXPECT_TRUE(FindStoredTask(world.persistence->Database(), idB)->converting);
        EXPECT_TRUE(world.alerts.alerts.empty());

        // Restarted from the beginning with an empty log, one input and one output.
        ASSERT_TRUE(b.Start());
        EXPECT_EQ(b.Status(), stRunning);
        EXPECT_TRUE(b.Log().empty());
        EXPECT_EQ(b.Converter().InputFiles(), TStringList{source});
        EXPECT_EQ(b.Converter().OutputFiles(), TStringList{targetB});
        ASSERT_TRUE(world.RunUntil([&] { return InLoop(b); }, 60s));
        EXPECT_LT(b.Converter().ConvertedDuration(), 1.5);

        a.Resume();
        EXPECT_EQ(a.Status(), stRunning);
        ASSERT_TRUE(world.RunUntil([&] { return world.Converting().Tasks().empty(); }, 60s));
        EXPECT_EQ(world.list.RowCount(), 0);
        // Either may finish first: how far the restarted one got before the other resumed
        // depends on the machine's load.
        ASSERT_EQ(world.alerts.alerts.size(), 2u);
        std::set<std::string> generated;
        for (const auto& alert : world.alerts.alerts) {
            EXPECT_EQ(alert.header, "Task Completed");
            EXPECT_EQ(alert.message, alert.targetFile + " was generated.");
            generated.insert(alert.targetFile);
        }
        EXPECT_EQ(generated, (std::set<std::string>{targetA, targetB}));
        EXPECT_EQ(world.power.powerOffs, 0);
        EXPECT_TRUE(world.messages.Errors().empty());

        for (const auto& [id, category] : {std::pair{idA, holidays}, std::pair{idB, 1}}) {
            auto row = FindStoredTask(world.persistence->Database(), id);
            ASSERT_TRUE(row);
            EXPECT_FALSE(row->converting);
            EXPECT_FALSE(row->date.empty());
            EXPECT_EQ(row->categoryId, category);
            EXPECT_NE(row->settings.find("<Duration>4"), std::string::npos) << row->settings;
            ASSERT_TRUE(row->log.has_value());  // stored, even when empty
        }
        storedLogA = *FindStoredTask(world.persistence->Database(), idA)->log;
        EXPECT_NE(storedLogA.find("Requested sampling rate unsupported using closest supported "
                                  "(44100)\r\n"),
                  std::string::npos)
            << storedLogA;
        // The restarted run wrote the whole source.
        EXPECT_NEAR(InspectMedia(targetB).First(StreamKind::Video).durationSec, 4.0, 0.2);
        EXPECT_NEAR(InspectMedia(targetA).First(StreamKind::Video).durationSec, 4.0, 0.2);

        // A third task, stopped at once (while it still opens its files), stays unfinished.
        TAVTask& c = world.Converting().AddTask(Request(source, home / "out/c.mp4", 0, true));
        idC = c.ID();
        // Stopped and started again at once: the start waits for the stopped run to let go of
        // the target, then converts anew.
        c.Stop();
        ASSERT_TRUE(c.Start());
        EXPECT_EQ(c.Status(), stRunning);
        ASSERT_TRUE(world.RunUntil([&] { return InLoop(c); }, 60s));
        EXPECT_EQ(c.Converter().State(), TAVConverter::RunState::Running);
        c.Stop();
        ASSERT_TRUE(world.RunUntil([&] { return !c.Converter().IsWorking(); }, 60s));
        world.Pump(100ms);
        EXPECT_EQ(c.Status(), stError);
        EXPECT_EQ(world.Converting().Tasks().size(), 1u);
        EXPECT_EQ(world.alerts.alerts.size(), 2u);
    }

    // The program again, over the same file.
    TaskWorld world(home.Path().string());
    world.explorer.Show(world.Converting(), world.list);
    ASSERT_EQ(world.list.RowCount(), 1);
    EXPECT_EQ(world.list.rows[0]->ID(), idC);
    EXPECT_EQ(world.list.rows[0]->Status(), stError);

    world.explorer.Show(world.Category(holidays), world.list);
    ASSERT_EQ(world.list.RowCount(), 1);
    TAVTask& a = *world.list.rows[0];
    EXPECT_EQ(a.ID(), idA);
    EXPECT_EQ(a.Status(), stFinished);
    EXPECT_TRUE(a.HasConvertedFile());
    EXPECT_EQ(a.GetText(5), "0:0:4");
    EXPECT_EQ(a.Log(), TPersistentManager::SplitLog(storedLogA));
    EXPECT_FALSE(a.Log().empty());

    world.explorer.Show(world.Category(1), world.list);
    ASSERT_EQ(world.list.RowCount(), 1);
    EXPECT_EQ(world.list.rows[0]->ID(), idB);
}

// Where a completed task goes depends on what the category tree shows at that moment.
TEST(TasksLifecycle, CompletionFilesByWhatIsOnDisplay) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 1);
    TaskWorld world(home.Path().string());
    world.configuration.SetShowAlert(false);
    TConvertedNode& movies = world.tree->NewCategory(world.Category(1), "Movies", home / "m");

    auto finish = [&] {
        const bool done = world.RunUntil([&] { return world.Converting().Tasks().empty(); }, 60s);
        world.Pump(50ms);
        return done;
    };

    // The Converting node on display: the row goes.
    world.explorer.Show(world.Converting(), world.list);
    TAVTask& first =
        world.Converting().AddTask(Request(source, home / "1.mp4", movies.ID(), false));
    EXPECT_TRUE(world.list.HasRow(&first));
    ASSERT_TRUE(finish());
    EXPECT_EQ(world.list.RowCount(), 0);

    // Its own category focused: it moves there with the converted columns.
    world.explorer.Show(movies, world.list);
    ASSERT_EQ(world.list.RowCount(), 1);
    TAVTask& second =
        world.Converting().AddTask(Request(source, home / "2.mp4", movies.ID(), false));
    ASSERT_TRUE(finish());
    ASSERT_EQ(world.list.RowCount(), 2);
    EXPECT_EQ(world.list.rows[1], &second);
    EXPECT_TRUE(second.IsConverted());
    EXPECT_EQ(second.Category(), &movies);
    EXPECT_EQ(second.GetText(2), "2.mp4");
    EXPECT_EQ(second.GetText(5), "0:0:1");
    EXPECT_FALSE(second.GetText(6).empty());  // the date, not a percentage
    EXPECT_EQ(second.GetText(6).find('%'), std::string::npos);

    // No category chosen, the default one on display: filed and shown there.
    world.explorer.Show(world.Category(1), world.list);
    TAVTask& third = world.Converting().AddTask(Request(source, home / "3.mp4", 0, false));
    ASSERT_TRUE(finish());
    ASSERT_EQ(world.list.RowCount(), 1);
    EXPECT_EQ(world.list.rows[0], &third);
    EXPECT_EQ(third.CategoryId(), 1);

    // Another node focused: freed now, listed when its category is shown next.
    world.Converting().AddTask(Request(source, home / "4.mp4", movies.ID(), false));
    ASSERT_TRUE(world.RunUntil([&] { return world.Converting().Tasks().empty(); }, 60s));
    world.Pump(50ms);
    EXPECT_EQ(world.list.RowCount(), 1);
    world.explorer.Show(movies, world.list);
    ASSERT_EQ(world.list.RowCount(), 3);
    EXPECT_EQ(world.list.rows[0]->GetText(2), "4.mp4");  // newest first
    EXPECT_TRUE(world.alerts.alerts.empty());
}

// Shutdown when done fires once nothing is converting any more; a paused task does not hold it
// back, a stopped run never fires it.
TEST(TasksLifecycle, ShutdownWhenDoneWaitsForTheLastRunningTask) {
    TempFolder home;
    // Long enough in real time that the quick one, however busy the machine, ends first.
    const std::string longSource = MakeClip(home.Path(), "long.mkv", 6);
    const std::string shortSource = MakeClip(home.Path(), "short.mkv", 1);
    TaskWorld world(home.Path().string());
    world.configuration.SetShutdownWhenDone(true);
    world.explorer.Show(world.Converting(), world.list);

    TAVTask& paused = world.Converting().AddTask(Request(longSource, home / "p.mp4", 0, true));
    ASSERT_TRUE(world.RunUntil([&] { return InLoop(paused); }, 60s));
    paused.Pause();
    TAVTask& slow = world.Converting().AddTask(Request(longSource, home / "s.mp4", 0, true));
    world.Converting().AddTask(Request(shortSource, home / "f.mp4", 0, false));

    // The quick one ends first, while the slow one still runs.
    ASSERT_TRUE(world.RunUntil([&] { return world.Converting().Tasks().size() == 2; }, 60s));
    EXPECT_EQ(world.power.powerOffs, 0);
    EXPECT_EQ(world.alerts.alerts.size(), 1u);
    EXPECT_EQ(slow.Status(), stRunning);

    ASSERT_TRUE(world.RunUntil([&] { return world.Converting().Tasks().size() == 1; }, 60s));
    EXPECT_EQ(world.power.powerOffs, 1);
    EXPECT_EQ(world.alerts.alerts.size(), 2u);

    paused.Stop();
    ASSERT_TRUE(world.RunUntil([&] { return !paused.Converter().IsWorking(); }, 60s));
    world.Pump(100ms);
    EXPECT_EQ(world.power.powerOffs, 1);
    EXPECT_EQ(world.alerts.alerts.size(), 2u);
}

// The threads of a process whose name begins with prefix (every one for an empty prefix).
std::vector<id_t> ThreadsOf(const fs::path& process, const std::string& prefix) {
    std::vector<id_t> threads;
    for (const auto& entry : fs::directory_iterator(process / "task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind(prefix, 0) == 0) {
            threads.push_back(static_cast<id_t>(std::stoi(entry.path().filename().string())));
        }
    }
    return threads;
}

// The priority chosen in the options is the conversions': the threads of a run take it from the
// start, in this process or in the worker process it runs in (all of whose threads convert),
// and the thread that runs the window keeps its own.
TEST(TasksLifecycle, PriorityIsTheConversionsNotTheWindows) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 30);
    TaskWorld world(home.Path().string());
    const int windowNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    const int level = platform::ConversionPriority();
    platform::SetConversionPriority(0);               // "Low"
    jobs::SpareWorker::Instance().SetEnabled(false);  // the run's worker is the one child
    for (const bool inWorker : {false, true}) {
        if (inWorker && !kWorkerProgram) {
            continue;
        }
        world.configuration.PerformanceOptions().SetRunInOwnProcess(inWorker);
        const std::string target = home / (inWorker ? "worker.mp4" : "here.mp4");
        TAVTask& task = world.Converting().AddTask(Request(source, target, 0, true));
        ASSERT_TRUE(world.RunUntil([&] { return InLoop(task); }, 20s));

        std::vector<id_t> runThreads = ThreadsOf("/proc/self", "Converting");
        if (inWorker) {
            // The worker is the one child of this process.
            std::vector<pid_t> workers;
            for (const id_t thread : ThreadsOf("/proc/self", "")) {
                std::ifstream children("/proc/self/task/" + std::to_string(thread) + "/children");
                for (pid_t child = 0; children >> child;) {
                    workers.push_back(child);
                }
            }
            ASSERT_EQ(workers.size(), 1u);
            runThreads = ThreadsOf("/proc/" + std::to_string(workers[0]), "");
        }
        EXPECT_GE(runThreads.size(), 1u);
        for (const id_t thread : runThreads) {
            EXPECT_EQ(getpriority(PRIO_PROCESS, thread), 19) << thread;
        }
        EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), windowNice);
        task.Stop();
        ASSERT_TRUE(world.RunUntil([&] { return !task.Converter().IsWorking(); }, 20s));
    }
    platform::SetConversionPriority(level);
}

}  // namespace
}  // namespace tw::test
