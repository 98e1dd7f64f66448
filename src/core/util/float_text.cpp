#include "util/float_text.h"

#include <charconv>
#include <cmath>

namespace tw {

namespace {

std::string General(double value, int digits) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    return std::string(buffer, result.ptr);
}

bool SameValue(double parsed, double value, bool singlePrecision) {
    return singlePrecision ? static_cast<float>(parsed) == static_cast<float>(value)
                           : parsed == value;
}

}  // namespace

std::string FloatToText(double value, bool singlePrecision) {
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    }
    const int maxDigits = singlePrecision ? 9 : 15;
    for (int digits = 1; digits < maxDigits; ++digits) {
        const std::string text = General(value, digits);
        const auto parsed = TextToFloat(text);
        if (parsed && SameValue(*parsed, value, singlePrecision)) {
            // Re-format the rounded value with the full precision so that large whole numbers
            // are written out rather than in exponent form.
            return General(*parsed, 15);
        }
    }
    return General(value, 15);
}

std::optional<double> TextToFloat(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace tw
