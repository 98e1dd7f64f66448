#pragma once

// Reads the stored filter pieces (the texts the filter classes write) back into their values.
// Each function answers nullopt for a text of another shape, so a piece written in the filter
// library's own syntax is recognised as such and left alone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::filters {

struct LogoPiece {
    std::string logoFile;  // backslashes single again
    int x = 0;
    int y = 0;
};

struct OverlayTextPiece {
    std::string fontFile;
    std::string text;  // line breaks as '\n' again
    int x = 0;
    int y = 0;
    int fontSize = 0;
    uint32_t fontRgb = 0;  // 0xRRGGBB
    uint32_t backgroundRgb = 0;
};

struct SubtitlePiece {
    std::string subtitleFile;
    std::string fontFile;
    uint32_t fontRgb = 0;
    std::string codePage;  // empty: none named
};

// One item of a standard filter.
struct StdFilterItem {
    enum class Kind { VerticalFlip, HorizontalFlip, Negate, DrawBox, Rotate };
    Kind kind = Kind::VerticalFlip;
    int x = 0, y = 0, width = 0, height = 0;  // DrawBox
    std::string colorName;                    // DrawBox
    int degrees = 0;                          // Rotate
};

std::optional<LogoPiece> ParseLogoPiece(std::string_view text);
std::optional<OverlayTextPiece> ParseOverlayTextPiece(std::string_view text);
std::optional<SubtitlePiece> ParseSubtitlePiece(std::string_view text);
std::optional<StdFilterItem> ParseStdFilterItem(std::string_view text);

// Undoes DoubleBackslashes; a lone backslash stays as it is.
std::string UndoubleBackslashes(std::string_view text);

}  // namespace tw::filters
