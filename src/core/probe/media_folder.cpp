#include "probe/media_folder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "media/codec_support.h"

namespace tw::probe {

namespace {

namespace fs = std::filesystem;

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void Collect(const fs::path& folder, bool withSubfolders, const std::set<std::string>& extensions,
             std::vector<std::string>& into) {
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        if (path.filename().string().rfind('.', 0) == 0) {
            continue;
        }
        std::error_code statError;
        if (it->is_directory(statError)) {
            // A link to a folder may lead back up the tree.
            if (!it->is_symlink(statError)) {
                folders.push_back(path);
            }
        } else if (it->is_regular_file(statError) && path.has_extension() &&
                   extensions.count(Lowercase(path.extension().string().substr(1))) != 0) {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        into.push_back(file.string());
    }
    if (!withSubfolders) {
        return;
    }
    std::sort(folders.begin(), folders.end());
    for (const fs::path& below : folders) {
        Collect(below, true, extensions, into);
    }
}

}  // namespace

std::vector<std::string> MediaFilesIn(const std::string& folder, bool withSubfolders) {
    const std::vector<std::string> known = media::MediaFileExtensions();
    const std::set<std::string> extensions(known.begin(), known.end());
    std::vector<std::string> files;
    Collect(fs::path(folder), withSubfolders, extensions, files);
    return files;
}

}  // namespace tw::probe
