#include "engine/two_pass_log.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/paths.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::engine {

namespace fs = std::filesystem;

std::string TwoPassLogPath(const std::string& target, int outputStreamPosition) {
    std::error_code ignored;
    fs::path absolute = fs::weakly_canonical(fs::absolute(target, ignored), ignored);
    if (absolute.empty()) {
        absolute = target;
    }
    const size_t key = std::hash<std::string>{}(absolute.string());
    return FormatPrintf("%s/TidewellSoft/VideoConverter/passlog/%016zx/ffmpeg2pass-%d.log",
                        platform::CacheBase().c_str(), key, outputStreamPosition);
}

std::string ReadTwoPassLog(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw EAVError(FormatPrintf("Cannot open file %s", path.c_str()));
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace tw::engine
