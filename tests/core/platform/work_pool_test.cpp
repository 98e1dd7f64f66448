#include "platform/work_pool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace tw::platform {
namespace {

using namespace std::chrono_literals;

constexpr auto kPatience = 20s;

TEST(WorkPool, WorkRunsOffTheUiThreadAndItsAnswerOnIt) {
    LoopDispatcher loop;
    WorkPool pool(loop, 2);
    std::thread::id workedOn;
    std::thread::id answeredOn;
    int workNice = 0;
    int answer = 0;
    pool.Run(
        [&] {
            workedOn = std::this_thread::get_id();
            workNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
            return 42;
        },
        [&](int result) {
            answeredOn = std::this_thread::get_id();
            answer = result;
        });
    ASSERT_TRUE(loop.RunUntil([&] { return answer != 0; }, kPatience));
    EXPECT_EQ(answer, 42);
    EXPECT_NE(workedOn, std::this_thread::get_id());
    EXPECT_EQ(answeredOn, std::this_thread::get_id());
    EXPECT_EQ(pool.Outstanding(), 0);
    // Below the window's thread, so examining files never takes the processor from it.
    const int ownNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (ownNice < 19) {
        EXPECT_GT(workNice, ownNice);
    }
}

// Work stuck where nothing interrupts it does not hold up the pool's end; once it returns, its
// answer goes nowhere and its thread ends by itself.
TEST(WorkPool, EndsWithoutWaitingForStuckWorkWhoseAnswerIsDropped) {
    LoopDispatcher loop;
    auto release = std::make_shared<std::promise<void>>();
    auto returned = std::make_shared<std::promise<void>>();
    auto started = std::make_shared<std::promise<void>>();
    bool answered = false;
    bool queuedRan = false;
    {
        WorkPool pool(loop, 1);
        pool.Submit([release, returned, started, &answered]() -> std::function<void()> {
            started->set_value();
            release->get_future().wait();
            returned->set_value();
            return [&answered] { answered = true; };
        });
        pool.Submit([&queuedRan]() -> std::function<void()> {
            queuedRan = true;
            return {};
        });
        ASSERT_EQ(started->get_future().wait_for(kPatience), std::future_status::ready);
    }
    release->set_value();
    ASSERT_EQ(returned->get_future().wait_for(kPatience), std::future_status::ready);
    loop.ProcessPending();
    EXPECT_FALSE(answered);
    EXPECT_FALSE(queuedRan) << "work not begun when the pool ended is dropped";
}

}  // namespace
}  // namespace tw::platform
