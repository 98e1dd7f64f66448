#include "engine/image_sequence_name.h"

#include <cstdlib>

namespace tw::engine {

namespace {

std::string EscapePercent(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '%') {
            out += '%';
        }
    }
    return out;
}

}  // namespace

NumberedName ImageSequencePattern(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    const size_t stemEnd =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? name.size() : dot;
    size_t digits = stemEnd;
    const size_t stemStart = slash == std::string::npos ? 0 : slash + 1;
    while (digits > stemStart && name[digits - 1] >= '0' && name[digits - 1] <= '9') {
        --digits;
    }
    NumberedName result;
    if (digits < stemEnd && stemEnd - digits <= 9) {
        result.startNumber = std::atoi(name.substr(digits, stemEnd - digits).c_str());
    } else {
        digits = stemEnd;
    }
    result.pattern =
        EscapePercent(name.substr(0, digits)) + "%d" + EscapePercent(name.substr(stemEnd));
    return result;
}

}  // namespace tw::engine
