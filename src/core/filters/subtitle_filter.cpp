#include "filters/subtitle_filter.h"

#include "util/format.h"

namespace tw {

const PropertyTable& TSubtitleFilter::Properties() const {
    using T = TSubtitleFilter;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .String("SubtitleFile", &T::SubtitleFile, &T::SetSubtitleFile)
            .String("FontFile", &T::FontFile, &T::SetFontFile)
            .String("CodePage", &T::CodePage, &T::SetCodePage)
            .Integer("FontColor", &T::FontColor, &T::SetFontColor)
            .Build();
    return table;
}

void TSubtitleFilter::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TSubtitleFilter*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetSubtitleFile(from->SubtitleFile());
    SetFontFile(from->FontFile());
    SetCodePage(from->CodePage());
    SetFontColor(from->FontColor());
}

std::string TSubtitleFilter::GetSummary() const {
    std::string summary = "Subtitles " + filters::SummaryFileName(SubtitleFile());
    if (!CodePage().empty()) {
        summary += " (" + CodePage() + ")";
    }
    return summary;
}

std::string TSubtitleFilter::GetFilterText() const {
    const std::string subtitleFile = filters::DoubleBackslashes(SubtitleFile());
    const std::string fontFile = filters::DoubleBackslashes(FontFile());
    const unsigned rgb = filters::ColorToRgb(FontColor());
    if (CodePage().empty()) {
        return FormatPrintf("ass=filename$%s#font$%s#color$0x%X00", subtitleFile.c_str(),
                            fontFile.c_str(), rgb);
    }
    return FormatPrintf("ass=filename$%s#font$%s#color$0x%X00#codepage$%s", subtitleFile.c_str(),
                        fontFile.c_str(), rgb, CodePage().c_str());
}

}  // namespace tw
