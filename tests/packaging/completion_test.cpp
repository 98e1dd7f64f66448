// The bash completion of tidewell-convert as bash-completion loads it from an installation.
#include <gtest/gtest.h>

#include <memory>

#include "shell_run.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

// Loads the completion the way bash-completion does for a command typed first (from the data
// folders it searches), checks that it is registered, and completes the last of words.
constexpr const char* kCompleteScript = R"(
source /usr/share/bash-completion/bash_completion || exit 3
export XDG_DATA_DIRS="$1/share" BASH_COMPLETION_USER_DIR="$1/none"
__load_completion tidewell-convert || exit 4
registered=$(complete -p tidewell-convert) || exit 5
function=${registered#*-F }
function=${function%% *}
shift
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
COMP_LINE="$*"
COMP_POINT=${#COMP_LINE}
COMPREPLY=()
"$function" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}"
)";

class BashCompletion : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        installation_ = std::make_unique<TempFolder>();
        InstallBuild("", installation_->Path().string());
    }
    static void TearDownTestSuite() { installation_.reset(); }

    // The completions offered for the last of words, one per line, as the command line gets
    // them (quoted where needed).
    static std::vector<std::string> Complete(const std::vector<std::string>& words) {
        std::vector<std::string> args = {installation_->Path().string(), TW_CLI_PATH};
        args.insert(args.end(), words.begin(), words.end());
        const ShellResult result = RunBash(kCompleteScript, args);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        return Lines(result.output);
    }

    TempFolder config_;  // no profiles of the user's own
    ScopedEnv configHome_{"TIDEWELL_CONFIG_HOME", config_.Path().string()};

private:
    static std::unique_ptr<TempFolder> installation_;
};

std::unique_ptr<TempFolder> BashCompletion::installation_;

TEST_F(BashCompletion, CompletesProfileNamesWithSpaces) {
    EXPECT_EQ(Complete({"--profile", "IPod\\ 320x240\\ V"}),
              std::vector<std::string>{"IPod\\ 320x240\\ Video"});
    // Inside an opened quote the name goes in as it is.
    EXPECT_EQ(Complete({"--profile", "\"IPod 320x240 V"}),
              std::vector<std::string>{"IPod 320x240 Video"});
    // Brackets are quoted too.
    EXPECT_EQ(Complete({"--profile", "DVD\\ MPEG\\ TS"}),
              std::vector<std::string>{"DVD\\ MPEG\\ TS\\(PAL\\)"});
}

TEST_F(BashCompletion, OffersExactlyTheOptionsOfHelp) {
    const std::vector<std::string> offered = Complete({"-"});
    EXPECT_EQ(std::set<std::string>(offered.begin(), offered.end()), HelpOptions(TW_CLI_PATH));
}

}  // namespace
}  // namespace tw::test
