#include "platform/paths.h"

#include <filesystem>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "util/string_list.h"

namespace tw::platform {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string XdgConfigHome() {
    std::string base = Env("XDG_CONFIG_HOME");
    return base.empty() ? HomeFolder() + "/.config" : base;
}

// user-dirs.dirs holds shell assignments such as XDG_VIDEOS_DIR="$HOME/Videos".
std::string VideosFromUserDirs() {
    std::ifstream in(XdgConfigHome() + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view trimmed = Trim(line);
        if (NamePart(trimmed) != "XDG_VIDEOS_DIR") {
            continue;
        }
        std::string value(Trim(ValuePart(trimmed)));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.rfind("$HOME", 0) == 0) {
            value = HomeFolder() + value.substr(5);
        }
        return value;
    }
    return {};
}

}  // namespace

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid())) {
            home = entry->pw_dir;
        }
    }
    return home;
}

std::string CacheBase() {
    const std::string cache = Env("XDG_CACHE_HOME");
    return cache.empty() ? HomeFolder() + "/.cache" : cache;
}

std::string ConfigBase() {
    std::string base = Env("TIDEWELL_CONFIG_HOME");
    if (base.empty()) {
        base = XdgConfigHome();
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base;
}

std::string VideosFolder() {
    std::string videos = Env("XDG_VIDEOS_DIR");
    if (videos.empty()) {
        videos = VideosFromUserDirs();
    }
    if (videos.empty()) {
        videos = HomeFolder() + "/Videos";
    }
    while (videos.size() > 1 && videos.back() == '/') {
        videos.pop_back();
    }
    return videos;
}

std::string ComparablePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        return path;
    }
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : resolved).string();
}

}  // namespace tw::platform
