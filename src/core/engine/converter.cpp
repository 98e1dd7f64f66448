#include "engine/converter.h"

#include <malloc.h>
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/time.h>
}

#include "engine/conversion_run.h"
#include "jobs/remote_run.h"
#include "media/stream_registry.h"
#include "platform/message_service.h"
#include "platform/process_priority.h"
#include "segments/segmented_run.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/string_list.h"

namespace tw {

// The converter's side of a run, seen from the engine and the log router; lives as long as
// the converter and is used only on the worker thread.
class TAVConverter::Worker : public engine::RunHost, public media::LogSink {
public:
    explicit Worker(TAVConverter& owner) : owner_(owner) {}

    int LogLevel() const override { return owner_.logLevel_; }
    void OnLibraryLog(int level, const std::string& text) override {
        if (level <= AV_LOG_ERROR && watchedError_.empty()) {
            watchedError_ = Trim(text);
        }
        {
            std::lock_guard lock(owner_.textMutex_);
            // After a failure its cause stays, whatever the release of the run logs.
            if (!owner_.failed_) {
                owner_.lastLogMessage_ = text;
            }
        }
        owner_.DoLog(level, text);
    }
    void WatchLibraryErrors() override {
        if (!watchedError_.empty()) {
            watchedError_.clear();
        }
    }
    std::string WatchedLibraryError() const override { return watchedError_; }

