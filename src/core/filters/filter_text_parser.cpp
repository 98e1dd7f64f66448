#include "filters/filter_text_parser.h"

#include <charconv>

namespace tw::filters {

namespace {

// Reads a decimal integer (optionally negative) at the front of text and removes it.
bool TakeInt(std::string_view& text, int& value) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin == end || (*begin != '-' && (*begin < '0' || *begin > '9'))) {
        return false;
    }
    const auto [ptr, error] = std::from_chars(begin, end, value);
    if (error != std::errc()) {
        return false;
    }
    text.remove_prefix(static_cast<size_t>(ptr - begin));
    return true;
}

bool TakeLiteral(std::string_view& text, std::string_view literal) {
    if (text.substr(0, literal.size()) != literal) {
        return false;
    }
    text.remove_prefix(literal.size());
    return true;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Exactly count hexadecimal digits.
bool TakeHex(std::string_view& text, size_t count, uint32_t& value) {
    if (text.size() < count) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        if (!IsHexDigit(text[i])) {
            return false;
        }
    }
    const auto [ptr, error] = std::from_chars(text.data(), text.data() + count, value, 16);
    if (error != std::errc() || ptr != text.data() + count) {
        return false;
    }
    text.remove_prefix(count);
    return true;
}

std::string BackslashNAsLineBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            result += '\n';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

// The tail of an overlay text piece after the text: "'#x=%d#y=%d#fontsize=%d#fgcolor=0x%.6XFF
// #bgcolor=0x%.6X00", to the end.
bool ParseOverlayTail(std::string_view tail, OverlayTextPiece& piece) {
    return TakeLiteral(tail, "'#x=") && TakeInt(tail, piece.x) && TakeLiteral(tail, "#y=") &&
           TakeInt(tail, piece.y) && TakeLiteral(tail, "#fontsize=") &&
           TakeInt(tail, piece.fontSize) && TakeLiteral(tail, "#fgcolor=0x") &&
           TakeHex(tail, 6, piece.fontRgb) && TakeLiteral(tail, "FF#bgcolor=0x") &&
           TakeHex(tail, 6, piece.backgroundRgb) && TakeLiteral(tail, "00") && tail.empty();
}

// The tail of a subtitle piece from the colour on: "%X00" and an optional "#codepage$%s".
bool ParseSubtitleTail(std::string_view tail, SubtitlePiece& piece) {
    size_t digits = 0;
    while (digits < tail.size() && IsHexDigit(tail[digits])) {
        ++digits;
    }
    // The colour has at least one digit and "00" follows it.
    if (digits < 3 || tail.substr(digits - 2, 2) != "00" || digits - 2 > 6) {
        return false;
    }
    uint32_t rgb = 0;
    if (!TakeHex(tail, digits - 2, rgb)) {
        return false;
    }
    tail.remove_prefix(2);
    piece.fontRgb = rgb;
    piece.codePage.clear();
    if (tail.empty()) {
        return true;
    }
    if (!TakeLiteral(tail, "#codepage$")) {
        return false;
    }
    piece.codePage.assign(tail);
    return true;
}

}  // namespace

std::string UndoubleBackslashes(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            ++i;
        }
    }
    return result;
}

std::optional<LogoPiece> ParseLogoPiece(std::string_view text) {
    static constexpr std::string_view kHead = "movie=0:png:";
    static constexpr std::string_view kMiddle = " [wm];[in][wm] overlay=";
    if (!TakeLiteral(text, kHead)) {
        return std::nullopt;
    }
    // The file name may hold anything, so the fixed tail is found from the end.
    const size_t middle = text.rfind(kMiddle);
    if (middle == std::string_view::npos) {
        return std::nullopt;
    }
    LogoPiece piece;
    std::string_view tail = text.substr(middle + kMiddle.size());
    if (!(TakeInt(tail, piece.x) && TakeLiteral(tail, ":") && TakeInt(tail, piece.y) &&
          TakeLiteral(tail, ":1 [out]") && tail.empty())) {
        return std::nullopt;
    }
    piece.logoFile = UndoubleBackslashes(text.substr(0, middle));
    return piece;
}

