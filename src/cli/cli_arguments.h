#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw::cli {

struct Arguments {
    std::vector<std::pair<std::string, std::string>> settings;  // --set PATH=VALUE, in order
    std::vector<std::pair<std::string, std::string>> lines;     // --add PATH=LINE, in order
    std::vector<std::pair<std::string, std::string>> options;   // --option NAME=VALUE
    std::optional<std::string> profile;
    std::optional<std::string> filters;
    std::optional<std::string> crop;            // "auto" or "T:B:L:R"
    std::optional<std::string> audioTracks;     // "1,3"
    std::optional<std::string> subtitleTracks;  // "all", "none", "2"
    std::optional<int> burnSubtitleTrack;       // counted from 1
    std::optional<int> threads;
    std::optional<double> startSeconds;
    std::optional<double> durationSeconds;
    std::optional<std::string> outputDir;
    int jobs = 1;
    // Segments of one conversion converted at once (0 or 1: in one piece); unset: the number
    // of processors shared among the --jobs.
    std::optional<int> segments;
    std::optional<int> segmentSeconds;
    // Segments also convert on the computers of this login file (GNU parallel's form), their
    // spans sent to them, or, with sharedFolder, read from a folder they all see.
    std::optional<std::string> hosts;
    bool sharedFolder = false;
    // A DVD title as the source.
    std::optional<std::string> dvd;
    int dvdTitle = 1;
    int dvdFirstChapter = 0;  // 0 = the title's first
    int dvdLastChapter = 0;   // 0 = the title's last
    int dvdAngle = 1;
    std::optional<std::string> dvdTitles;  // list the titles of this disc
    std::vector<std::string> inputs;
    std::string output;  // empty with --output-dir
    bool listProfiles = false;
    bool verbose = false;
    bool stretch = false;    // the picture fills a frame of another shape
    bool trial = false;      // convert a sample and predict the whole conversion
    bool inProcess = false;  // convert in this process, not in worker processes
    bool help = false;
    bool version = false;
};

// Parses the command line (without the program name). Throws std::invalid_argument with a
// message for the user when the arguments are wrong.
Arguments ParseArguments(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace tw::cli
