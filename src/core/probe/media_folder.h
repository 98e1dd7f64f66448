#pragma once

// The media files of a folder, for converting a whole folder at once: the files whose extension
// is one the libraries open (media::MediaFileExtensions, any case), in name order, optionally
// with those of its subfolders (each folder's files before its subfolders'; links to folders are
// not followed). Hidden files and folders are left out, and a folder that cannot be read is
// passed over. Reads the disk: any thread.

#include <string>
#include <vector>

namespace tw::probe {

std::vector<std::string> MediaFilesIn(const std::string& folder, bool withSubfolders);

}  // namespace tw::probe
