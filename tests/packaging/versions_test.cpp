// --version of both programs: the program, the project's version and the media libraries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/version.h>
}

#include "shell_run.h"

namespace tw::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

void ExpectVersionLines(const ShellResult& result, const std::string& program) {
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::vector<std::string> lines = Lines(result.output);
    ASSERT_GE(lines.size(), 2u) << result.output;
    EXPECT_EQ(lines[0], program + " (Tidewell Video Converter) " TW_PROJECT_VERSION);
    EXPECT_THAT(lines[1], StartsWith("FFmpeg "));
    EXPECT_THAT(lines[1],
                HasSubstr("libavcodec " + std::to_string(LIBAVCODEC_VERSION_MAJOR) + "."));
}

TEST(Versions, CommandLineNamesItsVersionAndTheMediaLibraries) {
    ExpectVersionLines(RunBash("\"$1\" --version", {TW_CLI_PATH}), "tidewell-convert");
}

#ifdef TW_UI_PATH
TEST(Versions, DesktopProgramAnswersWithoutADisplay) {
    const ShellResult result =
        RunBash("unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM; \"$1\" --version", {TW_UI_PATH});
    ExpectVersionLines(result, "tidewell-video-converter");
    EXPECT_THAT(result.output, HasSubstr("\nQt 6.")) << result.output;
}
#endif

}  // namespace
}  // namespace tw::test