    void Log(int level, const std::string& text) override { owner_.DoLog(level, text); }
    void ShowError(const std::string& text) override {
        owner_.Dispatcher().RunBlocking([&text] { platform::Messages().ShowError(text); });
    }
    void SetDuration(double seconds) override { owner_.duration_.store(seconds); }
    void SetConvertedDuration(double seconds) override { owner_.convertedDuration_.store(seconds); }
    void LoopStarting() override { owner_.startTime_.store(av_gettime()); }
    bool Pass() override {
        owner_.PostProgress();
        owner_.WaitWhilePaused();
        if (owner_.state_.load() == RunState::StopRequested) {
            owner_.DoStopped();
            return false;
        }
        return true;
    }
    bool StopRequested() const override { return owner_.state_.load() == RunState::StopRequested; }
    bool ReportDue(bool last) override {
        if (last) {
            return true;
        }
        const int64_t now = av_gettime();
        const int64_t previous = owner_.lastTime_.load();
        if (previous == 0) {
            owner_.MarkReportTime(now);
            return false;
        }
        if (now - previous < 500000) {
            return false;
        }
        owner_.MarkReportTime(now);
        return true;
    }
    void Converted() override {
        // The last packets leave the loop after its last pass; a finished run is complete.
        const TAVConvertOptions& options = owner_.options_;
        const double duration = owner_.duration_.load();
        if (duration > 0) {
            const double span = duration - static_cast<double>(options.StartTime()) / 1000000.0;
            const double limit = static_cast<double>(options.RecordingTime()) / 1000000.0;
            owner_.convertedDuration_.store(std::max(0.0, std::min(span, limit)));
        }
    }
    void EndedEarly(double converted, double expected) override {
        const std::string note =
            FormatPrintf("The source ended early: %.1f s of %.1f s converted", converted, expected);
        owner_.convertedDuration_.store(converted);
        {
            std::lock_guard lock(owner_.textMutex_);
            owner_.completionNote_ = note;
        }
        owner_.DoLog(AV_LOG_WARNING, note);
    }
    void Report(int64_t outputSize, int64_t inputSize, double outputSeconds) override {
        owner_.outputSize_.store(outputSize);
        owner_.inputSize_.store(inputSize);
        owner_.bitrate_.store(static_cast<double>(outputSize) * 8.0 / outputSeconds / 1000.0);
    }

private:
    TAVConverter& owner_;
    std::string watchedError_;  // worker thread only, as the lines it is taken from
};

TAVConverter::TAVConverter(platform::UiDispatcher* dispatcher)
    : dispatcher_(dispatcher),
      alive_(std::make_shared<std::atomic<bool>>(true)),
      worker_(std::make_unique<Worker>(*this)) {}

TAVConverter::~TAVConverter() {
    // Events still on their way must not reach an owner that is going away.
    alive_->store(false);
    if (thread_.joinable()) {
        Stop();
        WaitForEnd(std::chrono::hours(24 * 365));
    }
}

platform::UiDispatcher& TAVConverter::Dispatcher() const {
    return dispatcher_ ? *dispatcher_ : platform::Dispatcher();
}

bool TAVConverter::Start() {
    if (working_.load() || state_.load() != RunState::Idle) {
        return false;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    convertedDuration_.store(0);
    progressAtStart_.store(0);
    duration_.store(0);
    bitrate_.store(0);
    startTime_.store(0);
    lastTime_.store(0);
    elapsedUs_.store(0);
    pausedUs_ = 0;
    outputSize_.store(0);
    inputSize_.store(0);
    {
        std::lock_guard lock(textMutex_);
        errorMessage_.clear();
        lastLogMessage_.clear();
        failureText_.clear();
        completionNote_.clear();
        failed_ = false;
    }
    lastProgressPost_ = {};
    const bool localSource = std::any_of(inputFiles_.begin(), inputFiles_.end(), [](const auto& n) {
        return media::ParseStreamUrl(n).has_value();
    });
    remote_ = inOwnProcess_ && !localSource ? std::make_unique<RemoteRun>(*this) : nullptr;
    segmented_ = remote_ && (segmentWorkers_ > 1 || !segments::SegmentHosts().loginFile.empty())
                     ? std::make_unique<SegmentedRun>(*this, segmentWorkers_, segmentSeconds_)
                     : nullptr;
    working_.store(true);
    thread_ = std::jthread([this] { Execute(); });
    return true;
}

void TAVConverter::Pause() {
    std::lock_guard lock(pauseMutex_);
    if (state_.load() == RunState::Running) {
        state_.store(RunState::Paused);
    } else if (state_.load() == RunState::Idle && working_.load() && kept_ == Request::None) {
        kept_ = Request::Pause;
    }
    WakeRemote();
}

void TAVConverter::Resume() {
    std::lock_guard lock(pauseMutex_);
    if (state_.load() == RunState::Paused) {
        state_.store(RunState::Running);
        pauseChanged_.notify_all();
    } else if (kept_ == Request::Pause) {
        kept_ = Request::None;
    }
    WakeRemote();
}

void TAVConverter::Stop() {
    std::lock_guard lock(pauseMutex_);
    const RunState current = state_.load();
    if (current == RunState::Running || current == RunState::Paused) {
        state_.store(RunState::StopRequested);
        pauseChanged_.notify_all();
    } else if (current == RunState::Idle && working_.load()) {
        kept_ = Request::Stop;
    }
    WakeRemote();
}

jobs::Control TAVConverter::WantedControl() {
    std::lock_guard lock(pauseMutex_);
    const RunState state = state_.load();
    if (state == RunState::StopRequested || kept_ == Request::Stop) {
        return jobs::Control::Stop;
    }
    if (state == RunState::Paused || kept_ == Request::Pause) {
        return jobs::Control::Pause;
    }
    return jobs::Control::Run;
}

void TAVConverter::WakeRemote() {
    if (remote_) {
        remote_->ControlChanged();
    }
    if (segmented_) {
        segmented_->ControlChanged();
    }
}

void TAVConverter::EnterLoopState() {
    std::lock_guard lock(pauseMutex_);
    state_.store(kept_ == Request::Stop    ? RunState::StopRequested
                 : kept_ == Request::Pause ? RunState::Paused
                                           : RunState::Running);
    kept_ = Request::None;
}

void TAVConverter::WaitWhilePaused() {
    // Every pass comes here: a running conversion passes without taking the lock.
    if (state_.load() != RunState::Paused) {
        return;
    }
    const int64_t pausedAt = av_gettime();
    {
        std::unique_lock lock(pauseMutex_);
        pauseHeld_.store(true);
        pauseChanged_.wait(lock, [this] { return state_.load() != RunState::Paused; });
        pauseHeld_.store(false);
    }
    // Time spent paused is no time spent converting: neither used time nor the estimate
    // counts it.
    const int64_t now = av_gettime();
    pausedUs_ += now - pausedAt;
    if (lastTime_.load() != 0) {
        MarkReportTime(now);
    }
}

void TAVConverter::MarkReportTime(int64_t now) {
    lastTime_.store(now);
    elapsedUs_.store(std::max<int64_t>(0, now - startTime_.load() - pausedUs_));
}

bool TAVConverter::WaitForEnd(std::chrono::milliseconds timeout) {
    platform::UiDispatcher& dispatcher = Dispatcher();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (working_.load()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        // The worker may be waiting for the UI thread (stop and completion events).
        dispatcher.ProcessPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    return true;
}

void TAVConverter::Execute() {
    const std::string name =
        "Converting " + (inputFiles_.empty() ? std::string() : inputFiles_.front());
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
    if (remote_) {
        // The worker process takes the conversion priority itself, before it starts a thread.
        if (!segmented_ || !segmented_->Run()) {
            remote_->Run();
        }
        working_.store(false);
        return;
    }
    // The user's priority is for the conversion (and the codec threads it starts), never for
    // the window that started it.
    std::string priorityRefused;
    if (!platform::ApplyConversionPriorityToThisThread(&priorityRefused)) {
        DoLog(24, FormatPrintf("The conversion priority (level %d) could not be set: %s",
                               platform::ConversionPriority(), priorityRefused.c_str()));
    }
    bool transcodeBegan = false;
    bool failed = false;
    std::vector<engine::TargetOutcome> targets;
    {
        media::ThreadLogRegistration registration(*worker_);
        std::optional<engine::ConversionRun> run;
        try {
            run.emplace(*worker_, options_, inputFiles_, outputFiles_);
            run->Open();
            // The source's size is known from here on, also to a run stopped before its first
            // report.
            inputSize_.store(run->InputSize());
            startTime_.store(0);
            lastTime_.store(0);
            elapsedUs_.store(0);
            pausedUs_ = 0;
            EnterLoopState();
            transcodeBegan = true;
            run->Transcode();
        } catch (const std::exception& e) {
            // Our own errors carry the user's message; anything else still ends the run
            // visibly instead of taking the process down.
            RecordFailure(e);
            failed = true;
        }
        if (run && failed) {
            targets = run->Targets();
        }
        // Everything the run opened is released here, before the owner hears of the end.
    }
    if (failed) {
        // Out of the log's reach: opening a target to see whether it plays is no news.
        DiscardUnusableTargets(targets);
        DoError();
    }
    const bool stopped = LeaveRun();
    if (transcodeBegan) {
        DoComplete(stopped);
    }
    // The run's frames and buffers were freed into this thread's arena (and the codec threads'),
    // which the allocator keeps for the process unless told: ten runs would leave gigabytes
    // behind.
    malloc_trim(0);
    working_.store(false);
}

void TAVConverter::DiscardUnusableTargets(const std::vector<engine::TargetOutcome>& targets) {
    const std::vector<std::string> removed = engine::RemoveUnusableTargets(targets);
    for (const std::string& line : removed) {
        DoLog(AV_LOG_WARNING, line);
    }
    if (!removed.empty()) {
        // The row shows what the target holds: nothing now.
        convertedDuration_.store(0);
        outputSize_.store(0);
    }
}

bool TAVConverter::LeaveRun() {
    std::lock_guard lock(pauseMutex_);
    const bool stopped = state_.load() == RunState::StopRequested;
    state_.store(RunState::Idle);
    kept_ = Request::None;
    pauseChanged_.notify_all();
    return stopped;
}

void TAVConverter::RecordFailure(const std::exception& e) {
    std::lock_guard lock(textMutex_);
    failed_ = true;
    errorMessage_ = e.what();
    if (const auto* failure = dynamic_cast<const engine::ERunFailure*>(&e)) {
        // The cause found where the failure happened explains it better than a later line.
        if (!failure->Reason().empty()) {
            lastLogMessage_ = failure->Reason();
        }
        failureText_ = failure->Text();
    } else {
        failureText_ = engine::ERunFailure(errorMessage_, lastLogMessage_).Text();
    }
}

void TAVConverter::DoLog(int level, const std::string& text) {
    if (onLog_) {
        onLog_(*this, level, text);
    }
}

void TAVConverter::PostProgress() {
    // A window repaints a row per event: a few a second show every change a person can follow.
    constexpr auto kProgressInterval = std::chrono::milliseconds(250);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgressPost_ < kProgressInterval || progressPending_.exchange(true)) {
        return;
    }
    lastProgressPost_ = now;
    Dispatcher().Post([this, alive = alive_] {
        if (!alive->load()) {
            return;
        }
        progressPending_.store(false);
        if (!onProgress_) {
            return;
        }
        try {
            onProgress_(*this);
        } catch (const EAVError& e) {
            platform::Messages().ShowError(e.what());
        }
    });
}

void TAVConverter::DoStopped() {
    Dispatcher().RunBlocking([this, alive = alive_] {
        if (alive->load() && onStopped_) {
            onStopped_(*this);
        }
    });
}

void TAVConverter::DoError() {
    const std::string text = FailureText();
    Dispatcher().RunBlocking([this, text, alive = alive_] {
        platform::Messages().ShowError(text);
        if (alive->load() && onError_) {
            onError_(*this);
        }
    });
}

void TAVConverter::DoComplete(bool stopped) {
    if (stopped) {
        return;
    }
    Dispatcher().RunBlocking([this, alive = alive_] {
        Dispatcher().ProcessPending();
        if (!alive->load() || !onComplete_) {
            return;
        }
        try {
            onComplete_(*this);
        } catch (...) {
            // A failing completion handler must not take the worker down.
        }
    });
}

int TAVConverter::GetProgress() const {
    const int64_t start = options_.StartTime();
    const int64_t recording = options_.RecordingTime();
    const double duration = duration_.load();
    const double converted = convertedDuration_.load();
    if (start <= 0 && duration * 1000000.0 <= static_cast<double>(recording)) {
        return duration > 0 ? static_cast<int>(std::nearbyint(converted / duration * 100.0)) : 0;
    }
    const double span = std::nearbyint(duration * 1000000.0) - static_cast<double>(start);
    const double effective = std::min(static_cast<double>(recording), span);
    if (effective <= 0) {
        return 0;
    }
    return static_cast<int>(std::nearbyint(converted * 100.0 * 1000000.0 / effective));
}

int64_t TAVConverter::GetElapsedTime() const {
    return elapsedUs_.load() / 1000000;
}

int64_t TAVConverter::GetRemainingTime() const {
    const int progress = GetProgress();
    const int gained = progress - progressAtStart_.load();
    if (progress <= 0 || gained <= 0) {
        return kUnknownRemaining;
    }
    return GetElapsedTime() * (100 - progress) / gained;
}

std::string TAVConverter::ErrorMessage() const {
    std::lock_guard lock(textMutex_);
    return errorMessage_;
}

std::string TAVConverter::LastLogMessage() const {
    std::lock_guard lock(textMutex_);
    return lastLogMessage_;
}

std::string TAVConverter::FailureText() const {
    std::lock_guard lock(textMutex_);
    return failureText_;
}

std::string TAVConverter::CompletionNote() const {
    std::lock_guard lock(textMutex_);
    return completionNote_;
}

}  // namespace tw
