// How a task drives its converter and what happens when a run ends.

#include <algorithm>
#include <thread>

#include "platform/message_service.h"
#include "platform/work_pool.h"
#include "segments/host_jobs.h"
#include "tasks/av_task.h"
#include "tasks/configuration.h"
#include "tasks/persistent_manager.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw {

TConvertingTask::TConvertingTask(std::unique_ptr<TConversionSettings> settings,
                                 TaskListView* listView, TTaskEnvironment& environment)
    : TAVTask(std::move(settings), listView, environment) {
    BindEvents(*converter_);
}

TConvertingTask::~TConvertingTask() {
    *alive_ = false;
    // The converter goes first, while the handlers it may still call are all there.
    converter_.reset();
}

void TConvertingTask::BindEvents(TAVConverter& converter) {
    // A converter handed to the pool to wind down may report after the task has gone: every
    // handler checks, on the UI thread, that the task is there and the converter still its own.
    const uint64_t generation = generation_;
    const std::shared_ptr<bool> alive = alive_;
    const auto current = [this, alive, generation] { return *alive && generation == generation_; };
    converter.SetOnProgress([this, current](TAVConverter&) {
        if (current()) {
            OnConverterProgress();
        }
    });
    // Worker thread: only hand the line over, touching nothing of the task's.
    platform::UiDispatcher* uiThread = &Environment().UiThread();
    converter.SetOnLog([this, current, uiThread](TAVConverter&, int, const std::string& text) {
        uiThread->Post([this, current, text] {
            if (current()) {
                AddLogLine(text);
            }
        });
    });
    converter.SetOnError([this, current](TAVConverter& sender) {
        if (current()) {
            OnConverterError(sender);
        }
    });
    converter.SetOnComplete([this, current](TAVConverter& sender) {
        if (current()) {
            OnConverterComplete(sender);
        }
    });
}

std::unique_ptr<TAVConverter> TConvertingTask::ReplaceConverter() {
    std::unique_ptr<TAVConverter> previous = std::move(converter_);
    converter_ = std::make_unique<TAVConverter>(Environment().Dispatcher);
    ++generation_;
    BindEvents(*converter_);
    converterUsed_ = false;
    return previous;
}

bool TConvertingTask::Start() {
    if (auto* converting = dynamic_cast<TConvertingNode*>(Category())) {
        converting->CheckTargetFree(Settings().TargetFile(), this);
    }
    if (converterUsed_) {
        // A converter carries out one run. The old one goes only once its worker has ended: a
        // stopped run still writes its trailer into the same target the new run will open.
        if (converter_->IsWorking()) {
            if (platform::WorkPool* pool = Environment().Background) {
                std::shared_ptr<TAVConverter> previous = ReplaceConverter();
                TAVTask::Start();
                pool->Run(
                    [previous] {
                        previous->WaitForEnd(std::chrono::hours(24 * 365));
                        return true;
                    },
                    [this, alive = alive_, generation = generation_](bool) {
                        // Stopped, restarted again or deleted meanwhile: not this run's turn.
                        if (!*alive || generation != generation_ || !IsActive()) {
                            return;
                        }
                        const bool paused = Status() == stPaused;
                        if (!BeginRun()) {
                            FailToStart("The conversion could not be started.");
                        } else if (paused) {
                            converter_->Pause();
                        }
                    });
                return true;
            }
            if (!converter_->WaitForEnd(kWindDownLimit)) {
                return false;
            }
        }
        ReplaceConverter();
    }
    TAVTask::Start();
    return BeginRun();
}

bool TConvertingTask::BeginRun() {
    converter_->SetInputFiles({Settings().SourceFile()});
    converter_->SetOutputFiles({Settings().TargetFile()});
    converter_->SetConvertOptions(Settings().ConvertOptions());
    // Assign leaves the engine switches out; those the settings carry belong to this run too.
    converter_->ConvertOptions().Engine = Settings().ConvertOptions().Engine;
    const TPerformanceOptions& performance = Environment().Configuration->PerformanceOptions();
    converter_->SetInOwnProcess(performance.RunInOwnProcess());
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    converter_->SetSegmenting(performance.Segments() < 0 ? processors : performance.Segments(),
                              std::max(1, performance.SegmentSeconds()));
    // Other computers the options list convert segments too (none while every line is
    // commented out).
    segments::HostChoice hosts;
    if (segments::HostLogins::NamesAny(performance.SegmentHosts())) {
        try {
            hosts.loginFile = segments::WriteLoginFile(performance.SegmentHosts(), "hosts.txt");
        } catch (const EAVError& e) {
            platform::Messages().ShowError(e.what());
        }
    }
    segments::SetSegmentHosts(hosts);
    converterUsed_ = true;
    return converter_->Start();
}

