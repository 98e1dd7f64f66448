#pragma once

// A task: the running or finished life of one conversion request. It owns its settings, its
// converter and its log, and belongs to exactly one node's task list (or, for a moment during
// completion, to none). All of it is used on the UI thread; the converter's log lines arrive on
// the worker and are handed to the UI thread before the log is touched.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/converter.h"
#include "tasks/conversion_settings.h"
#include "tasks/node_object.h"

namespace tw {

// stWaiting: the task waits for its turn to convert (the program converts a limited number of
// files at once).
enum TAVTaskStatus { stRunning, stPaused, stError, stFinished, stWaiting };

// Why a task that is neither converting nor finished (stError) is not: the user stopped it, its
// run failed, or the program ended while it converted.
enum class TaskEnd { Stopped, Failed, Interrupted };

class TAVTask : public TNodeObject {
public:
    using Clock = std::chrono::system_clock;

    // The most recent lines kept: older ones go before a new line is added beyond this.
    static constexpr size_t kLogKeep = 50;

    TAVTask(std::unique_ptr<TConversionSettings> settings, TaskListView* listView,
            TTaskEnvironment& environment);
    ~TAVTask() override;

    Clock::time_point Date() const { return date_; }
    void SetDate(Clock::time_point date) { date_ = date; }
    TAVTaskStatus Status() const { return status_; }
    void SetStatus(TAVTaskStatus status) { status_ = status; }
    int ID() const { return id_; }
    void SetID(int id) { id_ = id; }
    int CategoryId() const { return categoryId_; }
    void SetCategoryId(int id) { categoryId_ = id; }
    bool IsConverted() const { return isConverted_; }
    void SetIsConverted(bool converted) { isConverted_ = converted; }
    const TStringList& Log() const { return log_; }
    void SetLog(const TStringList& lines) { log_ = lines; }
    TNodeObject* Category() const { return category_; }
    void SetCategory(TNodeObject* node) { category_ = node; }
    // Meaningful while Status is stError.
    TaskEnd End() const { return end_; }
    void SetEnd(TaskEnd end) { end_ = end; }
    // What the list shows of the status: "Converting", "Paused", "Stopped", "Failed",
    // "Interrupted", "Finished" or "Waiting".
    std::string StatusText() const;
    // The task waits for its turn and has no run yet: "Waiting", or "Paused" when the user held
    // it back before its turn came.
    bool Queued() const { return queued_; }
    void SetQueued(bool queued) { queued_ = queued; }

    TConversionSettings& Settings() { return *settings_; }
    const TConversionSettings& Settings() const { return *settings_; }
    bool HasConverter() const { return converter_ != nullptr; }
    TAVConverter& Converter() { return *converter_; }
    const TAVConverter& Converter() const { return *converter_; }

    // The ordinal of Status; a failed task has a picture of its own, kFailedImage, and so has a
    // waiting one, kWaitingImage.
    int GetImageIndex() const override;
    static constexpr int kFailedImage = 4;
    static constexpr int kWaitingImage = 5;
    void ShowInfo(InfoTreeView* infoTree, LogListView* logList) override;

    // Starts (or restarts from the beginning) the conversion. False when it could not start.
    // The Converting node's queue decides when (TConvertingNode::Enqueue).
    virtual bool Start();
    // Lets the task wait for its turn ("Waiting").
    void Wait();
    // The task's turn came but it cannot start: it is marked failed with the reason in its log.
    void FailToStart(const std::string& reason);
    virtual void Pause();
    virtual void Resume();
    virtual void Stop();
    // Stops a converting or paused task because the program ends: it comes back "Interrupted".
    virtual void Interrupt();

    // Removes the task's record, the chosen files and its row, and frees the task: nothing may
    // use it afterwards.
    void Delete(bool deleteSource, bool deleteTarget);
    void ClearLog();
    // Asks the task list to paint the row again when this task's node is on display.
    void RefreshRow();
    bool HasConvertedFile() const;
    bool HasSource() const;

