#pragma once

// Texts in the worker protocol's JSON. File names on Linux are bytes, not necessarily UTF-8,
// and JSON holds only UTF-8: a text that is not valid UTF-8 travels as {"hex": "..."} so that
// the worker opens exactly the file it was given.

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace tw::jobs {

nlohmann::json TextValue(const std::string& text);
// Throws nlohmann::json::exception when value is neither form.
std::string TextFrom(const nlohmann::json& value);

}  // namespace tw::jobs
