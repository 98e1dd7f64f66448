#pragma once

#include <string>

namespace tw::filters {

// The font file the text renderer draws with when it is given none: the system's default sans
// serif font as fontconfig resolves it. Empty when fontconfig knows no font file. The text and
// subtitle dialogs start with it, so that a text needs no font chosen first.
std::string DefaultFontFile();

}  // namespace tw::filters
