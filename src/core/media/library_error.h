#pragma once

// The media libraries' own words for one of their error codes.

#include <string>

namespace tw::media {

// "No such file or directory", "Invalid data found when processing input", …; a generic text
// naming the number for a code the libraries do not describe.
std::string LibraryErrorText(int code);

}  // namespace tw::media
