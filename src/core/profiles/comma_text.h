#pragma once

// The comma text of a string list, the form the user-profile file stores Options in:
// items separated by commas; an item holding a blank (or any character up to blank), a comma
// or a double quote is written in double quotes with inner quotes doubled. Reading splits
// unquoted text at commas and at blanks alike.

#include <string>
#include <string_view>

#include "util/string_list.h"

namespace tw {

std::string CommaText(const TStringList& list);
TStringList ParseCommaText(std::string_view text);

}  // namespace tw
