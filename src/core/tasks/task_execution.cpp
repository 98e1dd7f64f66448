// How a task drives its converter and what happens when a run ends.

#include <algorithm>
#include <thread>

#include "platform/message_service.h"
#include "segments/host_jobs.h"
#include "tasks/av_task.h"
#include "tasks/configuration.h"
#include "tasks/persistent_manager.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/string_list.h"

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
    converter.SetOnProgress([this](TAVConverter& sender) { OnConverterProgress(sender); });
    converter.SetOnLog(
        [this](TAVConverter&, int, const std::string& text) { OnConverterLog(text); });
    converter.SetOnError([this](TAVConverter& sender) { OnConverterError(sender); });
    converter.SetOnComplete([this](TAVConverter& sender) { OnConverterComplete(sender); });
}

bool TConvertingTask::Start() {
    if (auto* converting = dynamic_cast<TConvertingNode*>(Category())) {
        converting->CheckTargetFree(Settings().TargetFile(), this);
    }
    if (converterUsed_) {
        // A converter carries out one run. The old one goes only once its worker has ended:
        // a stopped run still writes its trailer into the same target the new run will open.
        if (converter_->IsWorking() && !converter_->WaitForEnd(kWindDownLimit)) {
            return false;
        }
        converter_ = std::make_unique<TAVConverter>(Environment().Dispatcher);
        BindEvents(*converter_);
        converterUsed_ = false;
    }
    ++run_;
    TAVTask::Start();
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
    // Other computers the options list convert segments too.
    segments::HostChoice hosts;
    if (!Trim(performance.SegmentHosts()).empty()) {
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
    TAVTask::Resume();
    converter_->Resume();
}

void TConvertingTask::Stop() {
    StopRun(TaskEnd::Stopped);
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

void TConvertingTask::OnConverterProgress(TAVConverter& sender) {
    if (&sender != converter_.get()) {
        return;
    }
    RefreshRow();
    if (TakeFigures()) {
        StoreUnfinished();
    } else {
        StoreLogIfDue();
    }
}

void TConvertingTask::OnConverterLog(const std::string& text) {
    // Worker thread: only hand the line over, touching nothing the UI thread changes during a
    // run. The run number keeps lines still queued from a replaced run out of the new log.
    Environment().UiThread().Post([this, alive = alive_, run = run_, text] {
        if (*alive && run == run_) {
            AddLogLine(text);
        }
    });
}

void TConvertingTask::OnConverterError(TAVConverter& sender) {
    if (&sender != converter_.get()) {
        return;
    }
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
}

void TConvertingTask::OnConverterComplete(TAVConverter& sender) {
    if (&sender != converter_.get()) {
        return;
    }
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

    // From here on this task may be on its way out: only the node is used.
    const auto& left = converting->Tasks();
    const bool running = std::any_of(left.begin(), left.end(),
                                     [](const auto& task) { return task->Status() == stRunning; });
    if (configuration.ShutdownWhenDone() && environment.Power && !running) {
        std::string reason;
        environment.Power->PowerOff(&reason);
    }
}

}  // namespace tw
