#include "support/ssh_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "support/processes.h"

namespace tw::test {

namespace {

bool Connects(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

int RunQuietly(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        close(fd);
    }
    return port;
}

SilentPort::SilentPort() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        listen(fd_, 64) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

SilentPort::~SilentPort() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

int SilentPort::Connections() {
    // The system completes each connection; taking them off its queue counts them.
    for (int taken;
         (taken = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0 || errno == EINTR;) {
        if (taken >= 0) {
            close(taken);
            ++connections_;
        }
    }
    return connections_;
}

SshServer::SshServer(const std::string& pathFolders) {
    const passwd* account = getpwuid(getuid());
    user_ = account ? account->pw_name : "root";
    const std::string dir = folder_.Path().string();
    for (const char* key : {"host_key", "client_key"}) {
        if (RunQuietly("ssh-keygen -q -t ed25519 -N '' -f '" + dir + "/" + key + "'") != 0) {
            failure_ = std::string("ssh-keygen could not make ") + key;
            return;
        }
    }
    std::ifstream publicKey(dir + "/client_key.pub");
    std::ofstream(dir + "/authorized_keys") << publicKey.rdbuf();
    chmod((dir + "/authorized_keys").c_str(), 0600);

    port_ = FreeLoopbackPort();
    std::ofstream(dir + "/sshd_config")
        << "Port " << port_ << "\nListenAddress 127.0.0.1\nHostKey " << dir << "/host_key\n"
        << "AuthorizedKeysFile " << dir << "/authorized_keys\nPidFile none\n"
        << "PasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM no\n"
        << "StrictModes no\nPermitRootLogin prohibit-password\nMaxStartups 100\n"
        << "MaxSessions 100\nSetEnv PATH=" << pathFolders << ":/usr/local/bin:/usr/bin:/bin\n";

    // sshd started by root wants its privilege separation folder, which only the system
    // service makes; a mount space of its own gives it one without touching the system's.
    const bool privileged = geteuid() == 0;
    struct stat info {};
    const bool needsRunFolder = privileged && stat("/run/sshd", &info) != 0;
    const std::string sshd =
        "exec /usr/sbin/sshd -D -f '" + dir + "/sshd_config' -E '" + dir + "/sshd.log'";
    const std::string script =
        needsRunFolder ? "mount -t tmpfs -o mode=755 tidewell-test /run && mkdir -m 755 "
                         "/run/sshd && " +
                             sshd
                       : sshd;
    pid_ = fork();
    if (pid_ == 0) {
        if (needsRunFolder) {
            execlp("unshare", "unshare", "-m", "sh", "-c", script.c_str(), nullptr);
        } else {
            execl("/bin/sh", "sh", "-c", script.c_str(), nullptr);
        }
        _exit(127);
    }
    if (pid_ < 0) {
        failure_ = "sshd could not be started";
        return;
    }
    // Wait until it listens, or has ended.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Connects(port_)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            std::ifstream log(dir + "/sshd.log");
            failure_ = "sshd ended: " + std::string(std::istreambuf_iterator<char>(log),
                                                    std::istreambuf_iterator<char>());
            return;
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            failure_ = "sshd does not listen";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int SshServer::CountInLog(const std::string& text) const {
    std::ifstream log(folder_ / "sshd.log");
    int count = 0;
    for (std::string line; std::getline(log, line);) {
        count += line.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

SshServer::~SshServer() {
    if (pid_ > 0) {
        // Its sessions too: clients keep connections open for later sessions, and their
        // processes here would outlive it.
        for (const pid_t session : DescendantsOf(pid_)) {
            kill(session, SIGTERM);
        }
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

std::string SshServer::SshCommand(int port, const std::string& extra) const {
    const std::string dir = folder_.Path().string();
    return "ssh -o StrictHostKeyChecking=no -o UserKnownHostsFile=" + dir +
           "/known_hosts -o BatchMode=yes -o LogLevel=ERROR -o ConnectTimeout=20 -i " + dir +
           "/client_key -p " + std::to_string(port < 0 ? port_ : port) +
           (extra.empty() ? "" : " " + extra);
}

std::string SshServer::Login(int port, const std::string& extra) const {
    return "1/" + SshCommand(port, extra) + " " + user_ + "@127.0.0.1";
}

}  // namespace tw::test
