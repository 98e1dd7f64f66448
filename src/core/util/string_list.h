#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// A list of text lines, as the persisted option lists hold them. Lines of the form
// "name=value" have a name part (before the first '=') and a value part (after it).
using TStringList = std::vector<std::string>;

std::string_view NamePart(std::string_view line);
std::string_view ValuePart(std::string_view line);

// Index of the first line whose name part equals name, or -1.
int IndexOfName(const TStringList& list, std::string_view name);

// Blanks and control characters removed at both ends.
std::string_view Trim(std::string_view text);

}  // namespace tw
