#include "dvd/dvd_drives.h"

#include <algorithm>
#include <cstdarg>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <system_error>

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>

#include "util/format.h"
#include "util/ini_file.h"
#include "util/string_list.h"

namespace tw::dvd {

namespace fs = std::filesystem;

namespace {

void DropLog(void*, dvd_logger_level_t, const char*, va_list) {}
const dvd_logger_cb kQuietLogger = {&DropLog};

struct DvdReaderDeleter {
    void operator()(dvd_reader_t* reader) const { DVDClose(reader); }
};
struct DvdFileDeleter {
    void operator()(dvd_file_t* file) const { DVDCloseFile(file); }
};
struct IfoDeleter {
    void operator()(ifo_handle_t* ifo) const { ifoClose(ifo); }
};

std::string Latin1ToUtf8(const char* text) {
    std::string result;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (*c < 0x80) {
            result += static_cast<char>(*c);
        } else {
            result += static_cast<char>(0xC0 | (*c >> 6));
            result += static_cast<char>(0x80 | (*c & 0x3F));
        }
    }
    return std::string(Trim(result));
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// Drive names from the kernel's cdrom information, keeping those that read DVDs. The file
// lists one column per drive after each "key:".
std::vector<std::string> DrivesFromCdromInfo(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> names;
    std::vector<std::string> readsDvd;
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const std::string key(Trim(std::string_view(line).substr(0, colon)));
        if (key == "drive name") {
            names = Words(line.substr(colon + 1));
        } else if (key == "Can read DVD") {
            readsDvd = Words(line.substr(colon + 1));
        }
    }
    std::vector<std::string> drives;
    for (size_t i = 0; i < names.size(); ++i) {
        // Without the capability line the drive is given the benefit of the doubt.
        if (i >= readsDvd.size() || readsDvd[i] != "0") {
            drives.push_back(names[i]);
        }
    }
    return drives;
}

std::vector<std::string> DrivesFromBlockClass(const fs::path& folder) {
    std::vector<std::string> drives;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 2 && name.compare(0, 2, "sr") == 0) {
            drives.push_back(name);
        }
    }
    return drives;
}

// mountinfo writes blanks, tabs, newlines and backslashes in paths as octal escapes.
std::string UnescapeMountPath(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(),
                            [](char c) { return c >= '0' && c <= '7'; })) {
                result += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

// Mount points by mounted device, from a mountinfo file: the fifth field is the mount point, the
// source follows the file-system type after the " - " separator.
std::map<std::string, std::string> MountPoints(const fs::path& file) {
    std::ifstream in(file);
    std::map<std::string, std::string> points;
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> fields = Words(line);
        const auto separator = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || separator == fields.end() || fields.end() - separator < 3) {
            continue;
        }
        const std::string source = UnescapeMountPath(*(separator + 2));
        // The first mount of a device is where the desktop shows it.
        points.emplace(source, UnescapeMountPath(fields[4]));
    }
    return points;
}

bool HoldsVideoTs(const fs::path& folder) {
    std::error_code error;
    return fs::is_regular_file(folder / "VIDEO_TS" / "VIDEO_TS.IFO", error) ||
           fs::is_regular_file(folder / "video_ts" / "video_ts.ifo", error);
}

fs::path UnderRoot(const fs::path& root, const std::string& absolute) {
    return root / fs::path(absolute).relative_path();
}

}  // namespace

