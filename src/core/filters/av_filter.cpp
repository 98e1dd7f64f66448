#include "filters/av_filter.h"

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

}  // namespace tw::filters
