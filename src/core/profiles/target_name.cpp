#include "profiles/target_name.h"

#include "util/ini_file.h"

namespace tw {

namespace {

size_t NameStart(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

std::string ChangeFileExt(std::string_view fileName, std::string_view extension) {
    const size_t nameStart = NameStart(fileName);
    const size_t dot = fileName.find_last_of('.');
    std::string result;
    if (dot != std::string_view::npos && dot > nameStart) {
        result = fileName.substr(0, dot);
    } else {
        result = fileName;
    }
    result += extension;
    return result;
}

std::string TargetFileName(std::string_view sourceFile, std::string_view extension,
                           std::string_view folder) {
    const std::string name = ChangeFileExt(sourceFile.substr(NameStart(sourceFile)), extension);
    if (folder.empty()) {
        return std::string(sourceFile.substr(0, NameStart(sourceFile))) + name;
    }
    std::string result(folder);
    if (result.back() != '/') {
        result += '/';
    }
    return result + name;
}

std::string ReplaceProfileExtension(std::string_view target, std::string_view oldExtension,
                                    std::string_view newExtension) {
    const size_t nameStart = NameStart(target);
    // The whole old extension must lie after the file name's first character, so that a name
    // that is nothing but the extension keeps a name.
    if (!oldExtension.empty() && target.size() > nameStart + oldExtension.size() &&
        SameText(target.substr(target.size() - oldExtension.size()), oldExtension)) {
        return std::string(target.substr(0, target.size() - oldExtension.size())) +
               std::string(newExtension);
    }
    return ChangeFileExt(target, newExtension);
}

}  // namespace tw
