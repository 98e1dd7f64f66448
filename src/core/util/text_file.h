#pragma once

#include <filesystem>
#include <string>

namespace tw {

// The whole file as bytes; throws EAVError when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& file);

// Writes text beside file and renames it over file, so that a crash never leaves half a file.
// Throws EAVError "Cannot create file ..." when it cannot be written.
void WriteTextFileAtomically(const std::filesystem::path& file, const std::string& text);

// Moves a file the program cannot use out of the way, so that the user keeps it and a fresh one
// can take its place: renamed to the first free name of "<file>.bad", "<file>.bad2", … (an
// earlier copy kept aside is never replaced). Returns the new name; an empty path when the file
// could not be renamed (it is then left where it was).
std::filesystem::path KeepAside(const std::filesystem::path& file);

}  // namespace tw
