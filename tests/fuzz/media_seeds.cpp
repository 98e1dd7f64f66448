// Writes the seed inputs of the media fuzz target into a folder: one tiny clip per container.
// Made at build time by our own generator, so the repository holds no media files.

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "support/container_clips.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    try {
        for (const auto& c : tw::test::ContainerClips(64, 48, 0.4)) {
            tw::test::GenerateClip(c.clip, (folder / ("seed" + c.extension)).string());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
