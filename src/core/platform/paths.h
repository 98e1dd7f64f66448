#pragma once

#include <string>

namespace tw::platform {

// Base of the per-user configuration: $TIDEWELL_CONFIG_HOME, else $XDG_CONFIG_HOME, else
// ~/.config. No trailing separator.
std::string ConfigBase();

// The user's videos folder: $XDG_VIDEOS_DIR, else the XDG_VIDEOS_DIR line of user-dirs.dirs in
// the XDG configuration folder, else ~/Videos.
std::string VideosFolder();

// A path in the form two paths naming one file compare equal in: absolute, with links and
// "." and ".." resolved as far as the path exists.
std::string ComparablePath(const std::string& path);

// The home folder ($HOME, else the password database).
std::string HomeFolder();

// Base of the per-user cache: $XDG_CACHE_HOME, else ~/.cache. No trailing separator.
std::string CacheBase();

}  // namespace tw::platform
