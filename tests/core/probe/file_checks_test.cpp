// The wizard's last look at the files a conversion reads: what it says about each kind.
#include "probe/file_checks.h"
#include "probe/media_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::probe {
namespace {

using test::TempFolder;

bool Says(const std::string& problem, const std::string& words) {
    return problem.find(words) != std::string::npos;
}

TEST(FileChecks, SayWhatIsWrongWithEachKindOfFile) {
    TempFolder folder;
    const std::string clip = test::MakeClip(folder.Path(), "clip.mkv", 1);
    const std::string notes = folder / "notes.txt";
    test::WriteFileBytes(notes, "just some words, nothing to play\n");
    const std::string subtitles = folder / "film.srt";
    test::WriteFileBytes(subtitles, "1\n00:00:01,000 --> 00:00:02,000\nHello\n\n");
    test::ClipDescription picture;
    picture.durationSec = 0.04;
    picture.videoCodec = "png";
    picture.pixelFormat = "rgb24";
    picture.audioCodec.clear();
    const std::string logo = folder / "logo.png";
    test::GenerateClip(picture, logo);
    const std::string font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

    EXPECT_EQ(SourceFileProblem(clip), "");
    EXPECT_EQ(SubtitleFileProblem(subtitles), "");
    EXPECT_EQ(PictureFileProblem(logo), "");
    EXPECT_EQ(FontFileProblem(font), "");

    const std::string gone = folder / "gone.mkv";
    EXPECT_EQ(SourceFileProblem(gone), "The source file " + gone + " does not exist.");
    EXPECT_EQ(SourceFileProblem(folder.Path().string()),
              "The source file " + folder.Path().string() + " is not a file.");
    EXPECT_EQ(SourceFileProblem(notes),
              "The source file " + notes + " is not a video or audio file this program can read.");
    EXPECT_EQ(SubtitleFileProblem(clip),
              "The subtitle file " + clip + " holds no subtitles this program can read.");
    EXPECT_EQ(PictureFileProblem(notes),
              "The logo file " + notes + " is not a picture this program can read.");
    EXPECT_EQ(FontFileProblem(logo),
              "The font file " + logo + " is not a TrueType or OpenType font.");
    EXPECT_TRUE(Says(FontFileProblem(""), "does not exist"));

    // Permissions do not stop the superuser.
    if (geteuid() != 0) {
        std::filesystem::permissions(subtitles, std::filesystem::perms::none);
        EXPECT_TRUE(Says(SubtitleFileProblem(subtitles), "cannot be read: Permission denied"))
            << SubtitleFileProblem(subtitles);
    }
}

TEST(FileChecks, TargetFolderMustBeOneOrBeMadeBelowAFolder) {
    TempFolder folder;
    const std::string file = folder / "plain.txt";
    test::WriteFileBytes(file, "x");
    EXPECT_EQ(TargetFolderProblem(folder / "new/deeper"), "");
    EXPECT_TRUE(Says(TargetFolderProblem(file + "/below"), "is not a folder"));
    EXPECT_FALSE(TargetFolderProblem("").empty());
}

// A folder's media files for converting it whole: by extension in any case, in name order,
// hidden ones left out, subfolders only when asked and after the folder's own files.
TEST(MediaFolder, ListsMediaFilesInNameOrderOptionallyWithSubfolders) {
    TempFolder folder;
    for (const char* name :
         {"b.MKV", "a.mp4", "notes.txt", ".hidden.mkv", "sub/c.avi", ".cache/d.mkv"}) {
        std::filesystem::create_directories((folder.Path() / name).parent_path());
        test::WriteFileBytes(folder / name, "x");
    }
    EXPECT_EQ(MediaFilesIn(folder.Path().string(), false),
              (std::vector<std::string>{folder / "a.mp4", folder / "b.MKV"}));
    EXPECT_EQ(MediaFilesIn(folder.Path().string(), true),
              (std::vector<std::string>{folder / "a.mp4", folder / "b.MKV", folder / "sub/c.avi"}));
    EXPECT_TRUE(MediaFilesIn(folder / "missing", true).empty());
}

}  // namespace
}  // namespace tw::probe
