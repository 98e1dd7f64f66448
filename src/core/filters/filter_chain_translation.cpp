#include "filters/filter_chain_translation.h"

#include <cctype>
#include <filesystem>
#include <optional>
#include <vector>

#include "filters/av_filter.h"
#include "filters/filter_dialog_rules.h"
#include "filters/filter_list.h"
#include "filters/filter_text_parser.h"
#include "filters/font_family.h"
#include "util/format.h"
#include "util/string_list.h"

namespace tw::filters {

namespace {

// The demuxers take "name:" at the front of a relative path for a protocol.
std::string PlainFilePath(const std::string& path) {
    const size_t colon = path.find(':');
    if (colon != std::string::npos && path.find('/') > colon) {
        return "./" + path;
    }
    return path;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// The library's subtitle readers turn UTF-16 files with a byte-order mark into UTF-8 themselves;
// recoding their output again would garble it, and UTF-8 needs no recoding.
bool NeedsRecoding(std::string_view codePage) {
    return !codePage.empty() && !StartsWithNoCase(codePage, "UTF-8") &&
           !StartsWithNoCase(codePage, "UTF-16") && !StartsWithNoCase(codePage, "UCS-2");
}

std::string Filter(const char* name, std::string_view arguments) {
    return std::string(name) + "=" + EscapeFilterArguments(arguments);
}

std::string BoxColor(const std::string& name) {
    const int index = StandardColorIndex(name);
    if (index >= 0) {
        return FormatPrintf("0x%06X",
                            ColorToRgb(StandardColors()[static_cast<size_t>(index)].color));
    }
    return QuoteFilterOption(name);
}

// A standard filter item in the library's syntax; empty when it does nothing.
std::string TranslateStdItem(const StdFilterItem& item) {
    using Kind = StdFilterItem::Kind;
    switch (item.kind) {
        case Kind::VerticalFlip:
            return "vflip";
        case Kind::HorizontalFlip:
            return "hflip";
        case Kind::Negate:
            return "negate";
        case Kind::DrawBox:
            // A box without area draws nothing (the library would take 0 as the frame's size).
            if (item.width <= 0 || item.height <= 0) {
                return {};
            }
            return Filter("drawbox",
                          FormatPrintf("x=%d:y=%d:w=%d:h=%d:color=%s", item.x, item.y, item.width,
                                       item.height, BoxColor(item.colorName).c_str()));
        case Kind::Rotate: {
            const int degrees = ((item.degrees % 360) + 360) % 360;
            switch (degrees) {
                case 0:
                    return {};
                case 90:
                    return "transpose=clock";
                case 180:
                    return "hflip,vflip";
                case 270:
                    return "transpose=cclock";
                default:
                    // The output holds the whole turned picture, its sides rounded to even
                    // numbers so that subsampled encoders take it.
                    return Filter("rotate",
                                  FormatPrintf("angle=%d*PI/180:ow=trunc((rotw(%d*PI/180)+1)/2)*2:"
                                               "oh=trunc((roth(%d*PI/180)+1)/2)*2",
                                               degrees, degrees, degrees));
            }
        }
    }
    return {};
}

std::string TranslateOverlayText(const OverlayTextPiece& piece) {
    std::string args;
    if (!piece.fontFile.empty()) {
        args += "fontfile=" + QuoteFilterOption(piece.fontFile) + ":";
    }
    // Expansion off: the text is shown as typed, '%' and '\' included.
    args += "expansion=none:text=" + QuoteFilterOption(piece.text);
    args += FormatPrintf(":x=%d:y=%d", piece.x, piece.y);
    if (piece.fontSize > 0) {
        args += FormatPrintf(":fontsize=%d", piece.fontSize);
    }
    args +=
        FormatPrintf(":fontcolor=0x%06XFF:boxcolor=0x%06X00", piece.fontRgb, piece.backgroundRgb);
    return Filter("drawtext", args);
}

std::string TranslateSubtitles(const SubtitlePiece& piece) {
    std::string args = "filename=" + QuoteFilterOption(PlainFilePath(piece.subtitleFile));
    const std::string_view codePage = Trim(piece.codePage);
    if (NeedsRecoding(codePage)) {
        args += ":charenc=" + QuoteFilterOption(codePage);
    }
    // The renderer picks fonts by family name from the fonts it knows; the font file's folder
    // is added to them.
    std::string style;
    if (!piece.fontFile.empty()) {
        const std::filesystem::path font = std::filesystem::path(piece.fontFile);
        args += ":fontsdir=" + QuoteFilterOption(font.parent_path().string());
        const std::optional<std::string> family = ReadFontFamilyName(piece.fontFile);
        if (family && family->find_first_of(",=") == std::string::npos) {
            style = "FontName=" + *family + ",";
        }
    }
    // The style colour is &HAABBGGRR with AA 00 for opaque.
    style += FormatPrintf("PrimaryColour=&H00%06X",
                          static_cast<unsigned>(RgbToColor(piece.fontRgb)) & 0xFFFFFFu);
    args += ":force_style=" + QuoteFilterOption(style);
    return Filter("subtitles", args);
}

// One step of the chain: plain filters joined with commas, or a logo to overlay.
struct Segment {
    std::string filters;
    std::optional<LogoPiece> logo;
};

void AddFilters(std::vector<Segment>& segments, const std::string& text) {
    if (text.empty()) {
        return;
    }
    if (segments.empty() || segments.back().logo) {
        segments.push_back({});
    }
    std::string& filters = segments.back().filters;
    if (!filters.empty()) {
        filters += ',';
    }
    filters += text;
}

void AddItem(std::vector<Segment>& segments, const std::string& item) {
    if (std::optional<LogoPiece> logo = ParseLogoPiece(item)) {
        segments.push_back({{}, std::move(logo)});
        return;
    }
    if (const std::optional<OverlayTextPiece> text = ParseOverlayTextPiece(item)) {
        AddFilters(segments, TranslateOverlayText(*text));
        return;
    }
    if (const std::optional<SubtitlePiece> subtitles = ParseSubtitlePiece(item)) {
        AddFilters(segments, TranslateSubtitles(*subtitles));
        return;
    }
    // A standard filter's piece is itself a list of items.
    const std::optional<std::vector<std::string>> parts = SplitFilterItems(item);
    if (!parts) {
        AddFilters(segments, item);
        return;
    }
    for (const std::string& part : *parts) {
        if (const std::optional<StdFilterItem> stdItem = ParseStdFilterItem(part)) {
            AddFilters(segments, TranslateStdItem(*stdItem));
        } else {
            AddFilters(segments, part);
        }
    }
}

}  // namespace

std::string QuoteFilterOption(std::string_view value) {
    // Inside single quotes everything is literal; a quote itself closes, is escaped, reopens.
    std::string result = "'";
    for (const char c : value) {
        if (c == '\'') {
            result += "'\\''";
        } else {
            result += c;
        }
    }
    result += '\'';
    return result;
}

std::string EscapeFilterArguments(std::string_view arguments) {
    std::string result;
    result.reserve(arguments.size() + 8);
    for (const char c : arguments) {
        switch (c) {
            case '\\':
            case '\'':
            case '[':
            case ']':
            case ',':
            case ';':
                result += '\\';
                break;
            default:
                break;
        }
        result += c;
    }
    return result;
}

std::string TranslateFilterChain(const std::string& chainText) {
    if (Trim(chainText).empty()) {
        return {};
    }
    const std::optional<std::vector<std::string>> items = SplitFilterItems(chainText);
    if (!items) {
        return chainText;
    }
    std::vector<Segment> segments;
    bool hasLogo = false;
    for (const std::string& item : *items) {
        if (!Trim(item).empty()) {
            AddItem(segments, item);
        }
        hasLogo = hasLogo || (!segments.empty() && segments.back().logo);
    }
    if (!hasLogo) {
        return segments.empty() ? std::string() : segments.front().filters;
    }
    // A logo needs a second input, so the chain is written with named links from the graph's
    // open output "in" to its open input "out".
    std::string graph;
    std::string current = "in";
    for (size_t i = 0; i < segments.size(); ++i) {
        const std::string next = i + 1 == segments.size() ? "out" : FormatPrintf("tw_v%zu", i);
        if (!graph.empty()) {
            graph += ';';
        }
        if (const auto& logo = segments[i].logo) {
            const std::string picture = FormatPrintf("tw_logo%zu", i);
            graph +=
                Filter("movie", "filename=" + QuoteFilterOption(PlainFilePath(logo->logoFile)) +
                                    ":format_name=png_pipe");
            graph += "[" + picture + "];[" + current + "][" + picture + "]";
            // The overlay blends in the main picture's own format, so 4:4:4 and RGB pictures keep
            // their full colour detail round the logo.
            graph += FormatPrintf("overlay=x=%d:y=%d:format=auto", logo->x, logo->y);
        } else {
            graph += "[" + current + "]" + segments[i].filters;
        }
        graph += "[" + next + "]";
        current = next;
    }
    return graph;
}

}  // namespace tw::filters
