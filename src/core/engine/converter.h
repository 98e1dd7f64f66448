#pragma once

// TAVConverter: converts its InputFiles into its OutputFiles with its ConvertOptions on a
// worker thread of its own. The owner (on the UI thread) fills the lists and options, calls
// Start, and may Pause, Resume and Stop. Events:
//   OnLog       on the worker thread, for library lines up to LogLevel and the engine's own lines;
//   OnProgress  posted to the UI thread at most a few times a second (never more than one
//               pending), from the passes of the loop and between the pictures of a long repeat;
//   OnStopped   on the UI thread (the worker waits), when the loop sees a stop request;
//   OnError     on the UI thread (the worker waits), after any failure, once FailureText has
//               been shown through the message service (and the targets that failure left
//               useless are removed);
//   OnComplete  on the UI thread (the worker waits), after a run that reached the main loop and
//               was not stopped, also after an error in the loop.
// Figures (Progress, Duration, Bitrate, sizes, times) are written by the worker and may be read
// from any thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/convert_options.h"
#include "engine/target_files.h"
#include "media/library.h"
#include "platform/ui_dispatcher.h"
#include "util/string_list.h"

namespace tw::jobs {
enum class Control;
}

namespace tw {

class TAVConverter {
public:
    using TAVLogEvent = std::function<void(TAVConverter& sender, int level, const std::string&)>;
    using TNotifyEvent = std::function<void(TAVConverter& sender)>;

    enum class RunState : uint8_t { Idle = 0, Running = 1, StopRequested = 2, Paused = 3 };

    // dispatcher: where UI-thread events go; the process's installed one when null.
    explicit TAVConverter(platform::UiDispatcher* dispatcher = nullptr);
    // Stops a running conversion and waits for its worker to wind down (serving the UI thread
    // meanwhile): it leaves at its next picture, or as soon as its files are open.
    ~TAVConverter();
    TAVConverter(const TAVConverter&) = delete;
    TAVConverter& operator=(const TAVConverter&) = delete;

    TAVConvertOptions& ConvertOptions() { return options_; }
    const TAVConvertOptions& ConvertOptions() const { return options_; }
    void SetConvertOptions(const TAVConvertOptions& value) { options_.Assign(value); }
    const TStringList& InputFiles() const { return inputFiles_; }
    void SetInputFiles(const TStringList& value) { inputFiles_ = value; }
    const TStringList& OutputFiles() const { return outputFiles_; }
    void SetOutputFiles(const TStringList& value) { outputFiles_ = value; }

    void SetOnLog(TAVLogEvent handler) { onLog_ = std::move(handler); }
    void SetOnProgress(TNotifyEvent handler) { onProgress_ = std::move(handler); }
    void SetOnComplete(TNotifyEvent handler) { onComplete_ = std::move(handler); }
    void SetOnStopped(TNotifyEvent handler) { onStopped_ = std::move(handler); }
    void SetOnError(TNotifyEvent handler) { onError_ = std::move(handler); }

    // Where runs happen: each in a worker process of its own (tidewell-convert --worker, found
    // as jobs::FindWorkerProgram says), or on the worker thread in this process. Events and
    // figures are the same either way. In this process until set; a source that exists only in
    // this process (a "stream:N" DVD title) always converts here.
    bool InOwnProcess() const { return inOwnProcess_; }
    void SetInOwnProcess(bool value) { inOwnProcess_ = value; }

    // Runs in worker processes may go in segments: a long re-encode of a file is cut at the
    // source's key frames into segments of about segmentSeconds, converted by up to workers
    // processes at once and joined into the target (segments/segmented_run.h). 0 or 1 worker
    // converts in one piece, as does a run that does not qualify. Read by Start.
    static constexpr int kDefaultSegmentSeconds = 30;
    void SetSegmenting(int workers, int segmentSeconds) {
        segmentWorkers_ = workers;
        segmentSeconds_ = segmentSeconds;
    }

    // Starts a run on a new worker thread. Only when idle and no worker of an earlier run is
    // still winding down; returns false otherwise.
    bool Start();
    // running -> paused, paused -> running, running or paused -> stop requested. While a started
    // run still opens its files (state idle), a pause or stop is kept and the run enters its loop
    // paused or stopping; a resume takes a kept pause back.
    void Pause();
    void Resume();
    void Stop();

    // Waits for the worker of the current run to end, serving the dispatcher when called on
    // the UI thread. Returns false on timeout.
    bool WaitForEnd(std::chrono::milliseconds timeout);
    bool IsWorking() const { return working_.load(); }

    RunState State() const { return state_.load(); }
    // The worker has come to a pause and waits in it: from here until Resume or Stop the run
    // writes nothing and its figures stand still.
    bool PauseHeld() const { return pauseHeld_.load(); }
    int GetProgress() const;
    int Progress() const { return GetProgress(); }
    // Seconds spent converting up to the last report, time spent paused left out; the
    // remaining time is estimated from it.
    int64_t GetElapsedTime() const;
    int64_t GetRemainingTime() const;

