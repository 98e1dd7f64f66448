#include "platform/ui_dispatcher.h"

#include <atomic>
#include <exception>
#include <memory>

namespace tw::platform {

namespace {
std::atomic<UiDispatcher*> installed{nullptr};
}  // namespace

void PostAndWait(UiDispatcher& dispatcher, std::function<void()> task) {
    struct Call {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::exception_ptr error;
    };
    auto call = std::make_shared<Call>();
    dispatcher.Post([task = std::move(task), call] {
        std::exception_ptr error;
        try {
            task();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(call->mutex);
            call->error = std::move(error);
            call->done = true;
        }
        call->ended.notify_all();
    });
    std::exception_ptr error;
    {
        std::unique_lock lock(call->mutex);
        call->ended.wait(lock, [&call] { return call->done; });
        // Taken out of the call: the waiting thread alone owns the exception from here on, so
        // it is freed where it is handled, not whenever the UI thread drops the call.
        error = std::move(call->error);
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

LoopDispatcher::LoopDispatcher() : uiThread_(std::this_thread::get_id()) {}

LoopDispatcher::~LoopDispatcher() = default;

void LoopDispatcher::Post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void LoopDispatcher::RunBlocking(std::function<void()> task) {
    if (IsUiThread()) {
        task();
        return;
    }
    PostAndWait(*this, std::move(task));
}

void LoopDispatcher::ProcessPending() {
    if (!IsUiThread()) {
        return;
    }
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
    }
    for (auto& task : batch) {
        task();
    }
}

bool LoopDispatcher::IsUiThread() const {
    return std::this_thread::get_id() == uiThread_;
}

bool LoopDispatcher::RunUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        ProcessPending();
        if (done()) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return done();
        }
        std::unique_lock lock(mutex_);
        wake_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(10)),
                         [this] { return !queue_.empty(); });
    }
}

void LoopDispatcher::Run() {
    while (true) {
        ProcessPending();
        std::unique_lock lock(mutex_);
        if (quit_) {
            quit_ = false;
            return;
        }
        wake_.wait(lock, [this] { return !queue_.empty() || quit_; });
    }
}

void LoopDispatcher::Quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
}

UiDispatcher& Dispatcher() {
    static DirectDispatcher fallback;
    UiDispatcher* dispatcher = installed.load();
    return dispatcher ? *dispatcher : fallback;
}

ScopedDispatcher::ScopedDispatcher(UiDispatcher& dispatcher)
    : previous_(installed.exchange(&dispatcher)) {}

ScopedDispatcher::~ScopedDispatcher() {
    installed.store(previous_);
}

}  // namespace tw::platform
