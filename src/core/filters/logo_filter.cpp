#include "filters/logo_filter.h"

#include "util/format.h"

namespace tw {

const PropertyTable& TLogoFilter::Properties() const {
    using T = TLogoFilter;
    static const PropertyTable table = PropertyTableBuilder<T>()
                                           .Integer("X", &T::X, &T::SetX)
                                           .Integer("Y", &T::Y, &T::SetY)
                                           .String("LogoFile", &T::LogoFile, &T::SetLogoFile)
                                           .Build();
    return table;
}

void TLogoFilter::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TLogoFilter*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetX(from->X());
    SetY(from->Y());
    SetLogoFile(from->LogoFile());
}

std::string TLogoFilter::GetSummary() const {
    return FormatPrintf("Logo %s at %d,%d", filters::SummaryFileName(LogoFile()).c_str(), X(), Y());
}

std::string TLogoFilter::GetFilterText() const {
    return FormatPrintf("movie=0:png:%s [wm];[in][wm] overlay=%d:%d:1 [out]",
                        filters::DoubleBackslashes(LogoFile()).c_str(), X(), Y());
}

}  // namespace tw
