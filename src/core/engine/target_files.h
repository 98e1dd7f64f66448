#pragma once

// The files a run writes, and what becomes of those a failed run leaves behind.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tw::engine {

// A regular file a run opened for writing: its name and the file that name led to then.
struct TargetFile {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;

    // The file path names now, when it is a regular file.
    static bool Identify(const std::string& path, TargetFile* file);
    // Whether path still leads to this very file.
    bool StillThere() const;
};

struct TargetOutcome {
    TargetFile file;
    int64_t packets = 0;    // written into it
    bool finished = false;  // its trailer is written
};

// Once a failed run has closed its files: removes each target it wrote nothing into, and each
// it could not finish that no player opens (an MP4 without its index). A name that leads to
// another file by now is left alone. Returns a log line for every file removed.
std::vector<std::string> RemoveUnusableTargets(const std::vector<TargetOutcome>& targets);

// Whether the media libraries open path and read a packet from it.
bool Playable(const std::string& path);

}  // namespace tw::engine
