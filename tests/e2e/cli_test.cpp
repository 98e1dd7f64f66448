// The command-line converter as a user runs it: exit codes, messages, interruption.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

struct CliResult {
    int exitCode = -1;
    std::string errorOutput;
};

// Runs the program with args, stderr captured (through a terminal of its own when terminal is
// set), stdin closed. With interruptWhen, SIGINT is sent once it holds (looked at every few
// milliseconds, for a minute at most).
CliResult RunCli(const std::vector<std::string>& args,
                 const std::function<bool()>& interruptWhen = {}, bool checkLeaks = true,
                 bool terminal = false) {
    int errPipe[2];
    if (terminal ? openpty(&errPipe[0], &errPipe[1], nullptr, nullptr, nullptr) != 0
                 : pipe(errPipe) != 0) {
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(errPipe[1], STDERR_FILENO);
        close(errPipe[0]);
        close(errPipe[1]);
        if (!checkLeaks) {
            const char* asan = std::getenv("ASAN_OPTIONS");
            const std::string options = std::string(asan ? asan : "") + ":detect_leaks=0";
            setenv("ASAN_OPTIONS", options.c_str(), 1);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(TW_CLI_PATH));
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(TW_CLI_PATH, argv.data());
        _exit(127);
    }
    close(errPipe[1]);
    if (interruptWhen) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!interruptWhen() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(child, SIGINT);
    }
    CliResult result;
    std::array<char, 4096> buffer;
    ssize_t n;
    while ((n = read(errPipe[0], buffer.data(), buffer.size())) > 0) {
        result.errorOutput.append(buffer.data(), static_cast<size_t>(n));
    }
    close(errPipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

TEST(Cli, ConvertsWithEmptyOptionsAndSaysNothingWhenNotATerminal) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    const CliResult result = RunCli({folder / "in.mkv", folder / "out.mp4"});
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
    EXPECT_EQ(result.errorOutput, "");
    const MediaInfo info = InspectMedia(folder / "out.mp4");
    EXPECT_EQ(info.First(StreamKind::Video).width, 320);
    EXPECT_EQ(info.First(StreamKind::Video).codecName, "h264");
}

// A variable-rate recording, whose container and average rates differ (a library notice).
std::string MakeRecording(const TempFolder& folder) {
    ClipDescription clip;
    clip.width = 640;
    clip.height = 480;
    clip.durationSec = 6;
    clip.audioCodec = "";
    for (int i = 0; i < 120; ++i) {
        clip.frameTimesSec.push_back(i * 0.05 + (i % 2) * 0.01);
    }
    const std::string path = folder / "recording.mp4";
    GenerateClip(clip, path);
    return path;
}

TEST(Cli, TerminalLineIsCalmAndLibraryNoticesWaitForVerbose) {
    TempFolder folder;
    const std::string source = MakeRecording(folder);
    const auto begin = std::chrono::steady_clock::now();
    const CliResult quiet = RunCli({source, folder / "out.mkv"}, {}, true, true);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_EQ(quiet.exitCode, 0) << quiet.errorOutput;
    const std::string& out = quiet.errorOutput;
    EXPECT_EQ(out.find("Seems stream"), std::string::npos) << out;
    const auto redraws = std::count(out.begin(), out.end(), '\r');
    EXPECT_LE(redraws, 10 * seconds + 3) << out;
    // No time left is claimed before there is anything to estimate it from.
    EXPECT_NE(out.find("  0%  left --:--:--"), std::string::npos) << out;
    for (size_t at = out.find("%  left 0:00:00"); at != std::string::npos;
         at = out.find("%  left 0:00:00", at + 1)) {
        EXPECT_GE(std::stoi(out.substr(at - 3, 3)), 50) << out;
    }
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    const CliResult verbose = RunCli({"-v", source, folder / "out.mkv"});
    EXPECT_NE(verbose.errorOutput.find("Seems stream"), std::string::npos);
}

