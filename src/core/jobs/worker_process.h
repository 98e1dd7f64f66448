#pragma once

// A worker child process: started with fork and exec, its standard input a socket this side
// writes to (so that writing to a child that is gone fails instead of raising SIGPIPE), its
// standard output and error pipes this side reads, and a pidfd that turns readable once it has
// ended. The child gets SIGKILL when the thread that started it ends (PR_SET_PDEATHSIG), and
// never starts when this process is already gone; no other descriptor of this process reaches
// it. Used by one thread at a time.

#include <sys/types.h>

#include <string>
#include <vector>

namespace tw::jobs {

// A file descriptor, closed with its owner.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

class WorkerProcess {
public:
    // Starts program with args (not counting the program's own name). Throws EAVError with the
    // system's reason when the child cannot be made; a program that cannot be executed ends the
    // child with exit code 127.
    WorkerProcess(const std::string& program, const std::vector<std::string>& args);
    // A child still running is killed; the child is always reaped.
    ~WorkerProcess();
    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;

    pid_t Pid() const { return pid_; }
    int InputFd() const { return input_.Get(); }    // non-blocking
    int OutputFd() const { return output_.Get(); }  // non-blocking
    int ErrorFd() const { return error_.Get(); }    // non-blocking
    int ExitFd() const { return exit_.Get(); }      // readable once the child has ended
    void CloseInput() { input_.Reset(); }
    void CloseOutput() { output_.Reset(); }
    void CloseError() { error_.Reset(); }

    void Kill();
    // Forgets the child without ending it (a forked copy of this process, whose child it is
    // not, lets go of it).
    void Disown() { reaped_ = true; }
    // Waits for the child to end and reaps it (once); its wait status.
    int Wait();

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    UniqueFd input_;
    UniqueFd output_;
    UniqueFd error_;
    UniqueFd exit_;
};

// How a child ended, in words: "killed by signal 9 (Killed)", "exited with code 3".
std::string DescribeExit(int waitStatus);

// The program that runs conversions: $TIDEWELL_WORKER when set; else tidewell-convert beside
// this program, or where the build tree puts it (../cli/ from the desktop program's folder);
// else the first on PATH. Empty when there is none.
std::string FindWorkerProgram();
// The first runnable file called name in the folders of PATH; empty when there is none.
std::string FindOnPath(const std::string& name);

}  // namespace tw::jobs
