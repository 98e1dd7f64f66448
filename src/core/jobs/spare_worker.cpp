#include "jobs/spare_worker.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <thread>
#include <utility>
#include <vector>

#include "util/av_error.h"

namespace tw::jobs {

namespace {

bool HasEnded(const WorkerProcess& process) {
    pollfd exit{process.ExitFd(), POLLIN, 0};
    return poll(&exit, 1, 0) != 0;
}

}  // namespace

SpareWorker& SpareWorker::Instance() {
    static SpareWorker* const instance = new SpareWorker;
    return *instance;
}

std::unique_ptr<WorkerProcess> SpareWorker::Take(const std::string& program) {
    std::unique_ptr<WorkerProcess> taken;
    std::unique_ptr<WorkerProcess> stale;  // ended and reaped outside the lock
    {
        std::lock_guard lock(mutex_);
        AdoptThisProcess();
        if (spare_) {
            if (spareProgram_ == program && !HasEnded(*spare_)) {
                taken = std::move(spare_);
            } else {
                stale = std::move(spare_);
            }
        }
        if (enabled_) {
            wanted_ = program;
            if (!keeperStarted_) {
                std::thread([this] { Keep(); }).detach();
                keeperStarted_ = true;
            }
        }
    }
    changed_.notify_all();
    return taken;
}

void SpareWorker::SetEnabled(bool enabled) {
    std::unique_ptr<WorkerProcess> dropped;
    {
        std::unique_lock lock(mutex_);
        AdoptThisProcess();
        enabled_ = enabled;
        if (!enabled) {
            wanted_.clear();
            changed_.wait(lock, [this] { return !starting_; });
            dropped = std::move(spare_);
        }
    }
    changed_.notify_all();
}

void SpareWorker::LimitStarts(int count) {
    {
        std::lock_guard lock(mutex_);
        startsLeft_ = count;
    }
    changed_.notify_all();
}

void SpareWorker::AdoptThisProcess() {
    if (owner_ == getpid()) {
        return;
    }
    // A child forked from the process that started them: the keeper thread did not come along,
    // and the spare is the other process's child.
    if (spare_) {
        spare_->Disown();
        spare_.reset();
    }
    keeperStarted_ = false;
    starting_ = false;
    owner_ = getpid();
}

void SpareWorker::Keep() {
    // Not the name of the run's thread that started it.
    pthread_setname_np(pthread_self(), "Spare worker");
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !wanted_.empty() && !spare_ && startsLeft_ != 0; });
        const std::string program = wanted_;
        starting_ = true;
        if (startsLeft_ > 0) {
            --startsLeft_;
        }
        lock.unlock();
        std::unique_ptr<WorkerProcess> started;
        bool failed = false;
        try {
            started =
                std::make_unique<WorkerProcess>(program, std::vector<std::string>{"--worker"});
        } catch (const EAVError&) {
            // The run that asks next starts its own and says why.
            failed = true;
        }
        lock.lock();
        // Not wanted any more: killed and reaped before anyone is told it is gone.
        while (started && !(enabled_ && wanted_ == program)) {
            lock.unlock();
            started.reset();
            lock.lock();
        }
        starting_ = false;
        if (started) {
            spare_ = std::move(started);
            spareProgram_ = program;
        } else if (failed) {
            wanted_.clear();
        }
        changed_.notify_all();
    }
}

}  // namespace tw::jobs
