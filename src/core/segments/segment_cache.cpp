#include "segments/segment_cache.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "platform/paths.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::segments {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr char kManifest[] = "manifest.json";

}  // namespace

std::string SegmentFolder(const std::string& source, const std::string& target) {
    return platform::CacheBase() + "/TidewellSoft/VideoConverter/segments/" +
           Digest(platform::ComparablePath(source) + '\n' + platform::ComparablePath(target));
}

std::string Digest(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return FormatPrintf("%016llx", static_cast<unsigned long long>(hash));
}

bool SegmentManifest::SameMaking(const SegmentManifest& other) const {
    if (digest != other.digest || sourceSize != other.sourceSize ||
        sourceModified != other.sourceModified || rest != other.rest ||
        bounds.size() != other.bounds.size()) {
        return false;
    }
    for (size_t i = 0; i < bounds.size(); ++i) {
        const SegmentSpan& a = bounds[i];
        const SegmentSpan& b = other.bounds[i];
        if (a.startUs != b.startUs || a.lengthUs != b.lengthUs || a.offsetUs != b.offsetUs) {
            return false;
        }
    }
    return true;
}

bool ReadManifest(const std::string& folder, SegmentManifest* manifest) {
    std::ifstream in(folder + "/" + kManifest);
    if (!in) {
        return false;
    }
    try {
        const json data = json::parse(in);
        SegmentManifest read;
        data.at("digest").get_to(read.digest);
        data.at("sourceSize").get_to(read.sourceSize);
        data.at("sourceModified").get_to(read.sourceModified);
        data.at("rest").get_to(read.rest);
        for (const json& span : data.at("bounds")) {
            read.bounds.push_back(
                {span.at(0).get<int64_t>(), span.at(1).get<int64_t>(), span.at(2).get<int64_t>()});
        }
        data.at("finished").get_to(read.finished);
        *manifest = std::move(read);
        return true;
    } catch (const json::exception&) {
        return false;
    }
}

void WriteManifest(const std::string& folder, const SegmentManifest& manifest) {
    json bounds = json::array();
    for (const SegmentSpan& span : manifest.bounds) {
        bounds.push_back({span.startUs, span.lengthUs, span.offsetUs});
    }
    const json data = {{"digest", manifest.digest},
                       {"sourceSize", manifest.sourceSize},
                       {"sourceModified", manifest.sourceModified},
                       {"rest", manifest.rest},
                       {"bounds", bounds},
                       {"finished", manifest.finished}};
    const std::string path = folder + "/" + kManifest;
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << data.dump() << '\n';
        out.flush();
        if (!out) {
            const std::string reason = std::strerror(errno);
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw EAVError(FormatPrintf("The segments' record cannot be written: %s: %s",
                                        path.c_str(), reason.c_str()));
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        throw EAVError(FormatPrintf("The segments' record cannot be written: %s: %s", path.c_str(),
                                    error.message().c_str()));
    }
}

bool DescribeSource(const std::string& source, SegmentManifest* manifest) {
    struct stat info {};
    if (stat(source.c_str(), &info) != 0) {
        return false;
    }
    manifest->sourceSize = info.st_size;
    manifest->sourceModified =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

}  // namespace tw::segments
