// The command line with profiles, several inputs, cuts, filters and DVD sources.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../core/dvd/test_disc.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program; stdout and stderr go to files so that neither pipe can fill up.
Result Cli(const TempFolder& folder, const std::vector<std::string>& args) {
    const std::string outFile = folder / "stdout.txt";
    const std::string errFile = folder / "stderr.txt";
    const pid_t child = fork();
    if (child == 0) {
        freopen(outFile.c_str(), "w", stdout);
        freopen(errFile.c_str(), "w", stderr);
        std::vector<char*> argv{const_cast<char*>(TW_CLI_PATH)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(TW_CLI_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    Result r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadFileBytes(outFile);
    r.err = ReadFileBytes(errFile);
    return r;
}

TEST(CliProfiles, ListsProfilesUnderTheirCategories) {
    TempFolder folder;
    ScopedEnv config("TIDEWELL_CONFIG_HOME", folder / "config");
    const Result r = Cli(folder, {"--list-profiles"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const size_t ipod = r.out.find("\nIPod\n");
    ASSERT_NE(ipod, std::string::npos) << r.out;
    const size_t profile = r.out.find("  IPod 320x240 Video\n");
    EXPECT_GT(profile, ipod);
    // Every line between the category and the profile is a profile of that category.
    const std::string between = r.out.substr(ipod + 6, profile - ipod - 6);
    for (size_t line = 0; line < between.size(); line = between.find('\n', line) + 1) {
        EXPECT_EQ(between.compare(line, 2, "  "), 0) << between;
    }
    int lines = 0;
    for (const char c : r.out) {
        lines += c == '\n' ? 1 : 0;
    }
    EXPECT_GE(lines, 56);
}

TEST(CliProfiles, ConvertsWithADeviceProfileGivenInAnyCase) {
    TempFolder folder;
    ScopedEnv config("TIDEWELL_CONFIG_HOME", folder / "config");
    ClipDescription clip;
    clip.width = 640;
    clip.height = 480;
    GenerateClip(clip, folder / "clip.mkv");
    const Result r =
        Cli(folder, {"--profile", "ipod 320X240 video", folder / "clip.mkv", folder / "ipod.mp4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const MediaInfo info = InspectMedia(folder / "ipod.mp4");
    EXPECT_EQ(info.First(StreamKind::Video).codecName, "mpeg4");
    EXPECT_EQ(info.First(StreamKind::Video).width, 320);
    EXPECT_EQ(info.First(StreamKind::Video).height, 240);
    EXPECT_EQ(info.First(StreamKind::Audio).codecName, "aac");
    EXPECT_EQ(info.First(StreamKind::Audio).sampleRate, 48000);
}

TEST(CliProfiles, UnknownProfileExitsTwoNamingTheNearest) {
    TempFolder folder;
    ScopedEnv config("TIDEWELL_CONFIG_HOME", folder / "config");
    const Result r = Cli(folder, {"--profile", "IPod 320x240 Vidoe", "in.mkv", "out.mp4"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("IPod 320x240 Video"), std::string::npos) << r.err;
    // A part of a name brings the names that hold it, not the shortest ones.
    const Result part = Cli(folder, {"--profile", "ipod", "in.mkv", "out.mp4"});
    EXPECT_EQ(part.exitCode, 2);
    EXPECT_NE(part.err.find("nearest are:\n  IPod"), std::string::npos) << part.err;
    EXPECT_EQ(part.err.find("VCD"), std::string::npos) << part.err;
}

TEST(CliProfiles, OutputFolderWithSeveralInputsAndJobs) {
    TempFolder folder;
    ScopedEnv config("TIDEWELL_CONFIG_HOME", folder / "config");
    ClipDescription clip;
    clip.durationSec = 1;
    GenerateClip(clip, folder / "one.mkv");
    GenerateClip(clip, folder / "two.avi");
    GenerateClip(clip, folder / "three.mp4");
    // A second source of the same name, converted at the same time: named apart, not written
    // into the first one's target.
    clip.durationSec = 2;
    GenerateClip(clip, folder / "one.avi");
    const Result r = Cli(
        folder, {"--profile", "MP3 Audio", "--output-dir", folder / "out", "--jobs", "2",
                 folder / "one.mkv", folder / "one.avi", folder / "two.avi", folder / "three.mp4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("writing " + (folder / "out/one (2).mp3")), std::string::npos) << r.err;
    EXPECT_NEAR(InspectMedia(folder / "out/one.mp3").First(StreamKind::Audio).durationSec, 1.0,
                0.1);
    EXPECT_NEAR(InspectMedia(folder / "out/one (2).mp3").First(StreamKind::Audio).durationSec, 2.0,
                0.1);
    for (const char* name : {"one.mp3", "two.mp3", "three.mp3"}) {
        const MediaInfo info = InspectMedia((folder.Path() / "out" / name).string());
        EXPECT_EQ(info.First(StreamKind::Audio).codecName, "mp3") << name;
        EXPECT_EQ(info.CountOf(StreamKind::Video), 0) << name;
    }
}

TEST(CliProfiles, ImageProfileNumbersItsPictures) {
    TempFolder folder;
    ScopedEnv config("TIDEWELL_CONFIG_HOME", folder / "config");
    ClipDescription clip;
    clip.durationSec = 0.4;
    GenerateClip(clip, folder / "movie.mkv");
    const Result r = Cli(folder, {"--profile", "JPEG Sequence", "--output-dir", folder / "pictures",
                                  folder / "movie.mkv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (int i = 1; i <= 10; ++i) {
        EXPECT_TRUE(fs::exists(folder / ("pictures/movie" + std::to_string(i) + ".jpg"))) << i;
    }
    EXPECT_FALSE(fs::exists(folder / "pictures/movie11.jpg"));
}

TEST(CliProfiles, StartAndDurationCutTheSource) {
    TempFolder folder;
    ScopedEnv config("TIDEWELL_CONFIG_HOME", folder / "config");
    ClipDescription clip;
    clip.durationSec = 4;
    GenerateClip(clip, folder / "clip.mkv");
    const Result r = Cli(folder, {"--start", "1.5", "--duration", "2", "--threads", "1",
                                  folder / "clip.mkv", folder / "cut.mkv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NEAR(InspectMedia(folder / "cut.mkv").First(StreamKind::Video).durationSec, 2.0, 0.05);
    EXPECT_EQ(Cli(folder, {"--start", "soon", "a", "b"}).exitCode, 2);
    EXPECT_EQ(Cli(folder, {"--duration", "0", "a", "b"}).exitCode, 2);
    EXPECT_EQ(Cli(folder, {"--jobs", "0", "a", "b"}).exitCode, 2);
    EXPECT_EQ(Cli(folder, {"--output-dir", "x", "a"}).exitCode, 2);
}

TEST(CliProfiles, FiltersAndLibraryOptions) {
    TempFolder folder;
    ClipDescription clip;
    clip.durationSec = 1;
    GenerateClip(clip, folder / "clip.mkv");
    const Result r = Cli(folder, {"--filters", "hflip", "--option", "g=5", "--set",
                                  "VideoOptions.EncoderVideoCodecName=mpeg4", folder / "clip.mkv",
                                  folder / "flipped.avi"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const StreamInfo video = InspectMedia(folder / "flipped.avi").First(StreamKind::Video);
    // A key picture every five.
    EXPECT_EQ(video.keyPacketCount, 5);
    const RgbFrame source = DecodeVideoFrameRgb(folder / "clip.mkv", 0);
    const RgbFrame flipped = DecodeVideoFrameRgb(folder / "flipped.avi", 0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(source.Pixel(10, 100)[c], flipped.Pixel(flipped.width - 11, 100)[c], 40);
    }
}

TEST(CliDvd, ListsTitlesAndConvertsAChapterRange) {
    TempFolder folder;
    const TestDisc disc = AuthorTestDisc(folder.Path());
    ASSERT_TRUE(disc.error.empty()) << disc.error;
    const Result titles = Cli(folder, {"--dvd-titles", disc.root.string()});
    ASSERT_EQ(titles.exitCode, 0) << titles.err;
    EXPECT_EQ(titles.out, "1(00:00:15)\n2(00:00:04)\n");

    const Result convert = Cli(folder, {"--dvd", disc.videoTs.string(), "--title", "1",
                                        "--chapters", "2-3", folder / "chapters.mp4"});
    ASSERT_EQ(convert.exitCode, 0) << convert.err;
    EXPECT_NEAR(InspectMedia(folder / "chapters.mp4").First(StreamKind::Video).durationSec, 9.0,
                1.0);

    EXPECT_EQ(Cli(folder, {"--dvd-titles", folder / "no-disc"}).exitCode, 1);
    const Result noTitle =
        Cli(folder, {"--dvd", disc.root.string(), "--title", "9", folder / "x.mp4"});
    EXPECT_EQ(noTitle.exitCode, 1);
    EXPECT_FALSE(noTitle.err.empty());
}

}  // namespace
}  // namespace tw::test
