#pragma once

#include <optional>
#include <string>

namespace tw::filters {

// The family name stored in a TrueType or OpenType font file (the first font of a collection), as
// UTF-8; nullopt when the file cannot be read or holds no family name. The subtitle renderer
// selects fonts by family, so a font chosen as a file is named to it this way.
std::optional<std::string> ReadFontFamilyName(const std::string& fontFile);

}  // namespace tw::filters
