#include "platform/ui_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace tw::platform {
namespace {

using namespace std::chrono_literals;

// Generous: only reached when a test is about to fail anyway.
constexpr auto kPatience = 60s;

TEST(LoopDispatcher, PostFromAWorkerRunsOnTheUiThread) {
    LoopDispatcher loop;
    std::atomic<bool> ran{false};
    std::thread::id ranOn;
    std::jthread worker([&] {
        loop.Post([&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
        // The worker is not the UI thread, so this must not run the task.
        loop.ProcessPending();
    });
    worker.join();
    EXPECT_FALSE(ran) << "nothing runs until the UI thread processes the queue";

    EXPECT_TRUE(loop.RunUntil([&] { return ran.load(); }, kPatience));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(LoopDispatcher, RunBlockingWaitsForTheTaskAndReturnsItsException) {
    LoopDispatcher loop;
    std::atomic<bool> finished{false};
    bool taskDoneWhenReturned = false;
    std::string caught;
    std::thread::id ranOn;

    std::jthread worker([&] {
        bool taskDone = false;
        loop.RunBlocking([&] {
            ranOn = std::this_thread::get_id();
            taskDone = true;
        });
        taskDoneWhenReturned = taskDone;
        try {
            loop.RunBlocking([] { throw std::runtime_error("refused on the UI thread"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        finished = true;
    });

    ASSERT_TRUE(loop.RunUntil([&] { return finished.load(); }, kPatience));
    worker.join();
    EXPECT_TRUE(taskDoneWhenReturned);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(caught, "refused on the UI thread");

    // On the UI thread itself the task runs at once.
    bool direct = false;
    loop.RunBlocking([&] { direct = true; });
    EXPECT_TRUE(direct);
}

TEST(LoopDispatcher, RunUntilGivesUpAfterTheTimeout) {
    LoopDispatcher loop;
    int calls = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(loop.RunUntil(
        [&] {
            ++calls;
            return false;
        },
        50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_GE(calls, 2) << "the condition is checked while waiting, not only once";
}

TEST(LoopDispatcher, RunEndsWhenATaskQuits) {
    LoopDispatcher loop;
    int order = 0;
    int first = 0;
    int second = 0;
    std::jthread worker([&] {
        loop.Post([&] { first = ++order; });
        loop.Post([&] {
            second = ++order;
            loop.Quit();
        });
    });
    loop.Run();
    worker.join();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
}

TEST(UiDispatcher, InstalledDispatcherIsUsedUntilItsScopeEnds) {
    bool ranAtOnce = false;
    Dispatcher().Post([&] { ranAtOnce = true; });
    EXPECT_TRUE(ranAtOnce) << "without a dispatcher, work runs on the calling thread";

    LoopDispatcher loop;
    {
        ScopedDispatcher scope(loop);
        EXPECT_EQ(&Dispatcher(), &loop);
        bool queued = false;
        Dispatcher().Post([&] { queued = true; });
        EXPECT_FALSE(queued);
        loop.ProcessPending();
        EXPECT_TRUE(queued);
    }
    EXPECT_NE(&Dispatcher(), &loop);
}

}  // namespace
}  // namespace tw::platform
