#pragma once

// An SSH server of a test's own: sshd listening on 127.0.0.1 on a free port, with a host key
// and a client key made for it in a temporary folder and its own configuration, so that
// nothing of the system's is read or changed and nothing leaves the loopback address. Stopped
// with the object, and with it the connections ssh clients keep open to it.

#include <sys/types.h>

#include <string>

#include "support/scoped_env.h"

namespace tw::test {

class SshServer {
public:
    // Logins see pathFolders (':'-separated) ahead of the usual PATH.
    explicit SshServer(const std::string& pathFolders);
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    // Empty once the server listens; otherwise why it does not.
    const std::string& Failure() const { return failure_; }
    int Port() const { return port_; }
    // How many logins the server has accepted so far.
    int LoginsAccepted() const { return CountInLog("Accepted publickey"); }
    // An ssh command line (with options) that logs into this server without asking anything.
    std::string SshCommand(int port = -1, const std::string& extra = "") const;
    // A login for GNU parallel's --sshlogin or its login file: "1/ssh ... user@127.0.0.1", one
    // job at a time.
    std::string Login(int port = -1, const std::string& extra = "") const;

private:
    int CountInLog(const std::string& text) const;

    TempFolder folder_;
    std::string user_;
    std::string failure_;
    int port_ = -1;
    pid_t pid_ = -1;
};

// A TCP port on 127.0.0.1 nothing listens on (a closed port) at the time of the call.
int FreeLoopbackPort();

// A port on 127.0.0.1 that takes connections and never says a word, as a computer behind a
// firewall that drops them; closed with the object.
class SilentPort {
public:
    SilentPort();
    ~SilentPort();
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    int Port() const { return port_; }  // -1 when it could not be opened
    // How many connections were made to it so far.
    int Connections();

private:
    int fd_ = -1;
    int port_ = -1;
    int connections_ = 0;
};

}  // namespace tw::test
