#pragma once

// A named set of H.264 encoder settings. The option lines it writes use the option names and
// flag words of the old library generation, which stored profiles and settings carry; the
// engine translates them when a run starts.

#include <string>
#include <utility>
#include <vector>

#include "profiles/av_profile.h"
#include "profiles/profile_tables.h"

namespace tw {

class TAVX264Profile : public TAVProfile {
    TW_VALUE_PROPERTY(TPreset, preset, TPreset::basic)

public:
    TAVX264Profile();
    const char* ClassName() const override { return "TAVX264Profile"; }
    const PropertyTable& Properties() const override;

    // Sets the preset's library options, in their order, through SetCodecOption. A preset
    // outside the enumeration sets nothing.
    bool ApplyTo(TAVConvertOptions& options) const override;
    using TAVProfile::ApplyTo;
};

// The option lines of a preset as (name, value), in the order they are set; empty for a value
// outside the enumeration.
std::vector<std::pair<std::string, std::string>> X264PresetOptions(TPreset preset);

}  // namespace tw
