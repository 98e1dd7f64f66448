#include "probe/file_checks.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "media/av_ptr.h"
#include "media/library.h"
#include "probe/av_probe.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::probe {

namespace {

// Missing, not a file, or unreadable; empty when the file opens for reading.
std::string AccessProblem(const char* kind, const std::string& file) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (file.empty() || !std::filesystem::exists(status)) {
        return FormatPrintf("The %s file %s does not exist.", kind, file.c_str());
    }
    if (!std::filesystem::is_regular_file(status)) {
        return FormatPrintf("The %s file %s is not a file.", kind, file.c_str());
    }
    errno = 0;
    if (!std::ifstream(file, std::ios::binary)) {
        const int reason = errno;
        return FormatPrintf("The %s file %s cannot be read: %s.", kind, file.c_str(),
                            reason ? std::strerror(reason) : "access refused");
    }
    return {};
}

// Whether the libraries open the file and find a stream of that kind in it.
bool HoldsStream(const std::string& file, AVMediaType type) {
    media::LibraryUse libraries;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) {
        return false;
    }
    const media::InputFormatPtr context(raw);
    if (avformat_find_stream_info(context.get(), nullptr) < 0) {
        return false;
    }
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (context->streams[i]->codecpar->codec_type == type) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string SourceFileProblem(const std::string& file) {
    if (std::string problem = AccessProblem("source", file); !problem.empty()) {
        return problem;
    }
    try {
        TAVProbe probe;
        probe.SetFileName(file);
        probe.SetActive(true);
        if (probe.HasVideo() || probe.HasAudio()) {
            return {};
        }
    } catch (const EAVError&) {
    }
    return FormatPrintf("The source file %s is not a video or audio file this program can read.",
                        file.c_str());
}

std::string SubtitleFileProblem(const std::string& file) {
    if (std::string problem = AccessProblem("subtitle", file); !problem.empty()) {
        return problem;
    }
    if (HoldsStream(file, AVMEDIA_TYPE_SUBTITLE)) {
        return {};
    }
    return FormatPrintf("The subtitle file %s holds no subtitles this program can read.",
                        file.c_str());
}

std::string PictureFileProblem(const std::string& file) {
    if (std::string problem = AccessProblem("logo", file); !problem.empty()) {
        return problem;
    }
    if (HoldsStream(file, AVMEDIA_TYPE_VIDEO)) {
        return {};
    }
    return FormatPrintf("The logo file %s is not a picture this program can read.", file.c_str());
}

std::string FontFileProblem(const std::string& file) {
    if (std::string problem = AccessProblem("font", file); !problem.empty()) {
        return problem;
    }
    // A font file begins with its version tag: TrueType outlines, CFF outlines, a collection.
    std::array<char, 4> tag{};
    std::ifstream(file, std::ios::binary).read(tag.data(), tag.size());
    const std::string_view begins(tag.data(), tag.size());
    for (const std::string_view known : {std::string_view("\0\1\0\0", 4), std::string_view("true"),
                                         std::string_view("OTTO"), std::string_view("ttcf")}) {
        if (begins == known) {
            return {};
        }
    }
    return FormatPrintf("The font file %s is not a TrueType or OpenType font.", file.c_str());
}

std::string TargetFolderProblem(const std::string& folder) {
    namespace fs = std::filesystem;
    if (folder.empty()) {
        return "No folder was given for the converted files.";
    }
    std::error_code error;
    fs::path existing = fs::absolute(folder, error);
    while (!existing.empty() && !fs::exists(existing, error)) {
        if (existing == existing.parent_path()) {
            break;
        }
        existing = existing.parent_path();
    }
    if (!fs::is_directory(existing, error)) {
        return FormatPrintf("The folder %s cannot be made: %s is not a folder.", folder.c_str(),
                            existing.c_str());
    }
    if (access(existing.c_str(), W_OK | X_OK) != 0) {
        const int reason = errno;
        return FormatPrintf("The folder %s cannot be written: %s.", folder.c_str(),
                            std::strerror(reason));
    }
    return {};
}

}  // namespace tw::probe
