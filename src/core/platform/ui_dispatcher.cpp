#include "platform/ui_dispatcher.h"

#include <atomic>
#include <exception>
#include <future>

namespace tw::platform {

namespace {
std::atomic<UiDispatcher*> installed{nullptr};
}  // namespace

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
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    Post([task = std::move(task), done] {
        try {
            task();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    finished.get();
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
