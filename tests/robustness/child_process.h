#pragma once

// Runs part of a test in a child process: to kill it at a chosen moment, to hold a lock another
// program would hold, or to run without root's privileges so that permissions bite (CI runs as
// root). The child reports back through a pipe.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

namespace tw::test {

class ChildProcess {
public:
    // Forks; the child runs body(reportFd) and ends with its result as exit code. With
    // unprivileged, a child of root first becomes the user "nobody" (uid and gid 65534).
    ChildProcess(const std::function<int(int reportFd)>& body, bool unprivileged = false);
    // Kills a child still running and reaps it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads the report until it holds count bytes, the child closes it, or the limit passes.
    std::string Read(size_t count, std::chrono::milliseconds limit);
    // Everything reported until the child closes the report (killed when that takes longer
    // than limit); then reaps it.
    std::string ReadAll(std::chrono::milliseconds limit);
    void Kill();
    // Waits for the child; its exit code, or -signal when a signal ended it.
    int Wait();

private:
    pid_t pid_ = -1;
    int readFd_ = -1;
    bool reaped_ = false;
    int status_ = 0;
};

// Writes text to a report descriptor (in the child).
void Report(int fd, const std::string& text);

// Opens a folder (and, with writable, lets anyone write in it) so an unprivileged child can use
// what a test made in it as root.
void ShareWithEveryone(const std::string& folder, bool writable);

}  // namespace tw::test
