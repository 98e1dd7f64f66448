#include "tasks/configuration.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/message_service.h"
#include "platform/paths.h"
#include "platform/process_priority.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/settings_xml.h"
#include "util/text_file.h"

namespace tw {

namespace fs = std::filesystem;

const PropertyTable& TPerformanceOptions::Properties() const {
    using T = TPerformanceOptions;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Integer("ThreadCount", &T::ThreadCount, &T::SetThreadCount)
            .Integer("ThreadPrority", &T::ThreadPrority, &T::SetThreadPrority)
            .Integer("MaxConversions", &T::MaxConversions, &T::SetMaxConversions,
                     kAsManyAsProcessors)
            .Boolean("RunInOwnProcess", &T::RunInOwnProcess, &T::SetRunInOwnProcess, true)
            .Integer("Segments", &T::Segments, &T::SetSegments, -1)
            .Integer("SegmentSeconds", &T::SegmentSeconds, &T::SetSegmentSeconds, 30)
            .String("SegmentHosts", &T::SegmentHosts, &T::SetSegmentHosts)
            .Build();
    return table;
}

int TPerformanceOptions::ConversionPlaces() const {
    if (MaxConversions() == kAsManyAsProcessors) {
        return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    }
    return std::max(0, MaxConversions());
}

void TPerformanceOptions::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TPerformanceOptions*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetThreadCount(from->ThreadCount());
    SetThreadPrority(from->ThreadPrority());
    SetMaxConversions(from->MaxConversions());
    SetRunInOwnProcess(from->RunInOwnProcess());
    SetSegments(from->Segments());
    SetSegmentSeconds(from->SegmentSeconds());
    SetSegmentHosts(from->SegmentHosts());
}

TAVConfiguration::TAVConfiguration()
    : applyPriority_([](int level, std::string*) {
          platform::SetConversionPriority(level);
          return true;
      }) {
    OutputFolder_ = InitialOutputFolder();
}

const PropertyTable& TAVConfiguration::Properties() const {
    using T = TAVConfiguration;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Object("PerformanceOptions",
                    [](T& o) -> TPersistent& { return o.PerformanceOptions(); })
            .Boolean("ShutdownWhenDone", &T::ShutdownWhenDone, &T::SetShutdownWhenDone, false)
            .String("OutputFolder", &T::OutputFolder, &T::SetOutputFolder)
            .Boolean("ShowAlert", &T::ShowAlert, &T::SetShowAlert, true)
            .Boolean("KeepPictureShape", &T::KeepPictureShape, &T::SetKeepPictureShape, true)
            .Boolean("DeleteSourceFile", &T::DeleteSourceFile, &T::SetDeleteSourceFile, false)
            .Boolean("DeleteTargetFile", &T::DeleteTargetFile, &T::SetDeleteTargetFile, false)
            .Build();
    return table;
}

void TAVConfiguration::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TAVConfiguration*>(&source);
    if (!from) {
        AssignError(source);
    }
    performance_.Assign(from->performance_);
    SetShutdownWhenDone(from->ShutdownWhenDone());
    SetOutputFolder(from->OutputFolder());
    SetShowAlert(from->ShowAlert());
    SetKeepPictureShape(from->KeepPictureShape());
    SetDeleteSourceFile(from->DeleteSourceFile());
    SetDeleteTargetFile(from->DeleteTargetFile());
}

std::string TAVConfiguration::ConfigFolder() {
    return platform::ConfigBase() + "/TidewellSoft/VideoConverter";
}

std::string TAVConfiguration::ConfigFileName() {
    return ConfigFolder() + "Config.Xml";
}

std::string TAVConfiguration::InitialOutputFolder() {
    return platform::VideosFolder() + "/Conversion";
}

void TAVConfiguration::Save() {
    ApplyPriority();
    Write();
}

void TAVConfiguration::Write() {
    const fs::path file = ConfigFileName();
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) {
        throw EAVError(FormatPrintf("Unable to create directory \"%s\": %s",
                                    file.parent_path().c_str(), error.message().c_str()));
    }
    SaveSettingsXmlFile(*this, file);
}

void TAVConfiguration::Load() {
    Read();
    // Every run of a conversion takes the stored priority, not only those after the next save.
    ApplyPriority();
}

void TAVConfiguration::ApplyPriority() {
    std::string reason;
    const int level = performance_.ThreadPrority();
    if (applyPriority_ && !applyPriority_(level, &reason)) {
        std::fprintf(stderr, "Could not set the conversion priority to level %d: %s\n", level,
                     reason.c_str());
    }
}

void TAVConfiguration::Read() {
    const fs::path file = ConfigFileName();
    std::error_code error;
    if (!fs::exists(file, error)) {
        try {
            Write();
        } catch (const EAVError& e) {
            // A folder the user may not write must not keep the program from starting.
            platform::Messages().ShowError(FormatPrintf(
                "%s. The default settings are used, and changes to them will not be kept.",
                e.what()));
            return;
        }
    }
    std::string text;
    try {
        text = ReadTextFile(file);
    } catch (const EAVError& e) {
        platform::Messages().ShowError(FormatPrintf(
            "The configuration file %s could not be read (%s). The default settings are used "
            "for now.",
            file.c_str(), e.what()));
        return;
    }
    try {
        ReadSettingsXml(text, *this);
    } catch (const EAVError& e) {
        // A damaged file must not keep the program from starting: keep it for the user, start
        // over from the initial values and say so.
        TAVConfiguration initial;
        Assign(initial);
        const fs::path kept = KeepAside(file);
        if (kept.empty()) {
            // Without a copy kept aside the damaged file is left alone, not overwritten.
            platform::Messages().ShowError(FormatPrintf(
                "The configuration file %s could not be read (%s). The default settings are "
                "used for now.",
                file.c_str(), e.what()));
            return;
        }
        std::string saved = "the default settings were restored";
        try {
            Write();
        } catch (const EAVError& saveError) {
            saved = FormatPrintf("the default settings are used, but could not be saved (%s)",
                                 saveError.what());
        }
        platform::Messages().ShowError(
            FormatPrintf("The configuration file %s could not be read (%s). It was kept as %s and "
                         "%s.",
                         file.c_str(), e.what(), kept.c_str(), saved.c_str()));
    }
}

}  // namespace tw
