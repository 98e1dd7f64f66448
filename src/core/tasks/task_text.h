#pragma once

// The cell texts of the task list.

#include <chrono>
#include <cstdint>
#include <string>

namespace tw {

class TConversionSettings;

// "dvd[<volume>:title<n>]" for a DVD title, else the file-name part of the source.
std::string SourceText(const TConversionSettings& settings);
// The part after the last separator.
std::string FileNamePart(const std::string& path);
// Bytes / 1024 as "%dKB".
std::string SizeText(int64_t bytes);
// Hours (not limited to 24), minutes and seconds as "%d:%d:%d", without leading zeros.
std::string TimeText(int64_t seconds);
// The left time of a run that has no estimate yet.
inline constexpr char kNoEstimateText[] = "--:--:--";
// The part of a source of sourceSeconds that a cut from startUs lasting recordingUs (INT64_MAX:
// to the end) converts; 0 while the source's length is unknown.
double CutSpanSeconds(double sourceSeconds, int64_t startUs, int64_t recordingUs);
// The pattern "###,###.0#": thousands grouped, one or two decimals, no leading zero, with the
// separators of the global C++ locale.
std::string BitrateText(double kbits);
// Local short date, then long time, in the C library's locale.
std::string DateTimeText(std::chrono::system_clock::time_point time);
// The size of a file on disk; 0 when it does not exist.
int64_t FileSizeOnDisk(const std::string& path);

}  // namespace tw
