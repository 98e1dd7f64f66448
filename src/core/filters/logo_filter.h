#pragma once

#include "filters/av_filter.h"

namespace tw {

// A picture (PNG) overlaid on the video with its top-left corner at X, Y.
class TLogoFilter : public TAVFilter {
    TW_VALUE_PROPERTY(int, X, 0)
    TW_VALUE_PROPERTY(int, Y, 0)
    TW_REF_PROPERTY(std::string, LogoFile)

public:
    TLogoFilter() = default;
    const char* ClassName() const override { return "TLogoFilter"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    std::string GetFilterText() const override;
    std::string GetCaption() const override { return "Logo Filter"; }
    std::string GetSummary() const override;
};

}  // namespace tw
