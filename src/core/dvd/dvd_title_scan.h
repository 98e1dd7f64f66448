#pragma once

// The title list of a disc, as the new-conversion wizard and the command line show it, and the
// "stream:N" URL of a chapter range of one title.

#include <string>
#include <vector>

#include "dvd/dvd_navigator.h"
#include "util/string_list.h"

namespace tw::dvd {

// "%d(%.2d:%.2d:%.2d)": the title number and its duration.
std::string TitleChoiceText(const DvdTitle& title);

inline constexpr char kNoVideoFilesMessage[] = "The disc has no video files";

// Every title of the disc at path (a device, a mounted disc, a VIDEO_TS folder or its parent, or
// an .iso image) whose video files are there, in number order, with its angle count. Throws
// EAVError "Can not open DVD" when the disc does not open.
std::vector<DvdTitle> ScanDiscTitles(const std::string& path);

// The wizard's scan: on success replaces titles and choices (one choice text per title) and
// returns true; a disc without a title to play says "The disc has no video files" (error box)
// and leaves both lists empty. When the disc does not open it shows the error box "Can not open
// DVD", leaves both lists as they were and returns false.
bool ScanDvdTitles(const std::string& path, std::vector<DvdTitle>& titles, TStringList& choices);

// Makes a stream over chapters firstChapter to lastChapter (positions from 1) of title in angle,
// registers it and returns its URL "stream:N"; the first open of the URL takes the stream over
// (see media/stream_registry.h). Throws EAVError: "Can not open title", "Can not start chapter",
// or a message naming a chapter range or angle the title does not have.
std::string OpenDvdTitleStream(const DvdTitle& title, int firstChapter, int lastChapter, int angle);

// The same for a disc path and a title number, as the command line gives them. lastChapter 0
// means the title's last chapter. Throws EAVError "Can not open DVD" when the disc does not open
// and a message naming the title when the disc has no such title.
std::string OpenDvdTitleStream(const std::string& path, int titleNumber, int firstChapter,
                               int lastChapter, int angle);

}  // namespace tw::dvd
