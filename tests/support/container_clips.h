#pragma once

// One small clip description for each container users bring, with that container's usual
// codecs: MP4, Matroska, AVI, MPEG program stream, MPEG transport stream, FLV and WebM.

#include <ostream>
#include <string>
#include <vector>

#include "support/media_generator.h"

namespace tw::test {

struct ContainerClip {
    std::string extension;  // ".mp4" …; the file name picks the muxer
    ClipDescription clip;
};

std::vector<ContainerClip> ContainerClips(int width, int height, double seconds);

// Test names and failure messages show the container only.
inline void PrintTo(const ContainerClip& clip, std::ostream* out) {
    *out << clip.extension;
}

}  // namespace tw::test
