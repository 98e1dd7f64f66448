// Conversions in worker processes: a worker killed mid-run fails its own task alone, in words,
// and the task starts again; pause, resume and stop through a worker give the figures a run in
// this process gives; the command line's jobs run in workers unless told otherwise. No worker is
// ever left unreaped.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "jobs/conversion_request.h"
#include "jobs/spare_worker.h"
#include "jobs/worker_report.h"
#include "platform/process_priority.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/processes.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The processes this one started and has not reaped.
std::vector<pid_t> Children() {
    return ChildrenOf(getpid());
}

// The spare worker, if any, is ended (and spares stay off) first.
void ExpectNoChildLeft() {
    jobs::SpareWorker::Instance().SetEnabled(false);
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1) << "a child was left unreaped";
    EXPECT_EQ(errno, ECHILD);
}

std::unique_ptr<TConversionSettings> RealTimeRequest(const std::string& source,
                                                     const std::string& target) {
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(target);
    settings->SetProfile("MP4");
    // Real time, so that all of them are under way together.
    settings->ConvertOptions().Engine.RateEmulation = true;
    return settings;
}

void ExpectWholeConversion(const std::string& target) {
    const MediaInfo info = InspectMedia(target);
    EXPECT_NEAR(info.First(StreamKind::Video).durationSec, 3.0, 0.2) << target;
    EXPECT_EQ(info.CountOf(StreamKind::Audio), 1) << target;
}

TEST(WorkerRuns, AKilledWorkerFailsOnlyItsOwnTaskWhichThenStartsAgain) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 3);
    TaskWorld world(home.Path().string());
    jobs::SpareWorker::Instance().SetEnabled(false);  // three children: the three workers
    world.explorer.Show(world.Converting(), world.list);
    std::vector<std::string> targets;
    std::vector<TAVTask*> tasks;
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) {
        targets.push_back(home / name);
        tasks.push_back(&world.Converting().AddTask(RealTimeRequest(source, targets.back())));
    }
    ASSERT_TRUE(world.RunUntil(
        [&] {
            return std::all_of(tasks.begin(), tasks.end(),
                               [](TAVTask* t) { return t->Converter().StartTime() > 0; });
        },
        30s));
    const std::vector<pid_t> workers = Children();
    ASSERT_EQ(workers.size(), 3u);
    ASSERT_EQ(kill(workers[1], SIGKILL), 0);

    // The program goes on serving its loop while the other two convert to their end.
    bool served = false;
    world.dispatcher.Post([&served] { served = true; });
    EXPECT_TRUE(world.RunUntil([&served] { return served; }, 5s));
    ASSERT_TRUE(world.RunUntil(
        [&] {
            const auto& left = world.Converting().Tasks();
            return left.size() == 1 && !left[0]->Converter().IsWorking();
        },
        60s));
    ExpectNoChildLeft();

    TAVTask& failed = *world.Converting().Tasks()[0];
    EXPECT_EQ(failed.Status(), stError);
    const std::string words =
        "The conversion process ended unexpectedly: killed by signal 9 (Killed)";
    ASSERT_FALSE(failed.Log().empty());
    EXPECT_EQ(failed.Log().back().rfind(words, 0), 0u) << failed.Log().back();
    const std::vector<std::string> errors = world.messages.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind(words, 0), 0u) << errors[0];
    EXPECT_EQ(world.alerts.alerts.size(), 2u);
    // Its target, an MP4 without its index, plays not: it is removed, as after any failure.
    EXPECT_FALSE(fs::exists(failed.Settings().TargetFile()));
    for (const std::string& target : targets) {
        if (target != failed.Settings().TargetFile()) {
            ExpectWholeConversion(target);
        }
    }

    ASSERT_TRUE(failed.Start());
    const std::string again = failed.Settings().TargetFile();
    ASSERT_TRUE(world.RunUntil([&] { return world.Converting().Tasks().empty(); }, 60s));
    ExpectWholeConversion(again);
    EXPECT_EQ(world.messages.Errors().size(), 1u);
    ExpectNoChildLeft();
}

