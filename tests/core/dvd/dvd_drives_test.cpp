// Which drives the DVD list offers, found in a made-up system tree, and the labels that name discs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "dvd/dvd_drives.h"
#include "support/scoped_env.h"

namespace tw::dvd {
namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    test::WriteFileBytes(file, text);
}

void MakeVideoTs(const fs::path& folder) {
    WriteText(folder / "VIDEO_TS" / "VIDEO_TS.IFO", "DVDVIDEO-VMG");
}

TEST(DvdDrives, OnlyDrivesHoldingADvdVideoAreListedWithTheirLabels) {
    test::TempFolder root;
    // Four drives; sr3 reads only CDs. The kernel lists its drives last first.
    WriteText(root.Path() / "proc/sys/dev/cdrom/info",
              "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\n"
              "drive name:\t\tsr3\tsr2\tsr1\tsr0\n"
              "drive speed:\t\t24\t24\t24\t24\n"
              "Can read DVD:\t\t0\t1\t1\t1\n");
    // sr0 is mounted on a folder with a blank in its name and holds a film; sr2 is mounted
    // with a data disc; sr1 is not mounted and the DVD library reads it.
    WriteText(root.Path() / "proc/self/mountinfo",
              "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
              "90 22 11:0 / /media/me/MY\\040FILM ro,nosuid shared:60 - udf /dev/sr0 ro\n"
              "91 22 11:2 / /media/me/BACKUP ro,nosuid shared:61 - iso9660 /dev/sr2 ro\n");
    MakeVideoTs(root.Path() / "media/me/MY FILM");
    fs::create_directories(root.Path() / "media/me/BACKUP/photos");

    std::vector<std::string> asked;
    const auto reader = [&](const std::string& path) -> std::optional<std::string> {
        asked.push_back(path);
        if (path == root / "dev/sr1") {
            return "HOLIDAY";
        }
        return std::nullopt;
    };
    const std::vector<DvdDrive> drives = FindDvdDrives(root.Path(), reader);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].device, root / "dev/sr0");
    EXPECT_EQ(drives[0].discPath, root / "media/me/MY FILM");
    // The library gave no label for the mounted disc: the mount folder's name stands in.
    EXPECT_EQ(drives[0].label, "MY FILM");
    EXPECT_EQ(drives[1].device, root / "dev/sr1");
    EXPECT_EQ(drives[1].discPath, root / "dev/sr1");
    EXPECT_EQ(drives[1].label, "HOLIDAY");
    // The CD-only drive and the mounted data disc were never handed to the library.
    EXPECT_EQ(asked, (std::vector<std::string>{root / "media/me/MY FILM", root / "dev/sr1"}));
    EXPECT_EQ(DriveChoiceText("/dev/sr1", "HOLIDAY"), "/dev/sr1: [HOLIDAY]");
}

TEST(DvdDrives, BlockDevicesStandInWhenTheKernelHasNoCdromInformation) {
    test::TempFolder root;
    fs::create_directories(root.Path() / "sys/class/block/sda");
    fs::create_directories(root.Path() / "sys/class/block/sr0");
    const auto reader = [](const std::string&) { return std::optional<std::string>("FILM"); };
    const std::vector<DvdDrive> drives = FindDvdDrives(root.Path(), reader);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].device, root / "dev/sr0");
    EXPECT_TRUE(FindDvdDrives(root / "nothing", reader).empty());
}

TEST(DvdDrives, LabelsComeFromTheDiscOrItsName) {
    test::TempFolder folder;
    const fs::path disc = folder.Path() / "Summer 2023";
    MakeVideoTs(disc);
    // A folder rip has no volume: it is named after its folder, with or without VIDEO_TS.
    EXPECT_EQ(ReadDvdVideoLabel(disc.string()), "Summer 2023");
    EXPECT_EQ(ReadDvdVideoLabel((disc / "VIDEO_TS").string()), "Summer 2023");
    // Folders and files that are no DVD-Video.
    EXPECT_EQ(ReadDvdVideoLabel(folder.Path().string()), std::nullopt);
    EXPECT_EQ(ReadDvdVideoLabel((folder.Path() / "missing").string()), std::nullopt);

    if (std::system("command -v genisoimage > /dev/null 2>&1") == 0) {
        const std::string iso = folder / "rip.iso";
        const std::string command = "genisoimage -quiet -udf -V HOLIDAY_2024 -o '" + iso + "' '" +
                                    disc.string() + "' > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(ReadDvdVideoLabel(iso), "HOLIDAY_2024");
    }

    EXPECT_EQ(DiscPathOfPickedFile("/rips/film/VIDEO_TS/video_ts.ifo"), "/rips/film/VIDEO_TS");
    EXPECT_EQ(DiscPathOfPickedFile("/rips/film.ISO"), "/rips/film.ISO");
    EXPECT_EQ(DiscPathOfPickedFile("/rips/film/VIDEO_TS/VTS_01_1.VOB"), "");
    EXPECT_EQ(DiscNameOf("/rips/film.iso"), "film");
    EXPECT_EQ(DiscNameOf("/dev/sr0"), "sr0");
}

}  // namespace
}  // namespace tw::dvd
