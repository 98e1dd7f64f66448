#include "profiles/target_name.h"

#include <filesystem>

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

std::string NumberedFileName(std::string_view path, int number) {
    const size_t nameStart = NameStart(path);
    const size_t dot = path.find_last_of('.');
    const size_t baseEnd = dot != std::string_view::npos && dot > nameStart ? dot : path.size();
    return std::string(path.substr(0, baseEnd)) + " (" + std::to_string(number) + ")" +
           std::string(path.substr(baseEnd));
}

std::string FreeTargetName(const std::string& path,
                           const std::function<bool(const std::string&)>& taken) {
    const auto isFree = [&taken](const std::string& candidate) {
        std::error_code error;
        return !std::filesystem::exists(candidate, error) && !(taken && taken(candidate));
    };
    if (path.empty() || isFree(path)) {
        return path;
    }
    for (int number = 2;; ++number) {
        std::string candidate = NumberedFileName(path, number);
        if (isFree(candidate)) {
            return candidate;
        }
    }
}

}  // namespace tw