bool HasOpen(pid_t process, const fs::path& file) {
    const fs::path folder = "/proc/" + std::to_string(process) + "/fd";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (fs::read_symlink(entry.path(), error) == file) {
            return true;
        }
    }
    return false;
}

TEST(WorkerRuns, AWorkerStartedAheadTakesTheNextConversionAtThatConversionsPriority) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 10);
    TaskWorld world(home.Path().string());
    jobs::SpareWorker::Instance().SetEnabled(true);
    const int level = platform::ConversionPriority();
    platform::SetConversionPriority(0);  // "Low"
    TAVTask& first = world.Converting().AddTask(RealTimeRequest(source, home / "first.mp4"));
    // Its worker, and one started ahead for the next conversion.
    ASSERT_TRUE(world.RunUntil([] { return Children().size() == 2; }, 30s));
    first.Stop();
    ASSERT_TRUE(world.RunUntil([&] { return !first.Converter().IsWorking(); }, 30s));
    const std::vector<pid_t> spare = Children();
    ASSERT_EQ(spare.size(), 1u);
    const int ownNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (ownNice != 19) {  // (a test run under `nice -n 19` cannot see the change)
        EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(spare[0])), ownNice);
    }

    TAVTask& second = world.Converting().AddTask(RealTimeRequest(source, home / "second.mp4"));
    ASSERT_TRUE(world.RunUntil([&] { return second.Converter().StartTime() > 0; }, 30s));
    // The waiting worker runs it, and took the conversion's priority with the request.
    EXPECT_TRUE(HasOpen(spare[0], home / "second.mp4"));
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(spare[0])), 19);
    second.Stop();
    ASSERT_TRUE(world.RunUntil([&] { return !second.Converter().IsWorking(); }, 30s));
    EXPECT_TRUE(second.Converter().ErrorMessage().empty()) << second.Converter().ErrorMessage();
    platform::SetConversionPriority(level);
    ExpectNoChildLeft();
}

// The worker program's whole answer to one request line.
struct Answer {
    int status = -1;
    std::vector<std::string> lines;
};

Answer AskWorker(const TempFolder& folder, const std::string& request) {
    const std::string in = folder / "request.json";
    const std::string out = folder / "answer.jsonl";
    std::ofstream(in) << request << "\n";
    const std::string command =
        std::string("'") + TW_CLI_PATH + "' --worker < '" + in + "' > '" + out + "'";
    const int status = std::system(command.c_str());
    Answer answer;
    answer.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream read(out);
    for (std::string line; std::getline(read, line);) {
        answer.lines.push_back(line);
    }
    return answer;
}

TEST(WorkerRuns, ARequestTheWorkerCannotCarryOutGetsOneErrorLineAndTheTaskShowsIt) {
    TempFolder home;
    const std::string missing = home / "gone.mkv";
    const std::string target = home / "out.mp4";
    const std::string good = jobs::RequestLine({{missing}, {target}, 24, -1}, TAVConvertOptions());
    std::string later = good;
    later.replace(later.find("\"protocol\":1"), 12, "\"protocol\":7");
    std::string said;
    for (const std::string& request : {std::string("convert gone.mkv"), later, good}) {
        const Answer answer = AskWorker(home, request);
        EXPECT_EQ(answer.status, 2) << request;
        ASSERT_EQ(answer.lines.size(), 1u) << request;
        const jobs::Report report = jobs::ParseReport(answer.lines[0]);
        EXPECT_EQ(report.kind, jobs::Report::Kind::Error);
        EXPECT_FALSE(report.texts.has_value());
        said = report.text;
    }
    // A missing source is said in the words a run in this process uses.
    const std::string words =
        "Could not open file:-2!:No such file or directory (source: " + missing + ")";
    EXPECT_EQ(said, words);

    TaskWorld world(home.Path().string());
    TAVTask& task = world.Converting().AddTask(RealTimeRequest(missing, target));
    ASSERT_TRUE(world.RunUntil(
        [&] { return task.Status() == stError && !task.Converter().IsWorking(); }, 30s));
    ASSERT_FALSE(task.Log().empty());
    EXPECT_EQ(task.Log().back(), words);
    EXPECT_EQ(world.messages.Errors(), std::vector<std::string>{words});
    EXPECT_FALSE(fs::exists(target));
    ExpectNoChildLeft();
}

