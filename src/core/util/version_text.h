#pragma once

// The program's version, kept once in the top CMakeLists.txt, and the versions of the media
// libraries the program runs on (those loaded, which may be newer than those it was built with):
// what --version prints and the About box shows.

#include <string>

namespace tw {

const char* ProgramVersion();

// "FFmpeg 5.1.6-0+deb12u1: libavutil 57.28.100, libavcodec 59.37.100, ..."
std::string MediaLibraryVersions();

// "tidewell-convert (Tidewell Video Converter) 0.1.0" and the media libraries' line, each
// ending in a newline.
std::string VersionText(const std::string& program);

}  // namespace tw
