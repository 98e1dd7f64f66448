#include "tasks/av_task.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "engine/image_sequence_name.h"
#include "segments/segment_cache.h"
#include "tasks/persistent_manager.h"
#include "tasks/task_text.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

bool FileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_regular_file(path, error);
}

// Every file the conversion wrote: an image sequence is all of its pictures.
std::vector<std::string> TargetFiles(const TConversionSettings& settings) {
    return engine::WrittenTargetFiles(settings.TargetFile(),
                                      settings.ConvertOptions().OutputFormat());
}

}  // namespace

TAVTask::TAVTask(std::unique_ptr<TConversionSettings> settings, TaskListView* listView,
                 TTaskEnvironment& environment)
    : TNodeObject(environment),
      settings_(std::move(settings)),
      converter_(std::make_unique<TAVConverter>(environment.Dispatcher)) {
    TW_ASSERT(settings_ != nullptr);
    listView_ = listView;
}

TAVTask::~TAVTask() {
    log_.clear();
    converter_.reset();
    settings_.reset();
}

int TAVTask::GetImageIndex() const {
    TW_ASSERT(status_ >= stRunning && status_ <= stWaiting);
    if (status_ == stError && end_ == TaskEnd::Failed) {
        return kFailedImage;
    }
    if (status_ == stWaiting) {
        return kWaitingImage;
    }
    return static_cast<int>(status_);
}

std::string TAVTask::StatusText() const {
    switch (status_) {
        case stRunning:
            return "Converting";
        case stPaused:
            return "Paused";
        case stFinished:
            return "Finished";
        case stWaiting:
            return "Waiting";
        case stError:
            break;
    }
    switch (end_) {
        case TaskEnd::Failed:
            return "Failed";
        case TaskEnd::Interrupted:
            return "Interrupted";
        case TaskEnd::Stopped:
            break;
    }
    return "Stopped";
}

void TAVTask::ShowInfo(InfoTreeView* infoTree, LogListView* logList) {
    TW_ASSERT(infoTree != nullptr && logList != nullptr);
    TNodeObject::ShowInfo(infoTree, logList);
    infoTree->ClearColumns();
    infoTree->AddColumn("Category", 100);
    infoTree->AddColumn("Property", 150);
    infoTree->AddColumn("Value", 150);
    logList->SetLines(log_);
}

bool TAVTask::Start() {
    status_ = stRunning;
    end_ = TaskEnd::Stopped;
    queued_ = false;
    log_.clear();
    ShowLogIfSelected();
    // The stored log and reason of an earlier run go too.
    StoreUnfinished();
    return true;
}

void TAVTask::Wait() {
    status_ = stWaiting;
    end_ = TaskEnd::Stopped;
    queued_ = true;
    StoreUnfinished();
}

void TAVTask::Pause() {
    status_ = stPaused;
    if (queued_) {
        // Held back: it stays so across a restart of the program.
        StoreUnfinished();
    }
}

void TAVTask::Resume() {
    status_ = stRunning;
}

void TAVTask::Stop() {
    status_ = stError;
    end_ = TaskEnd::Stopped;
    queued_ = false;
}

void TAVTask::Interrupt() {
    status_ = stError;
    end_ = TaskEnd::Interrupted;
    queued_ = false;
}

void TAVTask::FailToStart(const std::string& reason) {
    status_ = stError;
    end_ = TaskEnd::Failed;
    queued_ = false;
    AddLogLine(reason);
    StoreUnfinished();
    RefreshRow();
}

bool TAVTask::IsWritingTarget() const {
    return IsActive() || (converter_ && converter_->IsWorking());
}

void TAVTask::MoveToCategory(TConvertedNode& category) {
    const int categoryId = category.ID();
    TW_ASSERT(isConverted_ && category_ != nullptr);
    if (&category == category_) {
        return;
    }
    // The stored settings name the category too; they change only once the record has moved.
    const int previous = settings_->CategoryId();
    settings_->SetCategoryId(categoryId);
    try {
        Environment().Persistence->MoveTask(*this, categoryId);
    } catch (...) {
        settings_->SetCategoryId(previous);
        throw;
    }
    TNodeObject* from = category_;
    std::unique_ptr<TAVTask> self = from->ExtractTask(*this);
    if (from->IsDisplayed() && from->ListView()) {
        from->ListView()->RemoveRow(*this);
    }
    if (!category.IsDisplayed()) {
        self.reset();  // listed from the database when that category is shown
        return;
    }
    categoryId_ = categoryId;
    category_ = &category;
    listView_ = category.ListView();
    category.AppendTask(std::move(self));
    if (listView_) {
        listView_->AddRow(*this);
    }
}

void TAVTask::StoreUnfinished() {
    if (id_ <= 0 || isConverted_) {
        return;
    }
    try {
        Environment().Persistence->StoreUnfinished(*this);
        logUnstored_ = false;
        logStoredAt_ = std::chrono::steady_clock::now();
    } catch (const EAVError& e) {
        // Stored again at the next line or end of the run; a box per line would drown the user.
        std::fprintf(stderr, "The state of task %d could not be stored: %s\n", id_, e.what());
    }
}

