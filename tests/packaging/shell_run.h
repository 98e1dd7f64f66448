#pragma once

// What the packaging tests share: a bash script run to its end, the options a program's --help
// lists, and the places of the source and build trees.

#include <set>
#include <string>
#include <vector>

namespace tw::test {

struct ShellResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs script with bash -c, args as $1, $2 ..., in the test's environment.
ShellResult RunBash(const std::string& script, const std::vector<std::string>& args = {});

// The options ("-v", "--verbose" ...) in the option lines of program's --help.
std::set<std::string> HelpOptions(const std::string& program);

// The lines of text without their line ends, empty ones left out.
std::vector<std::string> Lines(const std::string& text);

std::string SourcePath(const std::string& relative);

// Installs the build ("cmake --install") under prefix inside destDir.
void InstallBuild(const std::string& destDir, const std::string& prefix);

}  // namespace tw::test
