#include "jobs/worker_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "util/av_error.h"
#include "util/format.h"

namespace tw::jobs {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void ThrowSystemError(const char* what) {
    throw EAVError(FormatPrintf("The conversion process could not be started: %s: %s", what,
                                std::strerror(errno)));
}

void SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        ThrowSystemError("fcntl");
    }
}

// In the child, between fork and exec: only async-signal-safe calls, for the parent may have
// had other threads holding locks (the allocator's among them) at the moment of the fork.
[[noreturn]] void ExecChild(pid_t parent, int input, int output, int error, char* const* argv) {
    // Dies with the thread that started it; if the parent is already gone, the kernel will
    // never send that signal, so look.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
        _exit(127);
    }
    // All three are above 2 (ChildEnd), so none is overwritten before its turn.
    if (dup2(input, 0) != 0 || dup2(output, 1) != 1 || dup2(error, 2) != 2) {
        _exit(127);
    }
    // Descriptors the program opened without close-on-exec (databases, sockets, the display
    // connection) are none of the worker's business.
    if (syscall(SYS_close_range, 3U, ~0U, 0U) != 0) {
        for (int fd = 3; fd < 65536; ++fd) {
            close(fd);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &standard, nullptr);
    execv(argv[0], argv);
    static constexpr char kFailed[] = "the worker program could not be executed\n";
    (void)!write(2, kFailed, sizeof kFailed - 1);
    _exit(127);
}

// A child's end of a channel, kept off the standard descriptors' numbers (a program started
// with one of them closed gets it back from the next pipe).
UniqueFd ChildEnd(int fd) {
    UniqueFd end(fd);
    if (fd < 3) {
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (moved < 0) {
            ThrowSystemError("fcntl");
        }
        end.Reset(moved);
    }
    return end;
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Reset(other.Release());
    }
    return *this;
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = fd;
}

WorkerProcess::WorkerProcess(const std::string& program, const std::vector<std::string>& args) {
    int input[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) {
        ThrowSystemError("socketpair");
    }
    input_.Reset(input[0]);
    UniqueFd childInput = ChildEnd(input[1]);
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        ThrowSystemError("pipe");
    }
    output_.Reset(output[0]);
    UniqueFd childOutput = ChildEnd(output[1]);
    int error[2];
    if (pipe2(error, O_CLOEXEC) != 0) {
        ThrowSystemError("pipe");
    }
    error_.Reset(error[0]);
    UniqueFd childError = ChildEnd(error[1]);

    // Everything the child needs is made before the fork.
    std::vector<std::string> strings{program};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    const pid_t parent = getpid();

    pid_ = fork();
    if (pid_ < 0) {
        ThrowSystemError("fork");
    }
    if (pid_ == 0) {
        ExecChild(parent, childInput.Get(), childOutput.Get(), childError.Get(), argv.data());
    }
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd < 0) {
        const int reason = errno;
        Kill();
        Wait();
        errno = reason;
        ThrowSystemError("pidfd_open");
    }
    exit_.Reset(pidfd);
    SetNonBlocking(input_.Get());
    SetNonBlocking(output_.Get());
    SetNonBlocking(error_.Get());
}

WorkerProcess::~WorkerProcess() {
    if (!reaped_) {
        Kill();
        Wait();
    }
}

void WorkerProcess::Kill() {
    if (!reaped_) {
        kill(pid_, SIGKILL);
    }
}

int WorkerProcess::Wait() {
    while (!reaped_) {
        const pid_t result = waitpid(pid_, &status_, 0);
        if (result == pid_ || (result < 0 && errno != EINTR)) {
            // ECHILD: someone set SIGCHLD to be ignored and the system reaped it.
            reaped_ = true;
        }
    }
    return status_;
}

std::string DescribeExit(int waitStatus) {
    if (WIFSIGNALED(waitStatus)) {
        const int signal = WTERMSIG(waitStatus);
        const char* words = sigdescr_np(signal);
        return FormatPrintf("killed by signal %d (%s)", signal, words ? words : "unknown signal");
    }
    if (WIFEXITED(waitStatus)) {
        return FormatPrintf("exited with code %d", WEXITSTATUS(waitStatus));
    }
    return FormatPrintf("ended with status %d", waitStatus);
}

std::string FindWorkerProgram() {
    constexpr const char* kName = "tidewell-convert";
    if (const char* chosen = std::getenv("TIDEWELL_WORKER"); chosen && *chosen) {
        return chosen;
    }
    const auto runnable = [](const fs::path& path) { return access(path.c_str(), X_OK) == 0; };
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        const fs::path folder =
            fs::path(std::string(self, static_cast<size_t>(length))).parent_path();
        for (const fs::path& candidate :
             {folder / kName, (folder / ".." / "cli" / kName).lexically_normal()}) {
            if (runnable(candidate)) {
                return candidate.string();
            }
        }
    }
    return FindOnPath(kName);
}

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "";
    size_t begin = 0;
    while (begin < folders.size()) {
        size_t end = folders.find(':', begin);
        if (end == std::string::npos) {
            end = folders.size();
        }
        if (end > begin) {
            const fs::path candidate = fs::path(folders.substr(begin, end - begin)) / name;
            std::error_code error;
            if (fs::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0) {
                return candidate.string();
            }
        }
        begin = end + 1;
    }
    return {};
}

}  // namespace tw::jobs
