#include "child_process.h"

#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

namespace tw::test {

namespace {

constexpr uid_t kNobody = 65534;

}  // namespace

ChildProcess::ChildProcess(const std::function<int(int reportFd)>& body, bool unprivileged) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::abort();
    }
    pid_ = fork();
    if (pid_ < 0) {
        std::abort();
    }
    if (pid_ == 0) {
        close(fds[0]);
        if (unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(120);
        }
        int result = 121;
        try {
            result = body(fds[1]);
        } catch (...) {
            result = 122;
        }
        // Straight out: no destructors of the parent's objects, no test-framework exit code.
        _exit(result);
    }
    close(fds[1]);
    readFd_ = fds[0];
}

ChildProcess::~ChildProcess() {
    if (!reaped_) {
        Kill();
        Wait();
    }
    if (readFd_ >= 0) {
        close(readFd_);
    }
}

std::string ChildProcess::Read(size_t count, std::chrono::milliseconds limit) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (text.size() < count && readFd_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{readFd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(readFd_, buffer, std::min(sizeof buffer, count - text.size()));
        if (n <= 0) {
            close(readFd_);
            readFd_ = -1;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

std::string ChildProcess::ReadAll(std::chrono::milliseconds limit) {
    std::string text = Read(SIZE_MAX, limit);
    if (readFd_ >= 0) {
        Kill();  // still running after the limit
    }
    Wait();
    return text;
}

void ChildProcess::Kill() {
    if (!reaped_) {
        kill(pid_, SIGKILL);
    }
}

int ChildProcess::Wait() {
    if (!reaped_) {
        while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -WTERMSIG(status_);
}

void Report(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<size_t>(n);
    }
}

void ShareWithEveryone(const std::string& folder, bool writable) {
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec |
                                (writable ? fs::perms::group_write | fs::perms::others_write
                                          : fs::perms::none));
}

}  // namespace tw::test
