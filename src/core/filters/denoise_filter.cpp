#include "filters/denoise_filter.h"

#include <charconv>

namespace tw {

namespace {

// The strengths' values, the library's own default as Medium.
constexpr std::array<std::array<double, 4>, 3> kStrengths = {{
    {2.0, 1.5, 3.0, 2.25},
    {4.0, 3.0, 6.0, 4.5},
    {8.0, 6.0, 12.0, 9.0},
}};

// Written with a point whatever the locale, as the filter library reads it.
std::string Number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace

const PropertyTable& TDenoiseFilter::Properties() const {
    using T = TDenoiseFilter;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Integer("Strength", &T::Strength, &T::SetStrength)
            .Double("LumaSpatial", &T::LumaSpatial, &T::SetLumaSpatial)
            .Double("ChromaSpatial", &T::ChromaSpatial, &T::SetChromaSpatial)
            .Double("LumaTemporal", &T::LumaTemporal, &T::SetLumaTemporal)
            .Double("ChromaTemporal", &T::ChromaTemporal, &T::SetChromaTemporal)
            .Build();
    return table;
}

void TDenoiseFilter::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TDenoiseFilter*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetStrength(from->Strength());
    SetLumaSpatial(from->LumaSpatial());
    SetChromaSpatial(from->ChromaSpatial());
    SetLumaTemporal(from->LumaTemporal());
    SetChromaTemporal(from->ChromaTemporal());
}

std::array<double, 4> TDenoiseFilter::Values() const {
    if (Strength() >= kLight && Strength() <= kStrong) {
        return kStrengths[static_cast<size_t>(Strength())];
    }
    return {LumaSpatial(), ChromaSpatial(), LumaTemporal(), ChromaTemporal()};
}

std::string TDenoiseFilter::GetFilterText() const {
    const std::array<double, 4> values = Values();
    return "hqdn3d=" + Number(values[0]) + ":" + Number(values[1]) + ":" + Number(values[2]) + ":" +
           Number(values[3]);
}

std::string TDenoiseFilter::GetSummary() const {
    if (Strength() >= kLight && Strength() <= kStrong) {
        return std::string("Denoise ") +
               filters::DenoiseStrengthNames()[static_cast<size_t>(Strength())];
    }
    const std::array<double, 4> values = Values();
    return "Denoise " + Number(values[0]) + ", " + Number(values[1]) + ", " + Number(values[2]) +
           ", " + Number(values[3]);
}

}  // namespace tw

namespace tw::filters {

const std::array<const char*, 4>& DenoiseStrengthNames() {
    static const std::array<const char*, 4> names = {"Light", "Medium", "Strong", "Custom"};
    return names;
}

bool Accepts(const DenoiseDialogValues& values) {
    if (values.strength < TDenoiseFilter::kLight || values.strength > TDenoiseFilter::kCustom) {
        return false;
    }
    if (values.strength != TDenoiseFilter::kCustom) {
        return true;
    }
    bool any = false;
    for (const double value : values.custom) {
        if (!(value >= 0 && value <= kMaxDenoiseValue)) {
            return false;
        }
        any = any || value > 0;
    }
    return any;
}

void CopyTo(const DenoiseDialogValues& values, TDenoiseFilter& filter) {
    filter.SetStrength(values.strength);
    filter.SetLumaSpatial(values.custom[0]);
    filter.SetChromaSpatial(values.custom[1]);
    filter.SetLumaTemporal(values.custom[2]);
    filter.SetChromaTemporal(values.custom[3]);
}

DenoiseDialogValues ValuesOf(const TDenoiseFilter& filter) {
    return {filter.Strength(),
            {filter.LumaSpatial(), filter.ChromaSpatial(), filter.LumaTemporal(),
             filter.ChromaTemporal()}};
}

}  // namespace tw::filters