    // Converting or paused with a run of its own (not waiting for its turn, not stopped): what
    // takes one of the places in the queue and what closing the program interrupts.
    bool IsActive() const { return !queued_ && (status_ == stRunning || status_ == stPaused); }
    // Active, or stopped while its run still finishes the target file.
    bool IsWritingTarget() const;

    // "Move to Category": files a converted task under another category, in the database too.
    // It leaves the list on display and is freed unless that category is the one on display:
    // the caller may not use it afterwards. Throws EAVError, changing nothing, when the
    // database refuses.
    void MoveToCategory(TConvertedNode& category);

    // Applies one log line handed over from the converter: the oldest lines go while more
    // than kLogKeep remain, the line is trimmed and appended, and the log pane follows when
    // this task's row is selected. UI thread only.
    void AddLogLine(const std::string& text);

    // Stores what an unfinished task has gathered (its figures, its log, why it is not
    // converting) so that a restart shows it; a failure to store is reported on stderr only.
    void StoreUnfinished();

protected:
    void ShowLogIfSelected();
    // Stores the log when lines came since it was last stored, unless that was just now.
    void StoreLogIfDue();
    // The part of a source of this length that the task's cut converts.
    double CutSpan(double sourceSeconds) const;
    // Takes the source's length and size from the run when they become known; true if either
    // changed.
    bool TakeFigures();

    std::unique_ptr<TConversionSettings> settings_;
    std::unique_ptr<TAVConverter> converter_;

private:
    Clock::time_point date_{};
    TAVTaskStatus status_ = stRunning;
    int id_ = 0;
    int categoryId_ = 0;
    bool isConverted_ = false;
    TStringList log_;
    TNodeObject* category_ = nullptr;
    TaskEnd end_ = TaskEnd::Stopped;
    bool queued_ = false;
    // The log has lines the database lacks; when it last got them.
    bool logUnstored_ = false;
    std::chrono::steady_clock::time_point logStoredAt_{};
};

// The class of every task the program creates; IsConverted picks its set of columns. It drives
// its converter: a fresh one for every run, its events bound as at creation.
class TConvertingTask : public TAVTask {
public:
    TConvertingTask(std::unique_ptr<TConversionSettings> settings, TaskListView* listView,
                    TTaskEnvironment& environment);
    ~TConvertingTask() override;

    std::string GetText(int column) override;

    // A restart whose previous run still finishes the target begins once that run has ended.
    // With a work pool in the environment the pool waits for it (the task holds its place and
    // shows "Converting" meanwhile); without one the UI thread waits, serving its events, and the
    // restart is refused (false) when that takes longer than the wind-down limit. Throws
    // EAVError when another task is writing the target.
    bool Start() override;
    void Pause() override;
    // A task held back before its turn came waits for its turn again.
    void Resume() override;
    void Stop() override;
    void Interrupt() override;

    static constexpr std::chrono::seconds kWindDownLimit{60};

private:
    void BindEvents(TAVConverter& converter);
    // Gives the task a fresh converter for its next run and returns the old one.
    std::unique_ptr<TAVConverter> ReplaceConverter();
    bool BeginRun();
    void StopRun(TaskEnd end);
    void OnConverterProgress();
    void OnConverterError(TAVConverter& sender);
    void OnConverterComplete(TAVConverter& sender);
    // The run failed: stopped, marked failed and stored so.
    void Fail();
    // The completion steps of a run that ended well.
    void Complete();
    // A place in the queue may have come free: the Converting node starts who waits.
    void LetWaitingTasksStart();

    // Whether the current converter has been handed a run.
    bool converterUsed_ = false;
    // Which converter the task has had: the events of an earlier one (queued log lines, a
    // replaced run winding down) are dropped.
    uint64_t generation_ = 0;
    // False once the task is gone; the converter's events check it on the UI thread.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tw
