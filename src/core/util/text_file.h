#pragma once

#include <filesystem>
#include <string>

namespace tw {

// The whole file as bytes; throws EAVError when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& file);

// Writes text beside file and renames it over file, so that a crash never leaves half a file.
// Throws EAVError "Cannot create file ..." when it cannot be written.
void WriteTextFileAtomically(const std::filesystem::path& file, const std::string& text);

}  // namespace tw
