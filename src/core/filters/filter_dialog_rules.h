#pragma once

// What the four filter dialogs accept, their value limits and initial values, and how confirmed
// values reach a filter. The dialogs themselves belong to the user interface; they hold one of
// these value records, enable OK while the matching Accepts function holds, and on OK call
// CopyTo. Editing an existing filter starts from ValuesOf.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "filters/av_filter.h"
#include "filters/default_font.h"

namespace tw {
class TVideoStdFilter;
class TLogoFilter;
class TOverlayTextFilter;
class TSubtitleFilter;
}  // namespace tw

namespace tw::filters {

// The sixteen standard colours of the colour choice, in its order.
struct NamedColor {
    const char* name;
    TColor color;
};
const std::array<NamedColor, 16>& StandardColors();
// Index of the entry whose name equals name (case as shown), or -1.
int StandardColorIndex(std::string_view name);

// Code pages offered by the subtitle dialog, in order.
const std::vector<std::string>& CodePageChoices();
// Subtitle files the subtitle dialog offers.
inline constexpr std::array<const char*, 4> kSubtitleFileExtensions = {".ssa", ".ass", ".srt",
                                                                       ".txt"};

// A regular file (or a link to one) exists under this name.
bool FilterFileExists(const std::string& path);

// "Standard Filters" dialog.
inline constexpr int kMinDegree = 0;
inline constexpr int kMaxDegree = 359;
struct StdFilterDialogValues {
    bool verticalFlip = false;
    bool horizontalFlip = false;
    bool negate = false;
    bool rotate = false;
    bool drawBox = false;
    int degrees = 45;  // editable only while rotate is ticked
    int boxX = 0;      // box values editable only while drawBox is ticked
    int boxY = 0;
    int boxWidth = 0;
    int boxHeight = 0;
    std::string boxColor = "Black";
};
bool Accepts(const StdFilterDialogValues& values);
void CopyTo(const StdFilterDialogValues& values, TVideoStdFilter& filter);
// An unknown BColor leaves boxColor empty: the colour choice then shows no entry.
StdFilterDialogValues ValuesOf(const TVideoStdFilter& filter);

// "Logo Filter" dialog (PNG files offered).
struct LogoFilterDialogValues {
    int x = 0;
    int y = 0;
    std::string logoFile;
};
bool Accepts(const LogoFilterDialogValues& values);
void CopyTo(const LogoFilterDialogValues& values, TLogoFilter& filter);
LogoFilterDialogValues ValuesOf(const TLogoFilter& filter);

// "Overlay Text Filter" dialog (TrueType files offered). The background colour is not shown.
// The font starts as the one the renderer would take by itself, so a text is all OK needs.
inline constexpr int kMinFontSize = 1;
inline constexpr int kMaxFontSize = 72;
inline constexpr int kFontSizeStep = 16;
inline constexpr int kMinTextPosition = 0;
struct OverlayTextDialogValues {
    std::string text;
    int fontSize = 16;
    int x = 0;
    int y = 0;
    TColor fontColor = kColorYellow;
    TColor bgColor = kColorBlue;
    std::string fontFile = DefaultFontFile();
};
bool Accepts(const OverlayTextDialogValues& values);
void CopyTo(const OverlayTextDialogValues& values, TOverlayTextFilter& filter);
OverlayTextDialogValues ValuesOf(const TOverlayTextFilter& filter);

// "Subtitle Filter" dialog.
struct SubtitleDialogValues {
    std::string subtitleFile;
    std::string fontFile = DefaultFontFile();
    TColor fontColor = kColorYellow;
    std::string codePage;  // chosen or typed; copied trimmed, empty allowed
};
bool Accepts(const SubtitleDialogValues& values);
void CopyTo(const SubtitleDialogValues& values, TSubtitleFilter& filter);
SubtitleDialogValues ValuesOf(const TSubtitleFilter& filter);

// Clamps a value to a spin control's limits.
int ClampToRange(int value, int low, int high);

}  // namespace tw::filters