std::vector<DvdDrive> FindDvdDrives(const fs::path& root, const DiscLabelReader& readLabel) {
    std::vector<std::string> names = DrivesFromCdromInfo(root / "proc/sys/dev/cdrom/info");
    if (names.empty()) {
        names = DrivesFromBlockClass(root / "sys/class/block");
    }
    std::sort(names.begin(), names.end());
    const std::map<std::string, std::string> mounts = MountPoints(root / "proc/self/mountinfo");

    std::vector<DvdDrive> drives;
    for (const std::string& name : names) {
        const std::string device = "/dev/" + name;
        DvdDrive drive;
        drive.device = UnderRoot(root, device).string();
        const auto mount = mounts.find(device);
        if (mount != mounts.end()) {
            // A mounted disc is what the desktop shows; one without VIDEO_TS is some other disc.
            const fs::path point = UnderRoot(root, mount->second);
            if (!HoldsVideoTs(point)) {
                continue;
            }
            drive.discPath = point.string();
            // Desktops mount a disc on a folder named after its label, so the folder's name
            // stands in when the library cannot read the label.
            drive.label = readLabel(drive.discPath).value_or(DiscNameOf(drive.discPath));
        } else {
            std::optional<std::string> label = readLabel(drive.device);
            if (!label) {
                continue;
            }
            drive.discPath = drive.device;
            drive.label = std::move(*label);
        }
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::vector<DvdDrive> FindDvdDrives() {
    return FindDvdDrives("/", ReadDvdVideoLabel);
}

std::optional<std::string> ReadDvdVideoLabel(const std::string& path) {
    std::error_code error;
    if (path.empty() || !fs::exists(path, error)) {
        return std::nullopt;
    }
    std::unique_ptr<dvd_reader_t, DvdReaderDeleter> reader(
        DVDOpen2(nullptr, &kQuietLogger, path.c_str()));
    if (!reader) {
        return std::nullopt;
    }
    // A DVD-Video has its video manager's information file.
    if (!std::unique_ptr<dvd_file_t, DvdFileDeleter>(
            DVDOpenFile(reader.get(), 0, DVD_READ_INFO_FILE))) {
        return std::nullopt;
    }
    char volume[33] = {};
    unsigned char volumeSet[128];
    std::string label;
    if (DVDUDFVolumeInfo(reader.get(), volume, sizeof volume, volumeSet, sizeof volumeSet) == 0) {
        label = Latin1ToUtf8(volume);
    }
    if (label.empty() &&
        DVDISOVolumeInfo(reader.get(), volume, sizeof volume, volumeSet, sizeof volumeSet) == 0) {
        label = Latin1ToUtf8(volume);
    }
    return label.empty() ? DiscNameOf(path) : label;
}

std::vector<int> TitlesWithVideoFiles(const std::string& path) {
    std::error_code error;
    if (path.empty() || !fs::exists(path, error)) {
        return {};
    }
    std::unique_ptr<dvd_reader_t, DvdReaderDeleter> reader(
        DVDOpen2(nullptr, &kQuietLogger, path.c_str()));
    if (!reader) {
        return {};
    }
    const std::unique_ptr<ifo_handle_t, IfoDeleter> manager(ifoOpen(reader.get(), 0));
    if (!manager || !manager->tt_srpt) {
        return {};
    }
    std::map<int, bool> setHasVideo;
    std::vector<int> titles;
    const tt_srpt_t& table = *manager->tt_srpt;
    for (int i = 0; i < table.nr_of_srpts; ++i) {
        const int set = table.title[i].title_set_nr;
        if (!setHasVideo.count(set)) {
            const std::unique_ptr<dvd_file_t, DvdFileDeleter> video(
                DVDOpenFile(reader.get(), set, DVD_READ_TITLE_VOBS));
            setHasVideo[set] = video && DVDFileSize(video.get()) > 0;
        }
        if (setHasVideo[set]) {
            titles.push_back(i + 1);
        }
    }
    return titles;
}

std::string DiscNameOf(const std::string& path) {
    fs::path disc = fs::path(path).lexically_normal();
    if (!disc.has_filename()) {
        disc = disc.parent_path();
    }
    if (SameText(disc.filename().string(), "VIDEO_TS")) {
        disc = disc.parent_path();
    }
    if (SameText(disc.extension().string(), ".iso")) {
        return disc.stem().string();
    }
    return disc.filename().string();
}

std::string DriveChoiceText(const std::string& device, const std::string& label) {
    return FormatPrintf("%s: [%s]", device.c_str(), label.c_str());
}

std::string DiscPathOfPickedFile(const std::string& file) {
    const fs::path picked(file);
    if (SameText(picked.filename().string(), "VIDEO_TS.IFO")) {
        return picked.parent_path().string();
    }
    if (SameText(picked.extension().string(), ".iso")) {
        return file;
    }
    return {};
}

}  // namespace tw::dvd