TEST(WorkerRuns, AWorkerGivenItsRequestInAFileReportsItsProgressOnceASecond) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 3);
    TAVConvertOptions options;
    options.Engine.RateEmulation = true;  // three seconds, however fast the machine
    std::ofstream(home / "request.json")
        << jobs::RequestLine({{source}, {home / "out.mp4"}, 24, -1}, options) << "\n";
    const std::string out = home / "answer.jsonl";
    const std::string command = std::string("'") + TW_CLI_PATH + "' --worker --request '" +
                                (home / "request.json") + "' > '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    size_t reports = 0;  // started and progress
    int64_t first = 0;
    int64_t last = 0;  // the worker's clock at its first and last report
    std::ifstream read(out);
    for (std::string line; std::getline(read, line);) {
        const jobs::Report report = jobs::ParseReport(line);
        if (report.kind == jobs::Report::Kind::Started ||
            report.kind == jobs::Report::Kind::Progress) {
            ++reports;
            first = first == 0 ? report.figures.lastTime : first;
        }
        last = std::max(last, report.figures.lastTime);
    }
    // A few a second would be ten or more over the three seconds (or more, on a busy machine).
    ASSERT_GE(reports, 2u);
    EXPECT_LE(static_cast<double>(reports), static_cast<double>(last - first) / 1e6 + 3);
}

struct Observed {
    int stopped = 0;
    int completed = 0;
    int errors = 0;
    double duration = 0;
    double converted = 0;
    int progress = 0;
    int64_t outputSize = 0;
    int64_t inputSize = 0;
};

Observed FiguresOf(const TAVConverter& converter, const ConversionOutcome& outcome) {
    return {outcome.stoppedEvents,  outcome.completeEvents,        outcome.errorEvents,
            converter.Duration(),   converter.ConvertedDuration(), converter.Progress(),
            converter.OutputSize(), converter.InputSize()};
}

// A real-time run paused, resumed and stopped: the pause holds within half a second, the stop
// finishes a playable target that holds what the figures say.
Observed PausedResumedStopped(bool inWorker, const std::string& source, const std::string& target) {
    ConversionRunner runner;
    TAVConverter& converter = runner.Converter();
    converter.SetInOwnProcess(inWorker);
    runner.Options().Engine.RateEmulation = true;
    platform::LoopDispatcher& loop = runner.Dispatcher();
    runner.Start({source}, {target});
    EXPECT_TRUE(loop.RunUntil([&] { return converter.ConvertedDuration() >= 0.5; }, 30s));
    converter.Pause();
    EXPECT_EQ(converter.State(), TAVConverter::RunState::Paused);
    // Once the run holds at the pause, nothing moves however long it lasts.
    EXPECT_TRUE(loop.RunUntil([&] { return converter.PauseHeld(); }, 30s));
    const double held = converter.ConvertedDuration();
    const auto heldSize = fs::file_size(target);
    loop.RunUntil([] { return false; }, 500ms);
    EXPECT_TRUE(converter.PauseHeld());
    EXPECT_EQ(converter.ConvertedDuration(), held);
    EXPECT_EQ(fs::file_size(target), heldSize);
    converter.Resume();
    EXPECT_EQ(converter.State(), TAVConverter::RunState::Running);
    EXPECT_TRUE(loop.RunUntil([&] { return converter.ConvertedDuration() > held + 0.3; }, 30s));
    EXPECT_FALSE(converter.PauseHeld());
    converter.Stop();
    const ConversionOutcome outcome = runner.Wait();
    EXPECT_TRUE(outcome.finished);
    const Observed figures = FiguresOf(converter, outcome);
    EXPECT_EQ(figures.outputSize, static_cast<int64_t>(fs::file_size(target)));
    EXPECT_NEAR(InspectMedia(target).First(StreamKind::Video).durationSec, figures.converted, 0.3);
    EXPECT_EQ(converter.State(), TAVConverter::RunState::Idle);
    return figures;
}

