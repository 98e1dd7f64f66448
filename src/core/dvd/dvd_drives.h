#pragma once

// The discs a user can pick as a DVD source: the optical drives whose disc is a DVD-Video, and
// the volume label that names a disc (drive, image file or VIDEO_TS folder) in the drive list
// and in default target names.
//
// Drives are found from the kernel's view of the system below a root folder ("/" on a running
// system; tests pass a folder holding a made-up tree):
//   proc/sys/dev/cdrom/info   drive names and whether each reads DVDs
//   sys/class/block/sr*       the optical block devices, when the cdrom information is missing
//   proc/self/mountinfo       where a drive's disc is mounted
// A mounted disc counts when it holds VIDEO_TS/VIDEO_TS.IFO; a disc that is not mounted is asked
// of the DVD library. Nothing here shows a message: drives without a readable DVD-Video disc are
// simply left out.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tw::dvd {

struct DvdDrive {
    std::string device;    // "/dev/sr0"
    std::string discPath;  // what a title scan opens: the mount point, else the device
    std::string label;     // the disc's volume label
};

// The label of the DVD-Video disc at path, or nullopt when the DVD library does not read a
// DVD-Video there. Replaceable so that tests need no drive.
using DiscLabelReader = std::function<std::optional<std::string>(const std::string& path)>;

// Drives under root holding a DVD-Video disc, in device-name order. Paths in the result are
// those under root.
std::vector<DvdDrive> FindDvdDrives(const std::filesystem::path& root,
                                    const DiscLabelReader& readLabel);
// The system's drives, read through the DVD library.
std::vector<DvdDrive> FindDvdDrives();

// The DVD library's answer for a disc: a device, an .iso image, a VIDEO_TS folder or its parent.
// The label is the disc's UDF volume identifier, else its ISO 9660 one, else DiscNameOf(path).
std::optional<std::string> ReadDvdVideoLabel(const std::string& path);

// The numbers of the titles (from 1) whose title set has its video files on the disc at path; a
// folder copied without its VTS_nn_m.VOB files has titles but nothing to play. Empty when the
// disc does not open.
std::vector<int> TitlesWithVideoFiles(const std::string& path);

// A name for a disc that carries no volume label: an image's file name without extension, a
// VIDEO_TS folder's parent folder name, a device's name ("sr0").
std::string DiscNameOf(const std::string& path);

// The drive list's entry: "%s: [%s]" from the device (or image) and the label.
std::string DriveChoiceText(const std::string& device, const std::string& label);

// The disc a file picked in the "Disc image or folder" dialog stands for: an image stands for
// itself, VIDEO_TS.IFO (any case) for its folder. Empty for any other file.
std::string DiscPathOfPickedFile(const std::string& file);

}  // namespace tw::dvd
