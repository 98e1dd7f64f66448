#pragma once

#include "util/persistent.h"

namespace tw {

class TSubtitleOptions : public TPersistent {
    TW_REF_PROPERTY(std::string, SubtitleLanguage)
    // The source's subtitle tracks to keep, counted from 1 ("2", "all", "none"); empty: its main
    // one where the container holds it (engine/track_choice.h).
    TW_REF_PROPERTY(std::string, SubtitleTracks)
    TW_REF_PROPERTY(std::string, SubtitleCodecName)
    TW_VALUE_PROPERTY(bool, SubtitleDisable, false)
    TW_VALUE_PROPERTY(bool, SubtitleStreamCopy, false)
    TW_VALUE_PROPERTY(int, SubtitleCodecTag, 0)

public:
    TSubtitleOptions() = default;
    const char* ClassName() const override { return "TSubtitleOptions"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;
};

}  // namespace tw
