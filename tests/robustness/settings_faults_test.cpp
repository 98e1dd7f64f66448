// The user's own files damaged or out of reach: a profile file holding binary garbage, a
// configuration file damaged again and again, a configuration folder the user may not write.
// Nothing the user had is overwritten, and both programs still start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "child_process.h"
#include "profiles/profile_catalogue.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/scoped_env.h"
#include "tasks/configuration.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the command-line program with TIDEWELL_CONFIG_HOME set to configHome, as "nobody" when
// unprivileged; its output goes to files in scratch (which anyone may write).
CliResult Cli(const TempFolder& scratch, const std::string& configHome,
              const std::vector<std::string>& args, bool unprivileged) {
    ShareWithEveryone(scratch.Path().string(), true);
    const std::string outFile = scratch / "stdout.txt";
    const std::string errFile = scratch / "stderr.txt";
    ChildProcess child(
        [&](int) {
            if (!freopen(outFile.c_str(), "w", stdout) || !freopen(errFile.c_str(), "w", stderr)) {
                return 126;
            }
            setenv("TIDEWELL_CONFIG_HOME", configHome.c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(TW_CLI_PATH)};
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execv(TW_CLI_PATH, argv.data());
            return 127;
        },
        unprivileged);
    child.ReadAll(120s);
    CliResult r;
    r.exitCode = child.Wait();
    r.out = ReadFileBytes(outFile);
    r.err = ReadFileBytes(errFile);
    return r;
}

TEST(SettingsFaults, ProfileFileOfBinaryGarbageIsKeptAsideAndTheBuiltInProfilesServe) {
    TempFolder home;
    const std::string file = UserProfileFileName(home / "TidewellSoft/VideoConverter").string();
    fs::create_directories(home / "TidewellSoft");
    std::string garbage = "[Profile]\nProfileCount=3\n";
    for (int i = 0; i < 3000; ++i) {
        garbage += static_cast<char>((i * 131 + 7) % 256);
    }
    WriteFileBytes(file, garbage);

    // The command line lists the whole built-in catalogue and says what became of the file.
    const CliResult r = Cli(home, home.Path().string(), {"--list-profiles"}, false);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("  AAC Audio\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  IPod 320x240 Video\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("kept as " + file + ".bad"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(file + ".bad"), garbage);
    EXPECT_FALSE(fs::exists(file));

    // The next save writes a clean file; the garbage is never written into it.
    auto list = CreateBuiltInCatalogue();
    SaveUserProfiles(*list, file);
    auto reloaded = CreateBuiltInCatalogue();
    ASSERT_TRUE(LoadUserProfiles(*reloaded, file));
    EXPECT_EQ(reloaded->Count(), list->Count());
    EXPECT_EQ(ReadFileBytes(file + ".bad"), garbage);
}

TEST(SettingsFaults, ConfigurationDamagedTwiceKeepsBothCopies) {
    TempFolder home;
    ScopedEnv config("TIDEWELL_CONFIG_HOME", home.Path().string());
    platform::RecordingMessageService messages;
    platform::ScopedMessageService installed(messages);
    const std::string file = TAVConfiguration::ConfigFileName();
    fs::create_directories(fs::path(file).parent_path());
    const std::string damaged[] = {"<data><TAVConfiguration>", std::string("\0\1\2\3", 4)};
    for (const std::string& bytes : damaged) {
        WriteFileBytes(file, bytes);
        TAVConfiguration configuration;
        configuration.SetPriorityApplier([](int, std::string*) { return true; });
        configuration.Load();
        EXPECT_TRUE(configuration.ShowAlert());
    }
    EXPECT_EQ(ReadFileBytes(file + ".bad"), damaged[0]);
    EXPECT_EQ(ReadFileBytes(file + ".bad2"), damaged[1]);
    EXPECT_EQ(messages.Errors().size(), 2u);
}

TEST(SettingsFaults, CommandLineConvertsWithAConfigurationFolderItMayNotWrite) {
    TempFolder config;
    ShareWithEveryone(config.Path().string(), false);
    TempFolder scratch;
    const std::string target = scratch / "out.mkv";
    const CliResult r = Cli(scratch, config.Path().string(),
                            {"--set", "InputFormat=lavfi", "--profile", "IPod 320x240 Video",
                             LavfiSource(160, 120, "25", 1), target},
                            true);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(InspectMedia(target).First(StreamKind::Video).decodedFrameCount, 20);
    EXPECT_TRUE(fs::is_empty(config.Path()));
}

}  // namespace
}  // namespace tw::test
