#pragma once

// The parent's side of one conversion in a worker process: starts the worker, hands it the
// request, turns its report lines into calls on SupervisorEvents, forwards the owner's pause,
// resume and stop, and watches it: a worker that ends without a result, is killed, writes a line
// that is no report, or gives no sign of life for a while (unless paused) is ended and reaped,
// and the outcome says what happened in words.

#include <chrono>
#include <string>
#include <vector>

#include "jobs/worker_process.h"
#include "jobs/worker_report.h"

namespace tw::jobs {

// Called on the thread that runs WorkerSupervisor::Run, in the order the worker reported.
class SupervisorEvents {
public:
    virtual ~SupervisorEvents() = default;
    virtual void Started(const RunFigures& figures) = 0;
    virtual void Progress(const RunFigures& figures) = 0;
    virtual void Log(int level, const std::string& text) = 0;
    virtual void Message(Report::MessageKind kind, const std::string& text) = 0;
    // The run came to a pause and holds it (held), or left it.
    virtual void PauseHeld(bool held, const RunFigures& figures) = 0;
    virtual void Stopped(const RunFigures& figures) = 0;
    // The run failed; the worker has shown its message already (as a Message).
    virtual void Failed(const RunTexts& texts) = 0;
    virtual void Done(const RunFigures& figures, const RunTexts& texts) = 0;
    // What the owner wants of the run now; asked after every report and wake-up.
    virtual Control Wanted() = 0;
};

struct WorkerOutcome {
    bool began = false;      // the run's loop began
    bool completed = false;  // the worker's run completed (see Report::completed)
    bool failed = false;     // the worker reported the run's failure (Failed was called)
    // The worker refused the request or could not be started: why, in words.
    std::string refusal;
    // The worker ended without a proper result, in words: "killed by signal 9 (Killed)".
    std::string death;
    // The last lines it logged or wrote on its standard error, oldest first.
    std::vector<std::string> lastLines;
};

class WorkerSupervisor {
public:
    // How long a worker that is not paused may stay silent, not counting the time its main
    // thread waited for a processor; it reports at least every second.
    static constexpr std::chrono::milliseconds kSilenceLimit{30000};

    explicit WorkerSupervisor(std::chrono::milliseconds silenceLimit = kSilenceLimit);
    WorkerSupervisor(const WorkerSupervisor&) = delete;
    WorkerSupervisor& operator=(const WorkerSupervisor&) = delete;

    // Runs the request (RequestLine) in a worker (FindWorkerProgram) to its end; the worker is
    // reaped before this returns. One run at a time.
    WorkerOutcome Run(const std::string& request, SupervisorEvents& events);
    // Wakes Run to ask Wanted again. Any thread.
    void ControlChanged();

private:
    std::chrono::milliseconds silenceLimit_;
    UniqueFd wake_;  // an eventfd
};

}  // namespace tw::jobs
