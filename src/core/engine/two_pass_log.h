#pragma once

// Two-pass statistics files. Each target gets a folder of its own in the user's cache
// (so two runs at once never share a file, and pass 2 of a target finds what pass 1 of the
// same target wrote); inside it the file of output stream N is "ffmpeg2pass-N.log".

#include <string>

namespace tw::engine {

std::string TwoPassLogPath(const std::string& target, int outputStreamPosition);

// The whole file as text. Throws EAVError when it cannot be opened (the first pass was not
// run) or read.
std::string ReadTwoPassLog(const std::string& path);

}  // namespace tw::engine
