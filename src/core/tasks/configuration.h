#pragma once

#include <functional>
#include <string>

#include "util/persistent.h"

namespace tw {

class TPerformanceOptions : public TPersistent {
    TW_VALUE_PROPERTY(int, ThreadCount, 0)    // 0 = one thread per processor
    TW_VALUE_PROPERTY(int, ThreadPrority, 2)  // process priority level 0..5
    // How many files convert at once: kAsManyAsProcessors, 0 for any number, or a number.
    TW_VALUE_PROPERTY(int, MaxConversions, kAsManyAsProcessors)
    // Each conversion in a worker process of its own, so that a fault of one ends only that one.
    TW_VALUE_PROPERTY(bool, RunInOwnProcess, true)
    // Segments of one long conversion converted at once, each in a worker process: -1 one per
    // processor, 0 or 1 in one piece. Only conversions in their own processes go in segments.
    TW_VALUE_PROPERTY(int, Segments, -1)
    // About how long a segment is, in seconds.
    TW_VALUE_PROPERTY(int, SegmentSeconds, 30)
    // Other computers that convert segments too: SSH logins, one a line (GNU parallel's login
    // form); empty: this computer only.
    TW_REF_PROPERTY(std::string, SegmentHosts)

public:
    static constexpr int kAsManyAsProcessors = -1;

    TPerformanceOptions() = default;
    // MaxConversions as a number of files (the processors counted); 0: any number.
    int ConversionPlaces() const;
    const char* ClassName() const override { return "TPerformanceOptions"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;
};

// The user's preferences, stored as settings XML in ConfigFileName().
class TAVConfiguration : public TPersistent {
    TW_VALUE_PROPERTY(bool, ShutdownWhenDone, false)
    TW_REF_PROPERTY(std::string, OutputFolder)
    TW_VALUE_PROPERTY(bool, ShowAlert, true)
    // Handed to new conversions as their VideoOptions.KeepPictureShape.
    TW_VALUE_PROPERTY(bool, KeepPictureShape, true)
    // The delete confirmation's boxes as the user left them last.
    TW_VALUE_PROPERTY(bool, DeleteSourceFile, false)
    TW_VALUE_PROPERTY(bool, DeleteTargetFile, false)

public:
    // Applies a priority level to conversions; returns false with a reason when refused.
    using PriorityApplier = std::function<bool(int level, std::string* error)>;

    TAVConfiguration();
    const char* ClassName() const override { return "TAVConfiguration"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    TPerformanceOptions& PerformanceOptions() { return performance_; }
    const TPerformanceOptions& PerformanceOptions() const { return performance_; }
    void SetPerformanceOptions(const TPerformanceOptions& value) { performance_.Assign(value); }

    // ".../TidewellSoft/VideoConverter" under the configuration base, without a trailing
    // separator.
    static std::string ConfigFolder();
    // ConfigFolder() followed directly by "Config.Xml".
    static std::string ConfigFileName();
    // The folder new targets go to unless the user picks another.
    static std::string InitialOutputFolder();

    // Writes the initial file when there is none, then reads the file; missing elements keep
    // their values. Never fails: a file that cannot be read keeps the initial values; one that
    // does not parse is kept aside (KeepAside) and the initial values are written afresh; a file
    // that cannot be written leaves the initial values in use. The user is told each time.
    // Applies the priority level read.
    void Load();
    // Creates the folder, applies the priority level, writes the file. Throws EAVError when the
    // folder or the file cannot be written.
    void Save();

    // Replaces the priority step, which by default sets the level every conversion run starts
    // with (platform::SetConversionPriority); tests record it instead.
    void SetPriorityApplier(PriorityApplier applier) { applyPriority_ = std::move(applier); }

private:
    void Read();
    // Save without applying the priority.
    void Write();
    void ApplyPriority();

    TPerformanceOptions performance_;
    PriorityApplier applyPriority_;
};

}  // namespace tw
