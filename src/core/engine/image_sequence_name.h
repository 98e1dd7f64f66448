#pragma once

// Image-sequence targets are named like one image ("movie1.jpg"); users expect one image per
// frame: movie1.jpg, movie2.jpg, ... This turns such a name into the numbered pattern the image
// muxer writes ("movie%d.jpg", starting at 1). A name without a number before its extension is
// numbered from 1 after its base name.

#include <string>
#include <vector>

namespace tw::engine {

struct NumberedName {
    std::string pattern;  // with one "%d"; any other '%' doubled
    int startNumber = 1;
};

NumberedName ImageSequencePattern(const std::string& name);

// The files on disk that a conversion into target with the given OutputFormat wrote. An image
// sequence (the image writer, named or chosen by the name) is every picture from its first
// number on, up to the first one missing or older than the first (left from an earlier run);
// any other target is itself, when it exists.
std::vector<std::string> WrittenTargetFiles(const std::string& target,
                                            const std::string& outputFormat);

}  // namespace tw::engine
