#pragma once

// Edges of the picture brought out with the filter library's unsharp mask, at one of three
// strengths. The filter text is the library's own syntax, which the engine passes on as it is.

#include <array>

#include "filters/av_filter.h"

namespace tw {

class TSharpenFilter : public TAVFilter {
public:
    enum Strength { kLight = 0, kMedium = 1, kStrong = 2 };

private:
    TW_VALUE_PROPERTY(int, Strength, kMedium)

public:
    TSharpenFilter() = default;
    const char* ClassName() const override { return "TSharpenFilter"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    std::string GetFilterText() const override;
    std::string GetCaption() const override { return "Sharpen Filter"; }
    std::string GetSummary() const override;
};

}  // namespace tw

namespace tw::filters {

// "Sharpen Filter" dialog: the strength.
struct SharpenDialogValues {
    int strength = TSharpenFilter::kMedium;
};
const std::array<const char*, 3>& SharpenStrengthNames();
bool Accepts(const SharpenDialogValues& values);
void CopyTo(const SharpenDialogValues& values, TSharpenFilter& filter);
SharpenDialogValues ValuesOf(const TSharpenFilter& filter);

}  // namespace tw::filters
