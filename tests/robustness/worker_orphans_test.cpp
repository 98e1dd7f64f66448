// The program killed (SIGKILL) while its tasks convert in worker processes: the workers die
// with it, at once, rather than converting on for nobody.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "child_process.h"
#include "support/media_generator.h"
#include "support/processes.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(WorkerOrphans, WorkersDieWithTheProgram) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 10);
    // Orphans come to this process instead of the system's first, so that it sees how they end.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);

    constexpr int kTasks = 2;
    std::string pids;
    {
        ChildProcess program([&](int report) {
            TaskWorld world(home.Path().string());
            std::vector<TAVTask*> tasks;
            for (int i = 0; i < kTasks; ++i) {
                auto settings = std::make_unique<TConversionSettings>();
                settings->SetSourceFile(source);
                settings->SetTargetFile(home / ("t" + std::to_string(i) + ".mkv"));
                settings->ConvertOptions().Engine.RateEmulation = true;
                tasks.push_back(&world.Converting().AddTask(std::move(settings)));
            }
            world.RunUntil([&] {
                return std::all_of(tasks.begin(), tasks.end(),
                                   [](TAVTask* t) { return t->Converter().StartTime() > 0; });
            });
            for (pid_t worker : ChildrenOf(getpid())) {
                char line[16];
                std::snprintf(line, sizeof line, "%10d\n", static_cast<int>(worker));
                Report(report, line);
            }
            for (;;) {
                world.Pump(1s);
            }
            return 0;
        });
        pids = program.Read(11 * kTasks, 60s);
        program.Kill();
        EXPECT_EQ(program.Wait(), -SIGKILL);
    }
    ASSERT_EQ(pids.size(), 11u * kTasks) << pids;
    for (int i = 0; i < kTasks; ++i) {
        const pid_t worker = std::stoi(pids.substr(11 * static_cast<size_t>(i), 10));
        int status = 0;
        ASSERT_EQ(waitpid(worker, &status, 0), worker);
        // The parent-death signal, unless the worker wrote its next report into the pipe the
        // dying program had already closed a moment before.
        EXPECT_TRUE(WIFSIGNALED(status) &&
                    (WTERMSIG(status) == SIGKILL || WTERMSIG(status) == SIGPIPE))
            << status;
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
}  // namespace tw::test