    double ConvertedDuration() const { return convertedDuration_.load(); }
    void SetConvertedDuration(double seconds) { convertedDuration_.store(seconds); }
    double Duration() const { return duration_.load(); }
    void SetDuration(double seconds) { duration_.store(seconds); }
    double Bitrate() const { return bitrate_.load(); }
    void SetBitrate(double kbits) { bitrate_.store(kbits); }
    int64_t StartTime() const { return startTime_.load(); }
    int64_t LastTime() const { return lastTime_.load(); }
    int64_t OutputSize() const { return outputSize_.load(); }
    int64_t InputSize() const { return inputSize_.load(); }
    int LogLevel() const { return logLevel_; }
    std::string ErrorMessage() const;
    std::string LastLogMessage() const;
    // After a failure: the text shown for it, "<ErrorMessage>:<why>", naming the file at fault
    // where the message does not.
    std::string FailureText() const;
    // After a run that completed, what the user should know of it besides: "The source ended
    // early: ..." when the source held less than its header said. Empty otherwise.
    std::string CompletionNote() const;

    // Remaining time shown without any progress (99:99:99 counted in seconds).
    static constexpr int64_t kUnknownRemaining = 362439;

private:
    class Worker;
    friend class Worker;
    class RemoteRun;
    friend class RemoteRun;
    class SegmentedRun;
    friend class SegmentedRun;

    void Execute();
    void RecordFailure(const std::exception& e);
    // After a failure, once the run's files are closed: removes the targets it left useless.
    void DiscardUnusableTargets(const std::vector<engine::TargetOutcome>& targets);
    void DoLog(int level, const std::string& text);
    void DoStopped();
    void DoError();
    void DoComplete(bool stopped);
    void PostProgress();
    void WaitWhilePaused();
    // Worker thread: a report at now (microseconds), and the converting time up to it.
    void MarkReportTime(int64_t now);
    // Idle -> running as the loop begins, or paused or stopping as asked meanwhile.
    void EnterLoopState();
    // Back to idle at the end of a run; whether a stop was requested.
    bool LeaveRun();
    // Passes a pause, resume or stop on to the run's worker process.
    void WakeRemote();
    // What a run in worker processes is to do now, as the user asked: run, pause or stop.
    jobs::Control WantedControl();

    platform::UiDispatcher& Dispatcher() const;

    media::LibraryUse libraries_;
    platform::UiDispatcher* dispatcher_;
    TAVConvertOptions options_;
    TStringList inputFiles_;
    TStringList outputFiles_;

    TAVLogEvent onLog_;
    TNotifyEvent onProgress_;
    TNotifyEvent onComplete_;
    TNotifyEvent onStopped_;
    TNotifyEvent onError_;

    enum class Request : uint8_t { None, Pause, Stop };

    std::atomic<RunState> state_{RunState::Idle};
    // Guards the state changes of Pause, Resume, Stop and the worker's, and kept_; with
    // pauseChanged_, wakes the worker out of a pause.
    std::mutex pauseMutex_;
    std::condition_variable pauseChanged_;
    Request kept_ = Request::None;  // asked for while the run opened its files
    std::atomic<bool> pauseHeld_{false};

    std::atomic<double> convertedDuration_{0};
    std::atomic<double> duration_{0};
    std::atomic<double> bitrate_{0};
    std::atomic<int64_t> startTime_{0};
    std::atomic<int64_t> lastTime_{0};
    std::atomic<int64_t> elapsedUs_{0};  // lastTime_ - startTime_ - pausedUs_
    // The progress (%) the run began with: what an earlier run left done (kept segments). The
    // remaining time is estimated from what this run has done since.
    std::atomic<int> progressAtStart_{0};
    int64_t pausedUs_ = 0;  // worker thread only while a run is on
    std::atomic<int64_t> outputSize_{0};
    std::atomic<int64_t> inputSize_{0};
    const int logLevel_ = 24;

    mutable std::mutex textMutex_;  // guards the texts below and failed_
    std::string errorMessage_;
    std::string lastLogMessage_;
    std::string failureText_;
    std::string completionNote_;
    bool failed_ = false;  // the current run has failed; written by the worker only

    std::atomic<bool> progressPending_{false};
    std::chrono::steady_clock::time_point lastProgressPost_;  // worker thread only
    std::atomic<bool> working_{false};
    std::shared_ptr<std::atomic<bool>> alive_;  // read by posted events; false once destroyed
    std::unique_ptr<Worker> worker_;
    bool inOwnProcess_ = false;
    // The current run's worker process, when it has one. Set by Start on the owner's thread.
    std::unique_ptr<RemoteRun> remote_;
    int segmentWorkers_ = 0;
    int segmentSeconds_ = kDefaultSegmentSeconds;
    // The current run in segments, when it may go so. Set by Start on the owner's thread.
    std::unique_ptr<SegmentedRun> segmented_;
    std::jthread thread_;
};

}  // namespace tw
