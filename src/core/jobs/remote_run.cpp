#include "jobs/remote_run.h"

#include "jobs/conversion_request.h"
#include "platform/message_service.h"
#include "platform/process_priority.h"

namespace tw {

void TAVConverter::RemoteRun::Run() {
    const jobs::ConversionRequest request{owner_.inputFiles_, owner_.outputFiles_, owner_.logLevel_,
                                          platform::ConversionPriority()};
    const jobs::WorkerOutcome outcome =
        supervisor_.Run(jobs::RequestLine(request, owner_.options_), *this);
    owner_.pauseHeld_.store(false);
    if (!outcome.death.empty()) {
        owner_.DiscardUnusableTargets(targets_);
    }
    if (!outcome.refusal.empty() || !outcome.death.empty()) {
        {
            std::lock_guard lock(owner_.textMutex_);
            if (!outcome.refusal.empty()) {
                owner_.errorMessage_ = outcome.refusal;
                owner_.lastLogMessage_.clear();
                owner_.failureText_ = outcome.refusal;
            } else {
                owner_.errorMessage_ =
                    "The conversion process ended unexpectedly: " + outcome.death;
                owner_.lastLogMessage_ =
                    outcome.lastLines.empty() ? std::string() : outcome.lastLines.back();
                // The words, then what it said last, a line each.
                owner_.failureText_ = owner_.errorMessage_;
                for (const std::string& line : outcome.lastLines) {
                    owner_.failureText_ += "\n" + line;
                }
            }
        }
        owner_.DoError();
    }
    const bool stopped = owner_.LeaveRun();
    if (outcome.began) {
        // A worker that died in the loop ends like a run that failed there: completion follows
        // the error.
        owner_.DoComplete(stopped || (outcome.death.empty() && !outcome.completed));
    }
}

void TAVConverter::RemoteRun::Started(const jobs::RunFigures& figures) {
    NoteTargets();
    Adopt(figures);
    owner_.EnterLoopState();
    // The loop's first pass reports progress, as every pass does.
    owner_.PostProgress();
}

void TAVConverter::RemoteRun::Progress(const jobs::RunFigures& figures) {
    Adopt(figures);
    owner_.PostProgress();
}

void TAVConverter::RemoteRun::Log(int level, const std::string& text) {
    owner_.DoLog(level, text);
}

void TAVConverter::RemoteRun::Message(jobs::Report::MessageKind kind, const std::string& text) {
    owner_.Dispatcher().RunBlocking([kind, &text] {
        if (kind == jobs::Report::MessageKind::Information) {
            platform::Messages().ShowInformation(text);
        } else {
            platform::Messages().ShowError(text);
        }
    });
}

void TAVConverter::RemoteRun::PauseHeld(bool held, const jobs::RunFigures& figures) {
    Adopt(figures);
    owner_.pauseHeld_.store(held);
}

void TAVConverter::RemoteRun::Stopped(const jobs::RunFigures& figures) {
    Adopt(figures);
    owner_.DoStopped();
}

void TAVConverter::RemoteRun::Failed(const jobs::RunTexts& texts) {
    Adopt(texts);
    // The worker's converter has shown the failure's message; only the event is left.
    owner_.Dispatcher().RunBlocking([this, alive = owner_.alive_] {
        if (alive->load() && owner_.onError_) {
            owner_.onError_(owner_);
        }
    });
}

void TAVConverter::RemoteRun::Done(const jobs::RunFigures& figures, const jobs::RunTexts& texts) {
    Adopt(figures);
    Adopt(texts);
}

jobs::Control TAVConverter::RemoteRun::Wanted() {
    return owner_.WantedControl();
}

void TAVConverter::RemoteRun::Adopt(const jobs::RunFigures& figures) {
    owner_.duration_.store(figures.duration);
    owner_.convertedDuration_.store(figures.convertedDuration);
    owner_.bitrate_.store(figures.bitrate);
    owner_.startTime_.store(figures.startTime);
    owner_.lastTime_.store(figures.lastTime);
    owner_.outputSize_.store(figures.outputSize);
    owner_.inputSize_.store(figures.inputSize);
    // Whole seconds are what the owner reads of it.
    owner_.elapsedUs_.store(figures.elapsed * 1000000);
}

void TAVConverter::RemoteRun::Adopt(const jobs::RunTexts& texts) {
    std::lock_guard lock(owner_.textMutex_);
    owner_.errorMessage_ = texts.errorMessage;
    owner_.lastLogMessage_ = texts.lastLogMessage;
    owner_.failureText_ = texts.failureText;
    owner_.completionNote_ = texts.completionNote;
}

void TAVConverter::RemoteRun::NoteTargets() {
    // The loop begins once the worker has opened its targets: the files the names lead to now
    // are its own.
    for (const std::string& path : owner_.outputFiles_) {
        engine::TargetOutcome target;
        if (engine::TargetFile::Identify(path, &target.file)) {
            // How much went in is the worker's knowledge; whether the file plays decides.
            target.packets = 1;
            targets_.push_back(target);
        }
    }
}

}  // namespace tw