TEST(WorkerRuns, PauseResumeAndStopThroughAWorkerGiveTheFiguresOfARunInThisProcess) {
    TempFolder home;
    ScopedEnv worker("TIDEWELL_WORKER", TW_CLI_PATH);
    const std::string source = MakeClip(home.Path(), "source.mkv", 3);

    const Observed local = PausedResumedStopped(false, source, home / "local.mp4");
    const Observed remote = PausedResumedStopped(true, source, home / "remote.mp4");
    for (const Observed& f : {local, remote}) {
        EXPECT_EQ(f.stopped, 1);
        EXPECT_EQ(f.completed, 0);
        EXPECT_EQ(f.errors, 0);
        EXPECT_NEAR(f.duration, 3.0, 0.1);
        EXPECT_EQ(f.progress, static_cast<int>(std::nearbyint(f.converted / f.duration * 100)));
    }
    EXPECT_EQ(remote.duration, local.duration);
    EXPECT_EQ(remote.inputSize, local.inputSize);

    // Run to their end, both say exactly the same.
    Observed whole[2];
    for (int inWorker = 0; inWorker < 2; ++inWorker) {
        ConversionRunner runner;
        runner.Converter().SetInOwnProcess(inWorker == 1);
        const ConversionOutcome outcome =
            runner.Run({source}, {home / ("whole" + std::to_string(inWorker) + ".mp4")});
        whole[inWorker] = FiguresOf(runner.Converter(), outcome);
    }
    EXPECT_EQ(whole[1].completed, 1);
    EXPECT_EQ(whole[1].progress, 100);
    EXPECT_EQ(whole[1].completed, whole[0].completed);
    EXPECT_EQ(whole[1].duration, whole[0].duration);
    EXPECT_EQ(whole[1].converted, whole[0].converted);
    EXPECT_EQ(whole[1].outputSize, whole[0].outputSize);
    EXPECT_EQ(whole[1].inputSize, whole[0].inputSize);
    ExpectNoChildLeft();
}

// Each start of the worker program, as seen through a wrapper that notes it.
struct CountedWorker {
    explicit CountedWorker(const TempFolder& folder)
        : script(folder / "counted-worker.sh"), starts(folder / "starts.txt") {
        std::ofstream(script) << "#!/bin/sh\necho started >> '" << starts << "'\nexec '"
                              << TW_CLI_PATH << "' \"$@\"\n";
        chmod(script.c_str(), 0755);
    }
    int Starts() const {
        std::ifstream in(starts);
        int count = 0;
        for (std::string line; std::getline(in, line);) {
            ++count;
        }
        return count;
    }
    std::string script;
    std::string starts;
};

TEST(WorkerRuns, TheCommandLinesJobsRunInWorkersUnlessToldToStayInProcess) {
    TempFolder home;
    std::vector<std::string> sources;
    for (const char* name : {"a.mkv", "b.mkv", "c.mkv"}) {
        sources.push_back(MakeClip(home.Path(), name, 1));
    }
    CountedWorker worker(home);
    ScopedEnv useIt("TIDEWELL_WORKER", worker.script);
    for (const bool inProcess : {false, true}) {
        const std::string folder = home / (inProcess ? "here" : "workers");
        std::ostringstream command;
        command << "'" << TW_CLI_PATH << "' --profile 'MP3 Audio' --jobs 2 --output-dir '" << folder
                << "'" << (inProcess ? " --in-process" : "");
        for (const std::string& source : sources) {
            command << " '" << source << "'";
        }
        ASSERT_EQ(std::system(command.str().c_str()), 0) << command.str();
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
            EXPECT_NEAR(InspectMedia(folder + "/" + name).First(StreamKind::Audio).durationSec, 1.0,
                        0.1);
        }
        EXPECT_EQ(worker.Starts(), 3) << (inProcess ? "--in-process" : "workers");
    }
}

}  // namespace
}  // namespace tw::test
