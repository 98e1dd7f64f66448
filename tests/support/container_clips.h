#pragma once

// One small clip description for each container users bring, with that container's usual
// codecs: MP4, Matroska, AVI, MPEG program stream, MPEG transport stream, FLV and WebM.

#include <string>
#include <vector>

#include "support/media_generator.h"

namespace tw::test {

struct ContainerClip {
    std::string extension;  // ".mp4" …; the file name picks the muxer
    ClipSpec clip;
};

std::vector<ContainerClip> ContainerClips(int width, int height, double seconds);

}  // namespace tw::test
