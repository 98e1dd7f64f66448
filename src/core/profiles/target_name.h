#pragma once

// Target file names as the wizard makes them: the source's name with its extension replaced by
// the profile's Extension. An image profile's extension carries a number ("1.jpg"), so a source
// movie.avi gives movie1.jpg, the first file of the numbered sequence.

#include <functional>
#include <string>
#include <string_view>

namespace tw {

// Replaces the extension of the file-name part of fileName (from its last '.'; a name that
// starts with its only dot has none) by extension, or appends extension when there is none.
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);

// The target for a source in folder: the source's file name with the profile's extension. An
// empty folder keeps the target beside the source.
std::string TargetFileName(std::string_view sourceFile, std::string_view extension,
                           std::string_view folder = {});

// The target once the user picks another profile. When the name ends with the previous
// profile's whole extension, that is what is replaced, so movie1.jpg becomes movie1.png rather
// than movie11.png; otherwise as ChangeFileExt.
std::string ReplaceProfileExtension(std::string_view target, std::string_view oldExtension,
                                    std::string_view newExtension);

// The path with " (number)" after its file name's base: "/v/movie (2).mp4".
std::string NumberedFileName(std::string_view path, int number);

// The target to propose: path itself when no file of that name exists and taken(path) is false,
// else the first such NumberedFileName from 2 on.
std::string FreeTargetName(const std::string& path,
                           const std::function<bool(const std::string&)>& taken);

}  // namespace tw
