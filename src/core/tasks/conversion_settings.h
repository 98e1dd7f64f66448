#pragma once

#include <cstdint>

#include "engine/convert_options.h"
#include "util/persistent.h"

namespace tw {

enum TAVSourceType { stFile, stDvd };

// One conversion request: source (a file, or a DVD title through its stream address), target,
// profile, category, DVD selection, the owned options tree, the source's duration and size.
class TConversionSettings : public TPersistent {
    TW_REF_PROPERTY(std::string, SourceFile)
    TW_VALUE_PROPERTY(TAVSourceType, SourceType, stFile)
    TW_REF_PROPERTY(std::string, DvdDriver)
    TW_VALUE_PROPERTY(int, DvdTitle, 0)
    TW_VALUE_PROPERTY(int, DvdChapter, 0)
    TW_VALUE_PROPERTY(int, DvdThrough, 0)
    TW_VALUE_PROPERTY(int, DvdAngle, 0)
    TW_REF_PROPERTY(std::string, DvdVolume)
    TW_REF_PROPERTY(std::string, TargetFile)
    TW_REF_PROPERTY(std::string, Profile)
    TW_VALUE_PROPERTY(int, CategoryId, 0)
    TW_VALUE_PROPERTY(double, Duration, 0.0)
    TW_VALUE_PROPERTY(int64_t, SourceFileSize, 0)

public:
    TConversionSettings() = default;
    const char* ClassName() const override { return "TConversionSettings"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    TAVConvertOptions& ConvertOptions() { return options_; }
    const TAVConvertOptions& ConvertOptions() const { return options_; }
    void SetConvertOptions(const TAVConvertOptions& value) { options_.Assign(value); }

private:
    TAVConvertOptions options_;
};

}  // namespace tw
