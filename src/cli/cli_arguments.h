#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw::cli {

struct Arguments {
    std::vector<std::pair<std::string, std::string>> settings;  // --set PATH=VALUE, in order
    std::vector<std::pair<std::string, std::string>> lines;     // --add PATH=LINE, in order
    std::string input;
    std::string output;
    bool verbose = false;
    bool help = false;
};

// Parses the command line (without the program name). Throws std::invalid_argument with a
// message for the user when the arguments are wrong.
Arguments ParseArguments(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace tw::cli
