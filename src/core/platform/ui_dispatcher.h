#pragma once

// How work reaches the user-interface thread. Workers Post (fire and forget) or RunBlocking (run
// there and wait, exceptions coming back to the caller). The front end installs the dispatcher
// of its event loop; the command line and tests use LoopDispatcher; without any, a
// DirectDispatcher runs everything at once on the calling thread.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tw::platform {

class UiDispatcher {
public:
    virtual ~UiDispatcher() = default;
    // Queues task for the UI thread and returns at once. Any thread.
    virtual void Post(std::function<void()> task) = 0;
    // Runs task on the UI thread and waits for it; on the UI thread it runs at once.
    virtual void RunBlocking(std::function<void()> task) = 0;
    // Runs the queued tasks. Only on the UI thread; elsewhere it does nothing.
    virtual void ProcessPending() = 0;
    virtual bool IsUiThread() const = 0;
};

// RunBlocking from a thread other than the UI thread: posts task to dispatcher and waits until
// it has run there; an exception it throws is thrown here.
void PostAndWait(UiDispatcher& dispatcher, std::function<void()> task);

class DirectDispatcher : public UiDispatcher {
public:
    void Post(std::function<void()> task) override { task(); }
    void RunBlocking(std::function<void()> task) override { task(); }
    void ProcessPending() override {}
    bool IsUiThread() const override { return true; }
};

// A simple event loop: the thread that creates it is the UI thread.
class LoopDispatcher : public UiDispatcher {
public:
    LoopDispatcher();
    ~LoopDispatcher() override;

    void Post(std::function<void()> task) override;
    void RunBlocking(std::function<void()> task) override;
    void ProcessPending() override;
    bool IsUiThread() const override;

    // Runs tasks as they come until done() holds (checked after every task and at least every
    // 10 ms) or the timeout passes. Returns done(). UI thread only.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Runs tasks until Quit is called (from any thread, or by a task).
    void Run();
    void Quit();

private:
    std::thread::id uiThread_;
    std::mutex mutex_;  // guards queue_ and quit_
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool quit_ = false;
};

// The installed dispatcher, else a process-wide DirectDispatcher.
UiDispatcher& Dispatcher();

class ScopedDispatcher {
public:
    explicit ScopedDispatcher(UiDispatcher& dispatcher);
    ~ScopedDispatcher();
    ScopedDispatcher(const ScopedDispatcher&) = delete;
    ScopedDispatcher& operator=(const ScopedDispatcher&) = delete;

private:
    UiDispatcher* previous_;
};

}  // namespace tw::platform
