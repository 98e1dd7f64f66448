#pragma once

// What is wrong with a file a conversion is about to use, said in words: it is missing, cannot
// be read, or is not the kind of file it stands for. The wizard asks before it lets a
// conversion start, since a chosen file may have gone or changed since it was chosen. Each
// answer is the empty text when the file will do. UI thread (a source or picture is opened and
// examined, which takes as long as the file's first packets; the wizard asks from a worker).

#include <string>

namespace tw::probe {

// A video or audio file the program can read.
std::string SourceFileProblem(const std::string& file);
// A subtitle file the program can read.
std::string SubtitleFileProblem(const std::string& file);
// A picture (the logo) the program can read.
std::string PictureFileProblem(const std::string& file);
// A TrueType or OpenType font (or a collection of them).
std::string FontFileProblem(const std::string& file);
// A folder targets go into: it exists and may be written, or it can be made (the nearest
// folder above it that exists may be written).
std::string TargetFolderProblem(const std::string& folder);

}  // namespace tw::probe
