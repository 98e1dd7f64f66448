// The program killed in the middle of a conversion: the task database still opens and lists
// the task as unfinished.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/conversion_runner.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"

namespace tw::test {
namespace {

using namespace std::chrono_literals;

// The child's part: start a long real-time conversion, say so once it is converting, and keep
// serving the UI thread until killed. Never returns.
[[noreturn]] void ConvertUntilKilled(const std::string& home, int readyFd) {
    {
        TaskWorld world(home);
        world.explorer.Show(world.Converting(), world.list);
        auto settings = std::make_unique<TConversionSettings>();
        settings->SetSourceFile(LavfiSource(160, 120, "25", 30));
        settings->SetTargetFile(home + "/killed.mp4");
        settings->SetCategoryId(1);
        settings->ConvertOptions().SetInputFormat("lavfi");
        settings->ConvertOptions().Engine.RateEmulation = true;
        TAVTask& task = world.Converting().AddTask(std::move(settings));
        const bool converting =
            world.RunUntil([&] { return task.Converter().ConvertedDuration() > 0.5; }, 60s);
        const char answer = converting ? 'y' : 'n';
        if (write(readyFd, &answer, 1) != 1 || !converting) {
            _exit(2);
        }
        world.Pump(60s);
    }
    _exit(3);
}

TEST(TasksCrash, KilledMidConversionLeavesTaskUnfinishedInAnOpenableDatabase) {
    TempFolder home;
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        ConvertUntilKilled(home.Path().string(), pipeFds[1]);
    }
    close(pipeFds[1]);
    char answer = 0;
    const ssize_t got = read(pipeFds[0], &answer, 1);
    close(pipeFds[0]);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(got, 1);
    ASSERT_EQ(answer, 'y');
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    TaskWorld world(home.Path().string());
    SqliteStatement check = world.persistence->Database().Prepare("pragma integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(check.Text("integrity_check"), "ok");

    world.explorer.Show(world.Converting(), world.list);
    ASSERT_EQ(world.list.RowCount(), 1);
    TAVTask& task = *world.list.rows[0];
    EXPECT_EQ(task.Status(), stError);
    EXPECT_EQ(task.StatusText(), "Interrupted");
    EXPECT_EQ(task.CategoryId(), 1);
    EXPECT_EQ(task.Settings().TargetFile(), home / "killed.mp4");
    auto rows = ReadStoredTasks(world.persistence->Database());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].converting);
    EXPECT_TRUE(world.messages.Errors().empty());
}

}  // namespace
}  // namespace tw::test
