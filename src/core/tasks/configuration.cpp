#include "tasks/configuration.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/message_service.h"
#include "platform/paths.h"
#include "platform/process_priority.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/settings_xml.h"

namespace tw {

namespace fs = std::filesystem;

const PropertyTable& TPerformanceOptions::Properties() const {
    using T = TPerformanceOptions;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Integer("ThreadCount", &T::ThreadCount, &T::SetThreadCount)
            .Integer("ThreadPrority", &T::ThreadPrority, &T::SetThreadPrority)
            .Build();
    return table;
}

void TPerformanceOptions::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TPerformanceOptions*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetThreadCount(from->ThreadCount());
    SetThreadPrority(from->ThreadPrority());
}

TAVConfiguration::TAVConfiguration()
    : applyPriority_([](int level, std::string* error) {
          return platform::ApplyProcessPriority(level, error);
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
    const fs::path file = ConfigFileName();
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) {
        throw EAVError(FormatPrintf("Unable to create directory \"%s\": %s",
                                    file.parent_path().c_str(), error.message().c_str()));
    }
    std::string reason;
    const int level = performance_.ThreadPrority();
    if (applyPriority_ && !applyPriority_(level, &reason)) {
        std::fprintf(stderr, "Could not set the process priority to level %d: %s\n", level,
                     reason.c_str());
    }
    SaveSettingsXmlFile(*this, file);
}

void TAVConfiguration::Load() {
    const fs::path file = ConfigFileName();
    if (!fs::exists(file)) {
        Save();
    }
    const std::string text = ReadTextFile(file);
    try {
        ReadSettingsXml(text, *this);
    } catch (const EAVError& e) {
        // A damaged file must not keep the program from starting: keep it for the user, start
        // over from the initial values and say so.
        TAVConfiguration initial;
        Assign(initial);
        const fs::path kept = file.string() + ".bad";
        std::error_code renameError;
        fs::rename(file, kept, renameError);
        if (renameError) {
            // Without a copy kept aside the damaged file is left alone, not overwritten.
            platform::Messages().ShowError(FormatPrintf(
                "The configuration file %s could not be read (%s). The default settings are "
                "used for now.",
                file.c_str(), e.what()));
            return;
        }
        Save();
        platform::Messages().ShowError(FormatPrintf(
            "The configuration file %s could not be read (%s). It was kept as %s and the "
            "default settings were restored.",
            file.c_str(), e.what(), kept.c_str()));
    }
}

}  // namespace tw
