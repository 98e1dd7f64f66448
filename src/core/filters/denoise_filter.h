#pragma once

// Noise taken out of the picture with the filter library's hqdn3d (in space and over time), at
// one of three strengths or with the four values set by hand. The filter text is the library's
// own syntax, which the engine passes on as it is.

#include <array>

#include "filters/av_filter.h"

namespace tw {

class TDenoiseFilter : public TAVFilter {
public:
    enum Strength { kLight = 0, kMedium = 1, kStrong = 2, kCustom = 3 };

private:
    TW_VALUE_PROPERTY(int, Strength, kMedium)
    // Used with kCustom only.
    TW_VALUE_PROPERTY(double, LumaSpatial, 4.0)
    TW_VALUE_PROPERTY(double, ChromaSpatial, 3.0)
    TW_VALUE_PROPERTY(double, LumaTemporal, 6.0)
    TW_VALUE_PROPERTY(double, ChromaTemporal, 4.5)

public:
    TDenoiseFilter() = default;
    const char* ClassName() const override { return "TDenoiseFilter"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    std::string GetFilterText() const override;
    std::string GetCaption() const override { return "Denoise Filter"; }
    std::string GetSummary() const override;

    // The four values in effect: the strength's, or the custom ones.
    std::array<double, 4> Values() const;
};

}  // namespace tw

namespace tw::filters {

// "Denoise Filter" dialog: the strength, and the four values, editable only with Custom.
inline constexpr double kMaxDenoiseValue = 50.0;
struct DenoiseDialogValues {
    int strength = TDenoiseFilter::kMedium;
    std::array<double, 4> custom = {4.0, 3.0, 6.0, 4.5};
};
const std::array<const char*, 4>& DenoiseStrengthNames();
// Any strength of the list; custom values from 0 to kMaxDenoiseValue, not all 0.
bool Accepts(const DenoiseDialogValues& values);
void CopyTo(const DenoiseDialogValues& values, TDenoiseFilter& filter);
DenoiseDialogValues ValuesOf(const TDenoiseFilter& filter);

}  // namespace tw::filters
