#pragma once

// Finds the black bars round a source's picture with the filter library's crop detection. The
// pictures looked at are spread through the whole source, and a row or column counts as bar only
// where it is black in every one of them, so a dark scene (a night shot, a fade from black at the
// start) cannot pass for bars.

#include <optional>
#include <string>

#include "engine/crop_area.h"

namespace tw::engine {

// The bars of the first video stream of the file at path, as sides of the picture as shown
// (turned upright), not yet fitted to any pixel format. An empty area when there are none (or
// every picture looked at is black); nullopt, with reason set, when the file has no picture that
// can be read. Runs on the calling thread; the cost is a few dozen decoded pictures.
std::optional<CropArea> DetectBlackBars(const std::string& path, std::string* reason = nullptr);

}  // namespace tw::engine
