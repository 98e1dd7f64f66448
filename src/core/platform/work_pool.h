#pragma once

// Slow work the user-interface thread hands off: opening and probing media, listing drives,
// scanning discs, waiting for a run to wind down. The work runs on one of a few pool threads;
// its answer comes back to the UI thread through the dispatcher.
//
// The UI thread never waits for the pool. When the pool goes, work not yet begun is dropped and
// work still running is let go without waiting: a file that delivers nothing (a stalled pipe, a
// hung drive) keeps the thread reading it inside the kernel, where nothing interrupts it, and the
// program must be able to end all the same. Such a thread ends by itself once its work returns,
// and its answer then goes nowhere. So work owns everything it uses (captured by value, shared
// objects by shared_ptr) and touches nothing of the UI thread's; only its answer does, on the UI
// thread, and an answer must check that what it reports to is still there (a window may have
// closed meanwhile).

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ui_dispatcher.h"

namespace tw::platform {

class WorkPool {
public:
    // What a piece of work does on its pool thread: returns what then runs on the UI thread
    // (nothing when it returns an empty function).
    using Work = std::function<std::function<void()>()>;

    static constexpr int kDefaultThreads = 4;

    // dispatcher must outlive the pool. UI thread.
    explicit WorkPool(UiDispatcher& dispatcher, int threads = kDefaultThreads);
    // Drops the work not begun; joins the idle threads and lets the busy ones go. UI thread.
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    // Runs work on a pool thread. An exception it throws is shown as an error box. Any thread.
    void Submit(Work work);

    // work() on a pool thread, then done(its result) on the UI thread.
    template <typename Compute, typename Done>
    void Run(Compute compute, Done done) {
        Submit([compute = std::move(compute), done = std::move(done)]() -> std::function<void()> {
            auto result = std::make_shared<decltype(compute())>(compute());
            return [done, result] { done(std::move(*result)); };
        });
    }

    // Work submitted whose answer has not run yet (queued, running, or on its way). UI thread.
    int Outstanding() const;

private:
    struct State;
    static void Serve(const std::shared_ptr<State>& state, size_t index);

    std::shared_ptr<State> state_;
    std::vector<std::thread> threads_;
};

}  // namespace tw::platform
