#pragma once

#include "engine/convert_options.h"
#include "util/string_list.h"

namespace tw::test {

// 64 matrix lines counting up from first ("8", "9", ...).
TStringList MatrixLines(int first);

// Gives every published property of the tree, and PixelFormat, a value other than its initial
// one, so that a copy or a stored form that drops a property shows.
void FillEveryOption(TAVConvertOptions& options);

}  // namespace tw::test