void TConvertingTask::Pause() {
    TAVTask::Pause();
    converter_->Pause();
}

void TConvertingTask::Resume() {
    if (Queued()) {
        Wait();
        LetWaitingTasksStart();
        return;
    }
    TAVTask::Resume();
    converter_->Resume();
}

void TConvertingTask::Stop() {
    StopRun(TaskEnd::Stopped);
    LetWaitingTasksStart();
}

void TConvertingTask::Interrupt() {
    StopRun(TaskEnd::Interrupted);
}

void TConvertingTask::StopRun(TaskEnd end) {
    if (end == TaskEnd::Interrupted) {
        TAVTask::Interrupt();
    } else {
        TAVTask::Stop();
    }
    converter_->Stop();
    TakeFigures();
    StoreUnfinished();
}

void TConvertingTask::LetWaitingTasksStart() {
    if (auto* converting = dynamic_cast<TConvertingNode*>(Category())) {
        converting->StartWaiting();
    }
}

void TConvertingTask::OnConverterProgress() {
    RefreshRow();
    if (TakeFigures()) {
        StoreUnfinished();
    } else {
        StoreLogIfDue();
    }
}

void TConvertingTask::OnConverterError(TAVConverter& sender) {
    // The converter has shown the message; the task keeps it in its log and waits, unfinished,
    // to be started again or deleted.
    AddLogLine(sender.FailureText());
    Fail();
}

void TConvertingTask::Fail() {
    SetStatus(stError);
    SetEnd(TaskEnd::Failed);
    TakeFigures();
    // Why it failed survives a restart.
    StoreUnfinished();
    RefreshRow();
    LetWaitingTasksStart();
}

void TConvertingTask::OnConverterComplete(TAVConverter& sender) {
    if (!sender.ErrorMessage().empty()) {
        // A run that failed in its loop is no conversion: nothing is filed.
        Fail();
        return;
    }
    Complete();
}

void TConvertingTask::Complete() {
    TTaskEnvironment& environment = Environment();
    SetStatus(stFinished);
    RefreshRow();

    try {
        // Filed where it was stored, so that a task without a category shows up under the
        // default one.
        SetCategoryId(environment.Persistence->MarkConverted(*this));
    } catch (const EAVError& e) {
        platform::Messages().ShowError(e.what());
    }

    TNodeObject* converting = Category();
    TW_ASSERT(converting != nullptr);
    std::unique_ptr<TAVTask> self = converting->ExtractTask(*this);

    const TAVConfiguration& configuration = *environment.Configuration;
    if (configuration.ShowAlert() && environment.Alerts) {
        TaskAlert alert;
        alert.header = "Task Completed";
        alert.message = FormatPrintf("%s was generated.", Settings().TargetFile().c_str());
        if (const std::string note = Converter().CompletionNote(); !note.empty()) {
            alert.message += "\n" + note + ".";
        }
        alert.targetFile = Settings().TargetFile();
        environment.Alerts->ShowAlert(alert);
    }

    if (converting->IsDisplayed()) {
        if (converting->ListView()) {
            converting->ListView()->RemoveRow(*this);
        }
        converting->ReleaseLater(std::move(self));
    } else {
        TW_ASSERT(environment.ExplorerTree != nullptr);
        auto* focused = dynamic_cast<TConvertedNode*>(environment.ExplorerTree->FocusedNode());
        if (focused && focused->ID() == CategoryId()) {
            SetIsConverted(true);
            SetCategory(focused);
            SetListView(focused->ListView());
            focused->AppendTask(std::move(self));
            if (focused->ListView()) {
                focused->ListView()->AddRow(*this);
            }
        } else {
            converting->ReleaseLater(std::move(self));
        }
    }

    // From here on this task may be on its way out: only the node is used. Its place goes to
    // the next task waiting, which holds a shutdown back as any converting task does.
    if (auto* queue = dynamic_cast<TConvertingNode*>(converting)) {
        queue->StartWaiting();
    }
    const auto& left = converting->Tasks();
    const bool running = std::any_of(left.begin(), left.end(),
                                     [](const auto& task) { return task->Status() == stRunning; });
    if (configuration.ShutdownWhenDone() && environment.Power && !running) {
        std::string reason;
        environment.Power->PowerOff(&reason);
    }
}

}  // namespace tw
