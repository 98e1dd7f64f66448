#pragma once

// Image-sequence targets are named like one image ("movie1.jpg"); users expect one image per
// frame: movie1.jpg, movie2.jpg, ... This turns such a name into the numbered pattern the image
// muxer writes ("movie%d.jpg", starting at 1). A name without a number before its extension is
// numbered from 1 after its base name.

#include <string>

namespace tw::engine {

struct NumberedName {
    std::string pattern;  // with one "%d"; any other '%' doubled
    int startNumber = 1;
};

NumberedName ImageSequencePattern(const std::string& name);

}  // namespace tw::engine
