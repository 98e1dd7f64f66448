#include "platform/work_pool.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <string>

#include "platform/message_service.h"

namespace tw::platform {

namespace {

// How far below the window's thread the pool's threads run.
constexpr int kBelowTheWindow = 10;

}  // namespace

struct WorkPool::State {
    explicit State(UiDispatcher& ui) : dispatcher(ui) {}

    UiDispatcher& dispatcher;
    std::mutex mutex;  // guards everything below
    std::condition_variable wake;
    std::deque<Work> queue;
    std::vector<bool> busy;  // per thread: carrying out work now
    bool closed = false;
    int outstanding = 0;
};

WorkPool::WorkPool(UiDispatcher& dispatcher, int threads)
    : state_(std::make_shared<State>(dispatcher)) {
    const size_t count = static_cast<size_t>(std::max(1, threads));
    state_->busy.assign(count, false);
    for (size_t i = 0; i < count; ++i) {
        threads_.emplace_back([state = state_, i] { Serve(state, i); });
    }
}

WorkPool::~WorkPool() {
    std::deque<Work> dropped;
    std::vector<size_t> idle;
    {
        std::lock_guard lock(state_->mutex);
        state_->closed = true;
        dropped.swap(state_->queue);
        for (size_t i = 0; i < threads_.size(); ++i) {
            if (state_->busy[i]) {
                // Its work may never return; the shared state stays alive for it.
                threads_[i].detach();
            } else {
                idle.push_back(i);
            }
        }
    }
    state_->wake.notify_all();
    for (const size_t i : idle) {
        threads_[i].join();
    }
}

void WorkPool::Submit(Work work) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->closed) {
            return;
        }
        state_->queue.push_back(std::move(work));
        ++state_->outstanding;
    }
    state_->wake.notify_one();
}

int WorkPool::Outstanding() const {
    std::lock_guard lock(state_->mutex);
    return state_->outstanding;
}

void WorkPool::Serve(const std::shared_ptr<State>& state, size_t index) {
    pthread_setname_np(pthread_self(), "Background");
    // Examining files and the like must never take the processor from the window's thread:
    // the pool runs below it (a thread's nice value is its own on Linux).
    const id_t self = static_cast<id_t>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno == 0) {
        setpriority(PRIO_PROCESS, self, std::min(nice + kBelowTheWindow, 19));
    }
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->closed || !state->queue.empty(); });
        if (state->closed) {
            return;
        }
        Work work = std::move(state->queue.front());
        state->queue.pop_front();
        state->busy[index] = true;
        lock.unlock();

        std::function<void()> answer;
        try {
            answer = work();
        } catch (const std::exception& e) {
            answer = [text = std::string(e.what())] { Messages().ShowError(text); };
        }
        work = nullptr;

        lock.lock();
        state->busy[index] = false;
        if (state->closed) {
            // Nobody is left to hear it; whatever it holds goes here, off the UI thread.
            lock.unlock();
            answer = nullptr;
            return;
        }
        if (state->dispatcher.IsUiThread()) {
            // No event loop to go to (a direct dispatcher): the answer runs here.
            --state->outstanding;
            lock.unlock();
            if (answer) {
                answer();
            }
            answer = nullptr;
            lock.lock();
            continue;
        }
        // Posted under the lock, so that the pool's end cannot come between the check above and
        // the dispatcher taking the answer.
        state->dispatcher.Post([state, answer = std::move(answer)] {
            {
                std::lock_guard answerLock(state->mutex);
                if (state->closed) {
                    return;
                }
                --state->outstanding;
            }
            if (answer) {
                answer();
            }
        });
    }
}

}  // namespace tw::platform
