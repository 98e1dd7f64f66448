// The supervisor against workers that misbehave (small shell scripts standing in for the
// worker program): every way of ending without a proper result becomes words, the worker is
// always reaped, and a pause or a processor too busy to let it run lets it be quiet.
#include "jobs/worker_supervisor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>

#include "jobs/spare_worker.h"
#include "support/scoped_env.h"

namespace tw::jobs {
namespace {

using namespace std::chrono_literals;

struct RecordingEvents : SupervisorEvents {
    void Started(const RunFigures&) override { ++started; }
    void Progress(const RunFigures& figures) override { converted = figures.convertedDuration; }
    void Log(int, const std::string& text) override { logs.push_back(text); }
    void Message(Report::MessageKind, const std::string& text) override {
        messages.push_back(text);
    }
    void PauseHeld(bool, const RunFigures&) override {}
    void Stopped(const RunFigures&) override { ++stopped; }
    void Failed(const RunTexts& texts) override { failures.push_back(texts.errorMessage); }
    void Done(const RunFigures&, const RunTexts&) override { ++done; }
    Control Wanted() override { return wanted; }

    Control wanted = Control::Run;
    int started = 0;
    int stopped = 0;
    int done = 0;
    double converted = 0;
    std::vector<std::string> logs;
    std::vector<std::string> messages;
    std::vector<std::string> failures;
};

std::string DoneLine(bool failed) {
    Report done;
    done.kind = Report::Kind::Done;
    done.completed = !failed;
    done.failed = failed;
    done.texts.emplace();
    if (failed) {
        done.texts->errorMessage = done.texts->failureText = "It broke";
    }
    return ReportLine(done);
}

// Runs a worker made of the script body (after "read request") to its end.
WorkerOutcome RunScript(const std::string& body, RecordingEvents& events,
                        std::chrono::milliseconds silenceLimit = 10s) {
    test::TempFolder folder;
    const std::string script = folder / "worker.sh";
    std::ofstream(script) << "#!/bin/sh\nread request\n" << body << "\n";
    chmod(script.c_str(), 0755);
    test::ScopedEnv worker("TIDEWELL_WORKER", script);
    SpareWorker::Instance().SetEnabled(false);  // each script starts afresh
    WorkerSupervisor supervisor(silenceLimit);
    WorkerOutcome outcome = supervisor.Run("{}", events);
    // Every worker is reaped: this process has no child left.
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    return outcome;
}

TEST(WorkerSupervisor, AWorkerEndingWithoutItsResultIsDescribedInWordsWithItsLastLines) {
    const std::string log = R"(echo '{"event":"log","level":24,"text":"half way"}')";
    {
        RecordingEvents events;
        const WorkerOutcome outcome = RunScript(log + "\nkill -9 $$", events);
        EXPECT_EQ(outcome.death, "killed by signal 9 (Killed)");
        EXPECT_EQ(outcome.lastLines, std::vector<std::string>{"half way"});
        EXPECT_EQ(events.logs, std::vector<std::string>{"half way"});
        EXPECT_FALSE(outcome.began);
    }
    {
        RecordingEvents events;
        const WorkerOutcome outcome = RunScript("echo 'out of memory' >&2\nexit 3", events);
        EXPECT_EQ(outcome.death, "exited with code 3");
        EXPECT_EQ(outcome.lastLines, std::vector<std::string>{"out of memory"});
    }
    {
        // Its result said the run went well, yet it ended otherwise (a leak checker's verdict).
        RecordingEvents events;
        const WorkerOutcome outcome = RunScript("echo '" + DoneLine(false) + "'\nexit 23", events);
        EXPECT_EQ(events.done, 1);
        EXPECT_EQ(outcome.death, "exited with code 23");
    }
    {
        RecordingEvents events;
        test::TempFolder folder;
        test::ScopedEnv worker("TIDEWELL_WORKER", folder / "no-such-program");
        const WorkerOutcome outcome = WorkerSupervisor().Run("{}", events);
        EXPECT_EQ(outcome.death, "exited with code 127");
        EXPECT_EQ(outcome.lastLines,
                  std::vector<std::string>{"the worker program could not be executed"});
    }
}

TEST(WorkerSupervisor, AProperEndRefusalOrFailureIsNoDeath) {
    {
        RecordingEvents events;
        const WorkerOutcome outcome = RunScript("echo '" + DoneLine(false) + "'", events);
        EXPECT_TRUE(outcome.death.empty()) << outcome.death;
        EXPECT_TRUE(outcome.completed);
    }
    {
        RecordingEvents events;
        const WorkerOutcome outcome = RunScript(
            R"(echo '{"event":"error","text":"The conversion request is not JSON"}'; exit 2)",
            events);
        EXPECT_TRUE(outcome.death.empty()) << outcome.death;
        EXPECT_EQ(outcome.refusal, "The conversion request is not JSON");
    }
    {
        RecordingEvents events;
        const std::string failure =
            R"({"event":"error","text":"It broke","texts":{"errorMessage":"It broke",)"
            R"("lastLogMessage":"","failureText":"It broke","completionNote":""}})";
        const WorkerOutcome outcome =
            RunScript("echo '" + failure + "'\necho '" + DoneLine(true) + "'\nexit 1", events);
        EXPECT_TRUE(outcome.death.empty()) << outcome.death;
        EXPECT_TRUE(outcome.failed);
        EXPECT_EQ(events.failures, std::vector<std::string>{"It broke"});
    }
}

TEST(WorkerSupervisor, GarbageOrSilenceEndsTheWorkerUnlessItIsPaused) {
    {
        RecordingEvents events;
        const WorkerOutcome outcome = RunScript("echo 'Segmentation fault'\nexec sleep 60", events);
        EXPECT_EQ(outcome.death, "it sent a line that is no report");
        ASSERT_EQ(events.logs.size(), 1u);
        EXPECT_NE(events.logs[0].find("Segmentation fault"), std::string::npos);
    }
    {
        RecordingEvents events;
        const WorkerOutcome outcome = RunScript("exec sleep 60", events, 300ms);
        EXPECT_EQ(outcome.death, "no sign of life for 0.3 s");
    }
    {
        // Starved of the processor (sixteen busy loops beside it on its one processor, at the
        // same low priority), it stays silent for several times the limit while its own work
        // (some 0.3 s of counting) fills a small part of it: slow, not hung.
        RecordingEvents events;
        const std::string starved =
            "cpu=$(taskset -pc $$ | sed 's/.*: //; s/[-,].*//')\n"
            "taskset -pc \"$cpu\" $$ >/dev/null && renice -n 19 -p $$ >/dev/null || exit 9\n"
            "echo '{\"event\":\"alive\"}'\n"
            "for n in $(seq 16); do\n"
            "  timeout 30 taskset -c \"$cpu\" nice -n 19 sh -c 'while :; do :; done' &\n"
            "  hogs=\"$hogs $!\"\n"
            "done\n"
            "i=0; while [ $i -lt 120000 ]; do i=$((i+1)); done\n"
            "kill $hogs\necho '" +
            DoneLine(false) + "'";
        const WorkerOutcome outcome = RunScript(starved, events, 2s);
        EXPECT_TRUE(outcome.death.empty()) << outcome.death;
        EXPECT_EQ(events.done, 1);
    }
    {
        // Paused, it may say nothing for longer than the limit; it hears the pause first.
        RecordingEvents events;
        events.wanted = Control::Pause;
        const WorkerOutcome outcome =
            RunScript("read control\ncase \"$control\" in *pause*) sleep 1 ;; esac\necho '" +
                          DoneLine(false) + "'",
                      events, 300ms);
        EXPECT_TRUE(outcome.death.empty()) << outcome.death;
        EXPECT_EQ(events.done, 1);
    }
}

}  // namespace
}  // namespace tw::jobs
