#include "tasks/av_task.h"

#include <cmath>
#include <filesystem>
#include <vector>

#include "engine/image_sequence_name.h"
#include "tasks/persistent_manager.h"
#include "tasks/task_text.h"
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
    TW_ASSERT(status_ >= stRunning && status_ <= stFinished);
    return static_cast<int>(status_);
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
    log_.clear();
    ShowLogIfSelected();
    return true;
}

void TAVTask::Pause() {
    status_ = stPaused;
}

void TAVTask::Resume() {
    status_ = stRunning;
}

void TAVTask::Stop() {
    status_ = stError;
}

void TAVTask::Delete(bool deleteSource, bool deleteTarget) {
    Environment().Persistence->DeleteTask(*this);
    std::error_code error;
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
    ShowLogIfSelected();
}

void TAVTask::ShowLogIfSelected() {
    if (logList_ && listView_ && listView_->IsRowSelected(*this)) {
        logList_->SetLines(log_);
    }
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
                return TimeText(std::llround(settings.Duration()));
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
        case 5:
            return TimeText(std::llround(converter_->Duration()));
        case 6:
            return std::to_string(converter_->Progress()) + "%";
        case 7:
            return BitrateText(converter_->Bitrate());
        case 8:
            return TimeText(converter_->GetRemainingTime());
        case 9:
            return TimeText(converter_->GetElapsedTime());
        default:
            return {};
    }
}

}  // namespace tw
