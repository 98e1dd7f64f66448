#include "filters/filter_dialog_rules.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/subtitle_filter.h"
#include "filters/video_std_filter.h"
#include "util/string_list.h"

namespace tw::filters {

const std::array<NamedColor, 16>& StandardColors() {
    static const std::array<NamedColor, 16> colors = {{
        {"Black", 0x000000},
        {"Maroon", 0x000080},
        {"Green", 0x008000},
        {"Olive", 0x008080},
        {"Navy", 0x800000},
        {"Purple", 0x800080},
        {"Teal", 0x808000},
        {"Gray", 0x808080},
        {"Silver", 0xC0C0C0},
        {"Red", 0x0000FF},
        {"Lime", 0x00FF00},
        {"Yellow", 0x00FFFF},
        {"Blue", 0xFF0000},
        {"Fuchsia", 0xFF00FF},
        {"Aqua", 0xFFFF00},
        {"White", 0xFFFFFF},
    }};
    return colors;
}

int StandardColorIndex(std::string_view name) {
    const auto& colors = StandardColors();
    for (size_t i = 0; i < colors.size(); ++i) {
        if (name == colors[i].name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const std::vector<std::string>& CodePageChoices() {
    static const std::vector<std::string> choices = [] {
        std::vector<std::string> list = {"ISO-2022-JP", "ISO-2022-JP-1", "ISO-2022-JP-2"};
        for (int i = 1; i <= 10; ++i) {
            list.push_back("ISO-8859-" + std::to_string(i));
        }
        for (int i = 13; i <= 16; ++i) {
            list.push_back("ISO-8859-" + std::to_string(i));
        }
        for (const char* name : {"KOI8-R", "KOI8-U", "KOI8-RU"}) {
            list.emplace_back(name);
        }
        for (int i = 1250; i <= 1257; ++i) {
            list.push_back("cp" + std::to_string(i));
        }
        for (const char* name :
             {"cp850",       "cp862",       "cp866",           "cp932",    "cp1131",
              "EUC-JP",      "SHIFT_JIS",   "EUC-CN",          "HZ",       "GBK",
              "CP936",       "GB18030",     "EUC-TW",          "BIG5",     "CP950",
              "BIG5-HKSCS",  "ISO-2022-CN", "ISO-2022-CN-EXT", "EUC-KR",   "CP949",
              "ISO-2022-KR", "JOHAB",       "VISCII",          "TCVN",     "CP1258",
              "UTF-8",       "UCS-2",       "UCS-2BE",         "UCS-2LE",  "UCS-4",
              "UCS-4BE",     "UCS-4LE",     "UTF-16",          "UTF-16BE", "UTF-16LE",
              "UTF-32",      "UTF-32BE",    "UTF-32LE",        "UTF-7"}) {
            list.emplace_back(name);
        }
        return list;
    }();
    return choices;
}

bool FilterFileExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

int ClampToRange(int value, int low, int high) {
    return std::clamp(value, low, high);
}

bool Accepts(const StdFilterDialogValues& v) {
    return v.rotate || v.drawBox || v.verticalFlip || v.horizontalFlip || v.negate;
}

void CopyTo(const StdFilterDialogValues& v, TVideoStdFilter& filter) {
    filter.SetVerticalFilp(v.verticalFlip);
    filter.SetHorizontalFilip(v.horizontalFlip);
    filter.SetNegate(v.negate);
    filter.SetRotate(v.rotate);
    filter.SetDrawBox(v.drawBox);
    filter.SetDegree(ClampToRange(v.degrees, kMinDegree, kMaxDegree));
    filter.SetBX(v.boxX);
    filter.SetBY(v.boxY);
    filter.SetBWidth(v.boxWidth);
    filter.SetBHeight(v.boxHeight);
    filter.SetBColor(v.boxColor);
}

StdFilterDialogValues ValuesOf(const TVideoStdFilter& filter) {
    StdFilterDialogValues v;
    v.verticalFlip = filter.VerticalFilp();
    v.horizontalFlip = filter.HorizontalFilip();
    v.negate = filter.Negate();
    v.rotate = filter.Rotate();
    v.drawBox = filter.DrawBox();
    v.degrees = ClampToRange(filter.Degree(), kMinDegree, kMaxDegree);
    v.boxX = filter.BX();
    v.boxY = filter.BY();
    v.boxWidth = filter.BWidth();
    v.boxHeight = filter.BHeight();
    v.boxColor = StandardColorIndex(filter.BColor()) >= 0 ? filter.BColor() : std::string();
    return v;
}

bool Accepts(const LogoFilterDialogValues& v) {
    return FilterFileExists(v.logoFile);
}

void CopyTo(const LogoFilterDialogValues& v, TLogoFilter& filter) {
    filter.SetX(v.x);
    filter.SetY(v.y);
    filter.SetLogoFile(v.logoFile);
}

LogoFilterDialogValues ValuesOf(const TLogoFilter& filter) {
    return {filter.X(), filter.Y(), filter.LogoFile()};
}

bool Accepts(const OverlayTextDialogValues& v) {
    return !Trim(v.text).empty() && FilterFileExists(v.fontFile);
}

void CopyTo(const OverlayTextDialogValues& v, TOverlayTextFilter& filter) {
    filter.SetText(v.text);
    filter.SetFontSize(ClampToRange(v.fontSize, kMinFontSize, kMaxFontSize));
    filter.SetX(std::max(v.x, kMinTextPosition));
    filter.SetY(std::max(v.y, kMinTextPosition));
    filter.SetFontColor(v.fontColor);
    filter.SetBgColor(v.bgColor);
    filter.SetFontFile(v.fontFile);
}

OverlayTextDialogValues ValuesOf(const TOverlayTextFilter& filter) {
    OverlayTextDialogValues v;
    v.text = filter.Text();
    v.fontSize = ClampToRange(filter.FontSize(), kMinFontSize, kMaxFontSize);
    v.x = std::max(filter.X(), kMinTextPosition);
    v.y = std::max(filter.Y(), kMinTextPosition);
    v.fontColor = filter.FontColor();
    v.bgColor = filter.BgColor();
    v.fontFile = filter.FontFile();
    return v;
}

bool Accepts(const SubtitleDialogValues& v) {
    return FilterFileExists(v.subtitleFile) && FilterFileExists(v.fontFile);
}

void CopyTo(const SubtitleDialogValues& v, TSubtitleFilter& filter) {
    filter.SetSubtitleFile(v.subtitleFile);
    filter.SetFontFile(v.fontFile);
    filter.SetFontColor(v.fontColor);
    filter.SetCodePage(std::string(Trim(v.codePage)));
}

SubtitleDialogValues ValuesOf(const TSubtitleFilter& filter) {
    return {filter.SubtitleFile(), filter.FontFile(), filter.FontColor(), filter.CodePage()};
}

}  // namespace tw::filters
