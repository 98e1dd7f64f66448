#pragma once

// A converter's run carried out by a worker process. The converter's worker thread, instead of
// running the engine, runs the supervisor and turns the worker's reports into the converter's
// own figures and events, in the order and on the threads an in-process run raises them: the
// owner cannot tell the two apart, except that a worker that dies fails only its own run, with
// "The conversion process ended unexpectedly: ..." and the last lines it logged.

#include "engine/converter.h"
#include "jobs/worker_supervisor.h"

namespace tw {

class TAVConverter::RemoteRun : public jobs::SupervisorEvents {
public:
    explicit RemoteRun(TAVConverter& owner) : owner_(owner) {}

    // The whole run, on the converter's worker thread: from the request to the end events.
    void Run();
    // The owner's pause, resume or stop reach the worker at once. Any thread.
    void ControlChanged() { supervisor_.ControlChanged(); }

    void Started(const jobs::RunFigures& figures) override;
    void Progress(const jobs::RunFigures& figures) override;
    void Log(int level, const std::string& text) override;
    void Message(jobs::Report::MessageKind kind, const std::string& text) override;
    void PauseHeld(bool held, const jobs::RunFigures& figures) override;
    void Stopped(const jobs::RunFigures& figures) override;
    void Failed(const jobs::RunTexts& texts) override;
    void Done(const jobs::RunFigures& figures, const jobs::RunTexts& texts) override;
    jobs::Control Wanted() override;

private:
    void Adopt(const jobs::RunFigures& figures);
    void Adopt(const jobs::RunTexts& texts);
    // A worker that died cannot finish or remove its targets; this side judges them as a failed
    // run's, once it knows they are the worker's own.
    void NoteTargets();

    TAVConverter& owner_;
    jobs::WorkerSupervisor supervisor_;
    std::vector<engine::TargetOutcome> targets_;
};

}  // namespace tw
