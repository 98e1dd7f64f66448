#pragma once

#include "filters/av_filter.h"

namespace tw {

// A text drawn over the video with a TrueType font, its top-left corner at X, Y.
class TOverlayTextFilter : public TAVFilter {
    TW_REF_PROPERTY(std::string, Text)
    TW_VALUE_PROPERTY(int, FontSize, 0)
    TW_VALUE_PROPERTY(int, X, 0)
    TW_VALUE_PROPERTY(int, Y, 0)
    TW_VALUE_PROPERTY(TColor, FontColor, 0)
    TW_VALUE_PROPERTY(TColor, BgColor, 0)
    TW_REF_PROPERTY(std::string, FontFile)

public:
    TOverlayTextFilter() = default;
    const char* ClassName() const override { return "TOverlayTextFilter"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    std::string GetFilterText() const override;
    std::string GetCaption() const override { return "Overlay Text Filter"; }
    std::string GetSummary() const override;
};

namespace filters {
// Every line break (CR LF, or a lone CR or LF) as the two characters backslash and n.
std::string LineBreaksAsBackslashN(const std::string& text);
}  // namespace filters

}  // namespace tw
