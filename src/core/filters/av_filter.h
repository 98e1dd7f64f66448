#pragma once

// The user's video filters. Each filter knows its settings and renders itself as one piece of
// filter-chain text; the wizard joins the pieces of its filter list with the list rule
// (filter_list.h) and stores the result in TFilterOptions::VideoFilters. That stored text is the
// contract: the engine translates it into the filter library's syntax when a run starts
// (filter_chain_translation.h). The dialogs that edit filters live in the user interface; their
// acceptance rules are in filter_dialog_rules.h.

#include <cstdint>
#include <string>

#include "util/persistent.h"

namespace tw {

// The platform colour value: red in the lowest byte, green in the next, blue in the third.
using TColor = int32_t;

inline constexpr TColor kColorBlack = 0x000000;
inline constexpr TColor kColorRed = 0x0000FF;
inline constexpr TColor kColorBlue = 0xFF0000;
inline constexpr TColor kColorYellow = 0x00FFFF;

namespace filters {

// The colour with red moved to the highest of three bytes and the top byte dropped.
uint32_t ColorToRgb(TColor color);
// The inverse: 0xRRGGBB to a TColor.
TColor RgbToColor(uint32_t rgb);

// Every backslash doubled.
std::string DoubleBackslashes(const std::string& text);

// A text as a filter's summary quotes it: in single quotes, its lines joined by blanks, cut to
// a few words with "…" when long. A path is quoted by its file name.
std::string SummaryQuote(const std::string& text);
std::string SummaryFileName(const std::string& path);

}  // namespace filters

class TAVFilter : public TPersistent {
public:
    // The filter's piece of filter-chain text.
    virtual std::string GetFilterText() const = 0;
    // The filter's kind ("Logo Filter"), the caption of its dialog.
    virtual std::string GetCaption() const = 0;
    // What the filter does, in a few words ("Rotate 90°", "Text 'Hello' at 100,600"): the
    // wizard's filter list shows it.
    virtual std::string GetSummary() const = 0;

protected:
    TAVFilter() = default;
};

}  // namespace tw