void TAVTask::StoreLogIfDue() {
    // Lines may come in bursts; the database is written at most about once a second for them.
    constexpr auto kLogStoreInterval = std::chrono::seconds(1);
    if (logUnstored_ && std::chrono::steady_clock::now() - logStoredAt_ >= kLogStoreInterval) {
        StoreUnfinished();
    }
}

bool TAVTask::TakeFigures() {
    bool changed = false;
    const double duration = converter_->Duration();
    if (duration > 0 && duration != settings_->Duration()) {
        settings_->SetDuration(duration);
        changed = true;
    }
    if (settings_->SourceFileSize() == 0 && converter_->InputSize() > 0) {
        settings_->SetSourceFileSize(converter_->InputSize());
        changed = true;
    }
    return changed;
}

void TAVTask::Delete(bool deleteSource, bool deleteTarget) {
    Environment().Persistence->DeleteTask(*this);
    std::error_code error;
    // What a conversion in segments kept for resuming is of no use any more.
    fs::remove_all(segments::SegmentFolder(settings_->SourceFile(), settings_->TargetFile()),
                   error);
    if (deleteSource && FileExists(settings_->SourceFile())) {
        fs::remove(settings_->SourceFile(), error);
    }
    if (deleteTarget) {
        for (const std::string& file : TargetFiles(*settings_)) {
            fs::remove(file, error);
        }
    }
    TNodeObject* category = category_;
    TW_ASSERT(category != nullptr);
    std::unique_ptr<TAVTask> self = category->ExtractTask(*this);
    if (category->IsDisplayed() && category->ListView()) {
        category->ListView()->RemoveRow(*this);
    }
    self.reset();  // frees this object; nothing may follow
}

void TAVTask::ClearLog() {
    log_.clear();
    if (logList_) {
        logList_->SetLines(log_);
    }
    Environment().Persistence->ClearStoredLog(*this);
}

void TAVTask::RefreshRow() {
    TW_ASSERT(category_ != nullptr);
    if (category_->IsDisplayed() && listView_) {
        listView_->RepaintRow(*this);
    }
}

bool TAVTask::HasConvertedFile() const {
    return isConverted_ && FileExists(settings_->TargetFile());
}

bool TAVTask::HasSource() const {
    return FileExists(settings_->SourceFile());
}

void TAVTask::AddLogLine(const std::string& text) {
    while (log_.size() > kLogKeep) {
        log_.erase(log_.begin());
    }
    log_.emplace_back(Trim(text));
    logUnstored_ = true;
    ShowLogIfSelected();
    StoreLogIfDue();
}

void TAVTask::ShowLogIfSelected() {
    if (logList_ && listView_ && listView_->IsRowSelected(*this)) {
        logList_->SetLines(log_);
    }
}

double TAVTask::CutSpan(double sourceSeconds) const {
    const TAVConvertOptions& options = settings_->ConvertOptions();
    return CutSpanSeconds(sourceSeconds, options.StartTime(), options.RecordingTime());
}

std::string TConvertingTask::GetText(int column) {
    const TConversionSettings& settings = *settings_;
    switch (column) {
        case 0:
            return SourceText(settings);
        case 2:
            return FileNamePart(settings.TargetFile());
        case 4:
            return settings.Profile();
        default:
            break;
    }
    if (IsConverted()) {
        switch (column) {
            case 1:
                return SizeText(settings.SourceFileSize());
            case 3: {
                int64_t size = 0;
                for (const std::string& file : TargetFiles(settings)) {
                    size += FileSizeOnDisk(file);
                }
                return SizeText(size);
            }
            case 5:
                return TimeText(std::llround(CutSpan(settings.Duration())));
            case 6:
                return DateTimeText(Date());
            default:
                return {};
        }
    }
    switch (column) {
        case 1:
            if (settings_->SourceFileSize() == 0) {
                settings_->SetSourceFileSize(converter_->InputSize());
            }
            // A run that ended before it reported (it failed while opening, or never ran in
            // this session) still has a source file to measure.
            if (settings_->SourceFileSize() == 0 && settings_->SourceType() == stFile) {
                settings_->SetSourceFileSize(FileSizeOnDisk(settings_->SourceFile()));
            }
            return SizeText(settings_->SourceFileSize());
        case 3:
            return SizeText(converter_->OutputSize());
        case 5: {
            // A run that has not opened its source yet shows what an earlier one found.
            const double source =
                converter_->Duration() > 0 ? converter_->Duration() : settings_->Duration();
            return TimeText(std::llround(CutSpan(source)));
        }
        case 6:
            if (!IsActive()) {
                return StatusText();
            }
            return std::to_string(converter_->Progress()) + "%";
        case 7:
            return BitrateText(converter_->Bitrate());
        case 8: {
            const int64_t left = converter_->GetRemainingTime();
            return IsActive() && left != TAVConverter::kUnknownRemaining ? TimeText(left)
                                                                         : kNoEstimateText;
        }
        case 9:
            return TimeText(converter_->GetElapsedTime());
        default:
            return {};
    }
}

}  // namespace tw
