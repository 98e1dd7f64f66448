#include "jobs/json_text.h"

#include <nlohmann/json.hpp>

namespace tw::jobs {

using nlohmann::json;

json TextValue(const std::string& text) {
    json value = text;
    try {
        // The library checks the encoding only when it writes.
        (void)value.dump();
        return value;
    } catch (const json::type_error&) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string hex;
        hex.reserve(text.size() * 2);
        for (const unsigned char byte : text) {
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 15];
        }
        return {{"hex", hex}};
    }
}

std::string TextFrom(const json& value) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    const std::string hex = value.at("hex").get<std::string>();
    const auto digit = [&hex](char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        throw json::other_error::create(501, "not a hex digit in \"" + hex + "\"", nullptr);
    };
    if (hex.size() % 2 != 0) {
        throw json::other_error::create(501, "odd length of \"" + hex + "\"", nullptr);
    }
    std::string text;
    for (size_t i = 0; i < hex.size(); i += 2) {
        text += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
    }
    return text;
}

}  // namespace tw::jobs
