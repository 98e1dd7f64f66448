#pragma once

#include "util/persistent.h"

namespace tw {

class TMuxerOptions : public TPersistent {
    TW_VALUE_PROPERTY(float, MuxPreload, 0.5f)
    TW_VALUE_PROPERTY(float, MuxMaxDelay, 0.7f)
    TW_REF_PROPERTY(TStringList, AudioBitstreamFilters)
    TW_REF_PROPERTY(TStringList, SubtitleBitstreamFilters)
    TW_REF_PROPERTY(TStringList, VideoBitstreamFilters)

public:
    TMuxerOptions() = default;
    const char* ClassName() const override { return "TMuxerOptions"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;
};

// Settings for capture-device inputs.
class TGrabOptions : public TPersistent {
    TW_VALUE_PROPERTY(int, VideoChannel, 0)
    TW_REF_PROPERTY(std::string, VideoStandard)
    TW_VALUE_PROPERTY(bool, InputSync, false)

public:
    TGrabOptions() = default;
    const char* ClassName() const override { return "TGrabOptions"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;
};

// The user's video filter chain text (empty = no user filters).
class TFilterOptions : public TPersistent {
    TW_REF_PROPERTY(std::string, VideoFilters)

public:
    TFilterOptions() = default;
    const char* ClassName() const override { return "TFilterOptions"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;
};

}  // namespace tw
