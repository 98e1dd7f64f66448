#pragma once

// What /proc says of the processes a test started.

#include <sys/types.h>

#include <vector>

namespace tw::test {

// The processes whose parent is parent (reaped or not).
std::vector<pid_t> ChildrenOf(pid_t parent);
// Those, and theirs in turn.
std::vector<pid_t> DescendantsOf(pid_t pid);

}  // namespace tw::test
