#include "util/version_text.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#ifndef TW_VERSION
#error "TW_VERSION comes from the project's version in the top CMakeLists.txt"
#endif

namespace tw {

namespace {

std::string LibraryVersion(const char* name, unsigned version) {
    return std::string(name) + " " + std::to_string(AV_VERSION_MAJOR(version)) + "." +
           std::to_string(AV_VERSION_MINOR(version)) + "." +
           std::to_string(AV_VERSION_MICRO(version));
}

}  // namespace

const char* ProgramVersion() {
    return TW_VERSION;
}

std::string MediaLibraryVersions() {
    return std::string("FFmpeg ") + av_version_info() + ": " +
           LibraryVersion("libavutil", avutil_version()) + ", " +
           LibraryVersion("libavcodec", avcodec_version()) + ", " +
           LibraryVersion("libavformat", avformat_version()) + ", " +
           LibraryVersion("libavfilter", avfilter_version()) + ", " +
           LibraryVersion("libavdevice", avdevice_version()) + ", " +
           LibraryVersion("libswscale", swscale_version()) + ", " +
           LibraryVersion("libswresample", swresample_version());
}

std::string VersionText(const std::string& program) {
    return program + " (Tidewell Video Converter) " + ProgramVersion() + "\n" +
           MediaLibraryVersions() + "\n";
}

}  // namespace tw
