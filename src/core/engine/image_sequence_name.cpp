#include "engine/image_sequence_name.h"

#include <sys/stat.h>

#include <cstdlib>

extern "C" {
#include <libavformat/avformat.h>
}

namespace tw::engine {

namespace {

std::string EscapePercent(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '%') {
            out += '%';
        }
    }
    return out;
}

}  // namespace

NumberedName ImageSequencePattern(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    const size_t stemEnd =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? name.size() : dot;
    size_t digits = stemEnd;
    const size_t stemStart = slash == std::string::npos ? 0 : slash + 1;
    while (digits > stemStart && name[digits - 1] >= '0' && name[digits - 1] <= '9') {
        --digits;
    }
    NumberedName result;
    if (digits < stemEnd && stemEnd - digits <= 9) {
        result.startNumber = std::atoi(name.substr(digits, stemEnd - digits).c_str());
    } else {
        digits = stemEnd;
    }
    result.pattern =
        EscapePercent(name.substr(0, digits)) + "%d" + EscapePercent(name.substr(stemEnd));
    return result;
}

std::vector<std::string> WrittenTargetFiles(const std::string& target,
                                            const std::string& outputFormat) {
    const AVOutputFormat* format = outputFormat.empty()
                                       ? av_guess_format(nullptr, target.c_str(), nullptr)
                                       : av_guess_format(outputFormat.c_str(), nullptr, nullptr);
    struct stat info {};
    if (!format || std::string(format->name) != "image2") {
        if (stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            return {target};
        }
        return {};
    }
    NumberedName numbered{target, 1};
    if (!av_filename_number_test(target.c_str())) {
        numbered = ImageSequencePattern(target);
    }
    std::vector<std::string> files;
    timespec first{};
    for (int number = numbered.startNumber;; ++number) {
        char name[4096];
        if (av_get_frame_filename(name, sizeof name, numbered.pattern.c_str(), number) < 0 ||
            stat(name, &info) != 0 || !S_ISREG(info.st_mode)) {
            break;
        }
        // The pictures are written in order, so none of this run's is older than the first.
        const timespec written = info.st_mtim;
        if (files.empty()) {
            first = written;
        } else if (written.tv_sec < first.tv_sec ||
                   (written.tv_sec == first.tv_sec && written.tv_nsec < first.tv_nsec)) {
            break;
        }
        files.emplace_back(name);
    }
    return files;
}

}  // namespace tw::engine
