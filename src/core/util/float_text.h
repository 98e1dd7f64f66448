#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tw {

// Floating-point text in general format, "." as the decimal separator whatever the locale,
// at most 15 significant digits, and no more digits than the value needs. For a single-precision
// value the digits are those that give back the same single, so 0.1f is written "0.1".
std::string FloatToText(double value, bool singlePrecision = false);

// Parses a whole text as a floating-point number ("." separator); nullopt when it does not parse.
std::optional<double> TextToFloat(std::string_view text);

}  // namespace tw
