#pragma once

// The computers of a login file in GNU parallel's --sshloginfile form: one login a line,
// "[@groups/][N/]" ahead of it, then either ":" (this computer) or "[ssh command] [user@]host";
// empty lines and lines starting with "#" are skipped.
//
// A job on another computer opens several SSH sessions (send its span, run, bring back its
// part, clean up), and logging in costs far more than a session. So each login's ssh command
// gets a connection of its own that its sessions share (ssh's ControlMaster), made by its
// first session (the version check's, when that comes first); parallel is given a login file
// with those commands (File()). The connections stay a minute after their last session, for
// the next conversion to the same computers. An ssh command is also given a connect timeout
// (10 s) unless it has one of its own.

#include <set>
#include <string>
#include <vector>

namespace tw::segments {

class HostLogins {
public:
    struct Login {
        std::string prefix;   // "[@groups/][N/]" as written
        std::string written;  // "[ssh command] [user@]host" as written; ":" for this computer
        std::string command;  // the ssh command and its options; empty for this computer
        std::string host;     // "[user@]host"; ":" for this computer
        std::string socket;   // its shared connection's; empty when it has none
        bool Here() const { return host == ":"; }
    };

    // Reads loginFile. shared: sessions share a connection per login, written into a login
    // file of this object's. Throws EAVError when a file cannot be read or written, or when
    // loginFile names no computer.
    HostLogins(const std::string& loginFile, bool shared);
    // Removes its login file (and, with a folder of its own, ends the connections).
    ~HostLogins();
    HostLogins(const HostLogins&) = delete;
    HostLogins& operator=(const HostLogins&) = delete;

    const std::vector<Login>& Logins() const { return logins_; }
    // Every login whose sessions share a connection has it (its first session logged in).
    bool Connected() const;
    // The login file to give parallel.
    const std::string& File() const { return file_; }
    // Writes that file again without the logins at those places in Logins() (computers that
    // cannot be reached), for the next parallel to start; false (the file as it was) when the
    // file is not this object's, when there is none to leave out or none would be left.
    bool Drop(const std::set<size_t>& dropped);
    // The logins the file has left out since (none, until Drop). On the thread that drops.
    const std::set<size_t>& Dropped() const { return dropped_; }
    // Whether the text of a login file names a computer (has a line that is neither empty nor
    // a comment).
    static bool NamesAny(const std::string& text);
    // A shell command line that runs command (a shell command line) on login's computer.
    static std::string Remote(const Login& login, const std::string& command);
    // The login as people say it: "user@host", with its port when it has one.
    static std::string Name(const std::string& login);

private:
    // Ends the connections and removes the folder when it is this object's alone.
    void RemoveOwnFolder();
    // The login file but for the logins at the places dropped. Throws EAVError.
    void WriteFile(const std::set<size_t>& dropped) const;

    std::vector<Login> logins_;
    std::set<size_t> dropped_;
    std::string folder_;  // the shared connections' sockets and login file; empty: none
    bool ownFolder_ = false;
    std::string file_;
};

std::string ShellQuote(const std::string& text);

}  // namespace tw::segments
