#include "filters/overlay_text_filter.h"

#include "util/format.h"

namespace tw {

namespace filters {

std::string LineBreaksAsBackslashN(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            result += "\\n";
        } else {
            result += text[i];
        }
    }
    return result;
}

}  // namespace filters

const PropertyTable& TOverlayTextFilter::Properties() const {
    using T = TOverlayTextFilter;
    static const PropertyTable table = PropertyTableBuilder<T>()
                                           .String("Text", &T::Text, &T::SetText)
                                           .Integer("FontSize", &T::FontSize, &T::SetFontSize)
                                           .Integer("X", &T::X, &T::SetX)
                                           .Integer("Y", &T::Y, &T::SetY)
                                           .Integer("FontColor", &T::FontColor, &T::SetFontColor)
                                           .Integer("BgColor", &T::BgColor, &T::SetBgColor)
                                           .String("FontFile", &T::FontFile, &T::SetFontFile)
                                           .Build();
    return table;
}

void TOverlayTextFilter::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TOverlayTextFilter*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetText(from->Text());
    SetFontSize(from->FontSize());
    SetX(from->X());
    SetY(from->Y());
    SetFontColor(from->FontColor());
    SetBgColor(from->BgColor());
    SetFontFile(from->FontFile());
}

std::string TOverlayTextFilter::GetSummary() const {
    return FormatPrintf("Text %s at %d,%d", filters::SummaryQuote(Text()).c_str(), X(), Y());
}

std::string TOverlayTextFilter::GetFilterText() const {
    return FormatPrintf(
        "drawtext=fontfile=\\'%s\\'#text='%s'#x=%d#y=%d#fontsize=%d#fgcolor=0x%.6XFF#bgcolor=0x%."
        "6X00",
        filters::DoubleBackslashes(FontFile()).c_str(),
        filters::LineBreaksAsBackslashN(Text()).c_str(), X(), Y(), FontSize(),
        filters::ColorToRgb(FontColor()), filters::ColorToRgb(BgColor()));
}

}  // namespace tw
