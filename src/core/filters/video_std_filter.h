#pragma once

#include "filters/av_filter.h"

namespace tw {

// Flips, negation, rotation in whole degrees and a drawn box, each only while its switch is on.
// The misspelt property names are the stored names and stay as they are.
class TVideoStdFilter : public TAVFilter {
    TW_VALUE_PROPERTY(bool, VerticalFilp, false)
    TW_VALUE_PROPERTY(bool, HorizontalFilip, false)
    TW_VALUE_PROPERTY(bool, Negate, false)
    TW_VALUE_PROPERTY(bool, Rotate, false)
    TW_VALUE_PROPERTY(bool, DrawBox, false)
    TW_VALUE_PROPERTY(int, Degree, 0)
    TW_VALUE_PROPERTY(int, BX, 0)
    TW_VALUE_PROPERTY(int, BY, 0)
    TW_VALUE_PROPERTY(int, BWidth, 0)
    TW_VALUE_PROPERTY(int, BHeight, 0)
    // One of the sixteen standard colour names ("Red", "Navy" ...).
    TW_REF_PROPERTY(std::string, BColor)

public:
    TVideoStdFilter() = default;
    const char* ClassName() const override { return "TVideoStdFilter"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    std::string GetFilterText() const override;
    std::string GetCaption() const override { return "Standard Filters"; }
    std::string GetSummary() const override;
};

}  // namespace tw
