// The worker kept waiting for the next conversion: one that died while it waited, or that runs
// another program than the one now wanted, is never handed out, and none is left unreaped.
#include "jobs/spare_worker.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/scoped_env.h"

namespace tw::jobs {
namespace {

// A worker that says who it is, then waits for its request.
std::string WaitingScript(const test::TempFolder& folder, const std::string& name) {
    const std::string script = folder / (name + ".sh");
    std::ofstream(script) << "#!/bin/sh\necho $$ > '" << folder / (name + ".pid") << ".new'\nmv '"
                          << folder / (name + ".pid") << ".new' '" << folder / (name + ".pid")
                          << "'\nread request\necho taken\n";
    chmod(script.c_str(), 0755);
    return script;
}

// The pid the spare of name wrote, once it has started.
pid_t StartedPid(const test::TempFolder& folder, const std::string& name) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        pid_t pid = 0;
        if (std::ifstream(folder / (name + ".pid")) >> pid) {
            return pid;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
}

TEST(SpareWorker, ADeadOrOtherProgramsSpareIsNeverHandedOut) {
    test::TempFolder folder;
    const std::string first = WaitingScript(folder, "first");
    const std::string second = WaitingScript(folder, "second");
    SpareWorker& spares = SpareWorker::Instance();
    spares.SetEnabled(true);

    EXPECT_EQ(spares.Take(first), nullptr);  // none yet; one is started
    const pid_t dead = StartedPid(folder, "first");
    ASSERT_GT(dead, 0);
    ASSERT_EQ(kill(dead, SIGKILL), 0);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(dead), &info, WEXITED | WNOWAIT), 0);
    EXPECT_EQ(spares.Take(first), nullptr);  // reaped, and another started
    std::filesystem::remove(folder / "first.pid");
    const pid_t waiting = StartedPid(folder, "first");
    ASSERT_GT(waiting, 0);
    EXPECT_EQ(spares.Take(second), nullptr);  // of the other program: ended, reaped
    EXPECT_EQ(kill(waiting, 0), -1);
    const pid_t next = StartedPid(folder, "second");
    ASSERT_GT(next, 0);
    const std::unique_ptr<WorkerProcess> taken = spares.Take(second);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->Pid(), next);

    spares.SetEnabled(false);                     // the one started after it is ended and reaped
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), 0);  // only the one taken is left
}

}  // namespace
}  // namespace tw::jobs
