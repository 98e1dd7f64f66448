// The manual pages: they render without a warning and describe exactly the options that the
// programs' --help lists.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "shell_run.h"

namespace tw::test {
namespace {

// The options named in the tags of the OPTIONS section (".TP" then ".B \-\-name" ...).
std::set<std::string> ManualOptions(const std::string& page) {
    std::ifstream in(SourcePath(page));
    EXPECT_TRUE(in) << page;
    std::set<std::string> options;
    bool inOptions = false;
    bool tag = false;
    const std::regex option(R"((\\-){1,2}[A-Za-z?][A-Za-z0-9]*(\\-[A-Za-z0-9]+)*)");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(".SH", 0) == 0) {
            inOptions = line == ".SH OPTIONS";
        } else if (inOptions && tag) {
            for (std::sregex_iterator it(line.begin(), line.end(), option), end; it != end; ++it) {
                options.insert(std::regex_replace(it->str(), std::regex(R"(\\-)"), "-"));
            }
        }
        tag = line == ".TP";
    }
    return options;
}

TEST(ManualPages, RenderWithoutWarnings) {
    for (const char* page :
         {"data/man/tidewell-convert.1", "data/man/tidewell-video-converter.1"}) {
        const ShellResult result =
            RunBash("MANWIDTH=80 man --warnings -l \"$1\" 2>&1 >/dev/null", {SourcePath(page)});
        EXPECT_EQ(result.exitCode, 0) << page;
        EXPECT_EQ(result.output, "") << page;
    }
}

TEST(ManualPages, ListExactlyTheOptionsOfHelp) {
    const std::set<std::string> help = HelpOptions(TW_CLI_PATH);
    EXPECT_TRUE(help.count("--profile") && help.count("-v")) << "the help's options not read";
    EXPECT_EQ(ManualOptions("data/man/tidewell-convert.1"), help);
#ifdef TW_UI_PATH
    const std::set<std::string> desktopHelp = HelpOptions(TW_UI_PATH);
    EXPECT_TRUE(desktopHelp.count("--player")) << "the help's options not read";
    EXPECT_EQ(ManualOptions("data/man/tidewell-video-converter.1"), desktopHelp);
#endif
}

}  // namespace
}  // namespace tw::test