TEST(Cli, SettingsByName) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    const CliResult result =
        RunCli({"--set", "VideoOptions.FrameWidth=160", "--set", "VideoOptions.FrameHeight=120",
                "--set", "AudioOptions.AudioSampleRate=22050", "--add", "MetaData=title=Holiday",
                folder / "in.mkv", folder / "out.mkv"});
    ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
    const MediaInfo info = InspectMedia(folder / "out.mkv");
    EXPECT_EQ(info.First(StreamKind::Video).width, 160);
    EXPECT_EQ(info.First(StreamKind::Audio).sampleRate, 22050);
    EXPECT_EQ(info.metadata.at("title"), "Holiday");
}

TEST(Cli, BadArgumentsExitTwo) {
    EXPECT_EQ(RunCli({}).exitCode, 2);
    EXPECT_EQ(RunCli({"only-one"}).exitCode, 2);
    EXPECT_EQ(RunCli({"--no-such-option", "a", "b"}).exitCode, 2);
    const CliResult unknown = RunCli({"--set", "VideoOptions.NoSuch=1", "a", "b"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.errorOutput.find("VideoOptions.NoSuch"), std::string::npos);
    EXPECT_EQ(RunCli({"--set", "VideoOptions.FrameWidth=wide", "a", "b"}).exitCode, 2);
    EXPECT_EQ(RunCli({"--start", "nan", "a", "b"}).exitCode, 2);
    EXPECT_EQ(RunCli({"--duration", "inf", "a", "b"}).exitCode, 2);
    const CliResult help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
}

TEST(Cli, FailedConversionExitsOneWithTheEngineMessage) {
    TempFolder folder;
    const CliResult result = RunCli({folder / "missing.mp4", folder / "out.mp4"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.errorOutput.find("Could not open file:-2!"), std::string::npos)
        << result.errorOutput;
}

TEST(Cli, FailuresNameTheFileAndWhy) {
    TempFolder folder;
    ClipDescription clip;
    clip.durationSec = 2;
    GenerateClip(clip, folder / "in.mkv");
    // A start past the end is refused before the target is made, with the source's length.
    const CliResult late = RunCli({"--start", "60", folder / "in.mkv", folder / "late.mp4"});
    EXPECT_EQ(late.exitCode, 1);
    EXPECT_NE(late.errorOutput.find("it starts at 60.0 s, the source lasts 2.0 s (source: " +
                                    (folder / "in.mkv") + ")"),
              std::string::npos)
        << late.errorOutput;
    EXPECT_FALSE(std::filesystem::exists(folder / "late.mp4"));
    // In a batch, the failing input is the one named; the others still convert.
    WriteBytes(folder / "broken.mp4", std::string(4096, '\0'));
    const CliResult batch = RunCli({"--profile", "MP3 Audio", "--output-dir", folder / "music",
                                    folder / "broken.mp4", folder / "in.mkv"});
    EXPECT_EQ(batch.exitCode, 1);
    EXPECT_NE(batch.errorOutput.find("(source: " + (folder / "broken.mp4") + ")"),
              std::string::npos)
        << batch.errorOutput;
    EXPECT_TRUE(std::filesystem::exists(folder / "music/in.mp3"));
}

TEST(Cli, InterruptStopsAndStillFinishesTheFile) {
    TempFolder folder;
    const std::string source =
        "testsrc2=size=640x480:rate=25:duration=600[out0];sine=duration=600[out1]";
    const std::string target = folder / "long.mp4";
    // Interrupted once pictures are being written (the header alone is a few hundred bytes).
    const auto converting = [&target] {
        std::error_code error;
        const auto size = std::filesystem::file_size(target, error);
        return !error && size > 100000;
    };
    // The libraries' generated-source device leaks one picture when it is closed before its
    // end, which is exactly what this test does; the leak check is left to the other tests.
    const CliResult result =
        RunCli({"--set", "InputFormat=lavfi", source, target}, converting, false);
    EXPECT_EQ(result.exitCode, 130) << result.errorOutput;
    const MediaInfo info = InspectMedia(target);
    EXPECT_GT(info.First(StreamKind::Video).decodedFrameCount, 0);
    EXPECT_EQ(info.First(StreamKind::Video).decodeErrors, 0);
}

}  // namespace
}  // namespace tw::test