std::optional<OverlayTextPiece> ParseOverlayTextPiece(std::string_view text) {
    static constexpr std::string_view kHead = "drawtext=fontfile=\\'";
    static constexpr std::string_view kSeparator = "\\'#text='";
    if (!TakeLiteral(text, kHead)) {
        return std::nullopt;
    }
    OverlayTextPiece piece;
    // The text is not escaped and may hold the tail's own words: take the last place where the
    // whole tail fits.
    size_t tailAt = std::string_view::npos;
    for (size_t at = text.rfind("'#x="); at != std::string_view::npos;
         at = at == 0 ? std::string_view::npos : text.rfind("'#x=", at - 1)) {
        if (ParseOverlayTail(text.substr(at), piece)) {
            tailAt = at;
            break;
        }
    }
    if (tailAt == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view middle = text.substr(0, tailAt);
    // The font file has every backslash doubled, so the separator's backslash is the one that
    // follows an even run of backslashes.
    for (size_t at = middle.find(kSeparator); at != std::string_view::npos;
         at = middle.find(kSeparator, at + 1)) {
        size_t run = 0;
        while (run < at && middle[at - 1 - run] == '\\') {
            ++run;
        }
        if (run % 2 == 0) {
            piece.fontFile = UndoubleBackslashes(middle.substr(0, at));
            piece.text = BackslashNAsLineBreaks(middle.substr(at + kSeparator.size()));
            return piece;
        }
    }
    return std::nullopt;
}

std::optional<SubtitlePiece> ParseSubtitlePiece(std::string_view text) {
    static constexpr std::string_view kHead = "ass=filename$";
    static constexpr std::string_view kFont = "#font$";
    static constexpr std::string_view kColor = "#color$0x";
    if (!TakeLiteral(text, kHead)) {
        return std::nullopt;
    }
    SubtitlePiece piece;
    for (size_t at = text.rfind(kColor); at != std::string_view::npos;
         at = at == 0 ? std::string_view::npos : text.rfind(kColor, at - 1)) {
        if (!ParseSubtitleTail(text.substr(at + kColor.size()), piece)) {
            continue;
        }
        const std::string_view files = text.substr(0, at);
        const size_t font = files.rfind(kFont);
        if (font == std::string_view::npos) {
            return std::nullopt;
        }
        piece.subtitleFile = UndoubleBackslashes(files.substr(0, font));
        piece.fontFile = UndoubleBackslashes(files.substr(font + kFont.size()));
        return piece;
    }
    return std::nullopt;
}

std::optional<StdFilterItem> ParseStdFilterItem(std::string_view text) {
    StdFilterItem item;
    using Kind = StdFilterItem::Kind;
    if (text == "vflip") {
        item.kind = Kind::VerticalFlip;
        return item;
    }
    if (text == "hflip") {
        item.kind = Kind::HorizontalFlip;
        return item;
    }
    if (text == "negate") {
        item.kind = Kind::Negate;
        return item;
    }
    std::string_view rest = text;
    if (TakeLiteral(rest, "rotate=")) {
        item.kind = Kind::Rotate;
        if (TakeInt(rest, item.degrees) && rest.empty()) {
            return item;
        }
        return std::nullopt;
    }
    rest = text;
    if (TakeLiteral(rest, "drawbox=")) {
        item.kind = Kind::DrawBox;
        if (TakeInt(rest, item.x) && TakeLiteral(rest, ":") && TakeInt(rest, item.y) &&
            TakeLiteral(rest, ":") && TakeInt(rest, item.width) && TakeLiteral(rest, ":") &&
            TakeInt(rest, item.height) && TakeLiteral(rest, ":") &&
            rest.find_first_of(":=") == std::string_view::npos) {
            item.colorName.assign(rest);
            return item;
        }
    }
    return std::nullopt;
}

}  // namespace tw::filters
