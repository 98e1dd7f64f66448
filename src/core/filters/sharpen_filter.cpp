#include "filters/sharpen_filter.h"

namespace tw {

namespace {

// A 5x5 mask on the brightness only, stronger and stronger; colour is left alone.
constexpr std::array<const char*, 3> kStrengthTexts = {"unsharp=5:5:0.5", "unsharp=5:5:1.0",
                                                       "unsharp=5:5:1.5"};

size_t StrengthIndex(int strength) {
    return strength >= TSharpenFilter::kLight && strength <= TSharpenFilter::kStrong
               ? static_cast<size_t>(strength)
               : static_cast<size_t>(TSharpenFilter::kMedium);
}

}  // namespace

const PropertyTable& TSharpenFilter::Properties() const {
    using T = TSharpenFilter;
    static const PropertyTable table =
        PropertyTableBuilder<T>().Integer("Strength", &T::Strength, &T::SetStrength).Build();
    return table;
}

void TSharpenFilter::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TSharpenFilter*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetStrength(from->Strength());
}

std::string TSharpenFilter::GetFilterText() const {
    return kStrengthTexts[StrengthIndex(Strength())];
}

std::string TSharpenFilter::GetSummary() const {
    return std::string("Sharpen ") + filters::SharpenStrengthNames()[StrengthIndex(Strength())];
}

}  // namespace tw

namespace tw::filters {

const std::array<const char*, 3>& SharpenStrengthNames() {
    static const std::array<const char*, 3> names = {"Light", "Medium", "Strong"};
    return names;
}

bool Accepts(const SharpenDialogValues& values) {
    return values.strength >= TSharpenFilter::kLight && values.strength <= TSharpenFilter::kStrong;
}

void CopyTo(const SharpenDialogValues& values, TSharpenFilter& filter) {
    filter.SetStrength(values.strength);
}

SharpenDialogValues ValuesOf(const TSharpenFilter& filter) {
    return {filter.Strength()};
}

}  // namespace tw::filters
