#pragma once

// Runs this very program again with other arguments and reads what the system counted of the
// child: the processor time of all its threads. (Its peak memory the child reads itself: the
// system's figure starts from the parent's size, whose memory the child shares until it runs.)

#include <string>
#include <vector>

namespace tw::bench {

struct ChildRun {
    bool succeeded = false;  // exited with status 0
    double cpuSeconds = 0;   // user + system
    std::string output;      // what it wrote to its standard output
};

ChildRun RunSelf(const std::vector<std::string>& arguments);

}  // namespace tw::bench
