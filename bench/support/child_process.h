#pragma once

// Runs this very program again with other arguments and measures the child as the system
// counted it: wall time, processor time of all its threads, and its peak resident memory.

#include <string>
#include <vector>

namespace tw::bench {

struct ChildRun {
    bool succeeded = false;  // exited with status 0
    double wallSeconds = 0;
    double cpuSeconds = 0;  // user + system
    double peakMb = 0;      // largest resident set, MiB
    std::string output;     // what it wrote to its standard output
};

ChildRun RunSelf(const std::vector<std::string>& arguments);

}  // namespace tw::bench
