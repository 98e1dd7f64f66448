#pragma once

// A worker started ahead of need: loading the worker program and its libraries (a few hundred
// of them) takes the better part of 200 ms, so one is kept loaded and waiting for its request on
// standard input, and a conversion takes it instead of starting its own. Taking one asks for the
// next.
//
// The spare is started on a thread of its own that lives as long as this process, so it gets
// SIGKILL with the process (PR_SET_PDEATHSIG follows the starting thread). It starts at the
// priority of the thread that first took one (a run's thread, which a run in a worker leaves at
// the program's own); the request it is handed carries the conversion's, which it takes before
// it starts any thread of its own. A spare that is not taken is killed and reaped when spares
// are switched off. Any thread.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "jobs/worker_process.h"

namespace tw::jobs {

class SpareWorker {
public:
    // The one of this process; never destroyed (a run may still take its spare while the
    // process ends).
    static SpareWorker& Instance();

    // A spare of program, still alive, or null (the caller starts a worker itself). Unless
    // switched off, another spare is started in the background.
    std::unique_ptr<WorkerProcess> Take(const std::string& program);

    // On by default. Off ends and reaps the waiting spare, if any, before it returns, and
    // starts no more.
    void SetEnabled(bool enabled);

    // At most count more spares are started (the command line knows how many of its files
    // wait for a free slot); negative: as many as are taken, the default.
    void LimitStarts(int count);

private:
    SpareWorker() = default;
    void AdoptThisProcess();  // with mutex_ held
    void Keep();

    std::mutex mutex_;
    std::condition_variable changed_;
    bool enabled_ = true;
    bool starting_ = false;     // the keeper is starting one
    int startsLeft_ = -1;       // negative: no limit
    std::string wanted_;        // the program a spare is wanted of; empty: none wanted
    std::string spareProgram_;  // what spare_ runs
    std::unique_ptr<WorkerProcess> spare_;
    bool keeperStarted_ = false;  // by the first Take; it is never joined
    pid_t owner_ = 0;             // the process the keeper and spare_ belong to
};

}  // namespace tw::jobs
