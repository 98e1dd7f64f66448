#pragma once

#include "filters/av_filter.h"

namespace tw {

// Subtitles from a subtitle file (.srt, .ass, .ssa, .txt) burned into the picture with a font
// file and a colour; CodePage names the file's character set (empty: UTF-8).
class TSubtitleFilter : public TAVFilter {
    TW_REF_PROPERTY(std::string, SubtitleFile)
    TW_REF_PROPERTY(std::string, FontFile)
    TW_REF_PROPERTY(std::string, CodePage)
    TW_VALUE_PROPERTY(TColor, FontColor, 0)

public:
    TSubtitleFilter() = default;
    const char* ClassName() const override { return "TSubtitleFilter"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    std::string GetFilterText() const override;
    std::string GetCaption() const override { return "Hard Subtitle Filter"; }
    std::string GetSummary() const override;
};

}  // namespace tw
