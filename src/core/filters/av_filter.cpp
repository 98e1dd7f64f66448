#include "filters/av_filter.h"

#include <filesystem>

namespace tw::filters {

uint32_t ColorToRgb(TColor color) {
    const auto value = static_cast<uint32_t>(color);
    return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

TColor RgbToColor(uint32_t rgb) {
    return static_cast<TColor>(ColorToRgb(static_cast<TColor>(rgb)));
}

std::string DoubleBackslashes(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        result += c;
        if (c == '\\') {
            result += '\\';
        }
    }
    return result;
}

std::string SummaryQuote(const std::string& text) {
    constexpr size_t kLongest = 24;
    std::string flat;
    for (const char c : text) {
        const bool lineBreak = c == '\r' || c == '\n';
        if (!(lineBreak && (flat.empty() || flat.back() == ' '))) {
            flat += lineBreak ? ' ' : c;
        }
    }
    while (!flat.empty() && flat.back() == ' ') {
        flat.pop_back();
    }
    if (flat.size() > kLongest) {
        // Cut between characters, not inside one's UTF-8 bytes.
        size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(flat[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        flat = flat.substr(0, cut) + "\u2026";
    }
    return "'" + flat + "'";
}

std::string SummaryFileName(const std::string& path) {
    return SummaryQuote(std::filesystem::path(path).filename().string());
}

}  // namespace tw::filters
