#include "segments/host_logins.h"

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "jobs/worker_process.h"
#include "segments/segment_cache.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/string_list.h"

namespace tw::segments {

namespace fs = std::filesystem;

namespace {

// Whether a line of a login file, trimmed, is left out: empty or a comment.
bool Skipped(std::string_view trimmed) {
    return trimmed.empty() || trimmed.front() == '#';
}

// "[@groups/][N/]" at the start of line: its length.
size_t PrefixLength(std::string_view line) {
    size_t at = 0;
    if (!line.empty() && line.front() == '@') {
        const size_t slash = line.find('/');
        if (slash == std::string_view::npos) {
            return 0;
        }
        at = slash + 1;
    }
    size_t digits = at;
    while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) {
        ++digits;
    }
    return digits > at && digits < line.size() && line[digits] == '/' ? digits + 1 : at;
}

// The ssh program of command (its first word's last part) is ssh itself.
bool IsSsh(const std::string& command) {
    const std::string program = command.substr(0, command.find(' '));
    return fs::path(program).filename() == "ssh";
}

// How long ssh waits for a computer to answer: one that drops the packets would hold the jobs
// up for the system's own timeout (minutes), or for ever once connected without a word.
constexpr int kConnectSeconds = 10;

// Puts option right after the program of command (an ssh command line): ssh takes the first
// value an option is given.
void AddOption(std::string& command, const std::string& option) {
    const size_t program = command.find(' ');
    command.insert(program == std::string::npos ? command.size() : program, " " + option);
}

bool Mentions(const std::string& command, const std::string& lowerCaseText) {
    std::string lower = command;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(lowerCaseText) != std::string::npos;
}

// "/tmp/tidewell-ssh-UID", made when missing; empty when it is not a folder of this user's
// that only this user can enter (another user could have made it, or put a link there).
std::string UserSocketFolder() {
    const std::string folder =
        FormatPrintf("/tmp/tidewell-ssh-%u", static_cast<unsigned>(getuid()));
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat status {};
    if (lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != getuid() || (status.st_mode & 077) != 0) {
        return {};
    }
    return folder;
}

// A master connection listens on socket (a file left by one that died does not).
bool Answers(const std::string& socket) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, socket.c_str(), socket.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool answers =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answers;
}

}  // namespace

bool HostLogins::NamesAny(const std::string& text) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!Skipped(Trim(line))) {
            return true;
        }
    }
    return false;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

HostLogins::HostLogins(const std::string& loginFile, bool shared) {
    std::ifstream in(loginFile);
    std::error_code error;
    if (!in || !fs::is_regular_file(loginFile, error)) {
        throw EAVError(FormatPrintf("The list of computers %s cannot be read", loginFile.c_str()));
    }
    const char* defaultSsh = std::getenv("PARALLEL_SSH");
    for (std::string line; std::getline(in, line);) {
        const std::string_view trimmed = Trim(line);
        if (Skipped(trimmed)) {
            continue;
        }
        Login login;
        const size_t prefix = PrefixLength(trimmed);
        login.prefix = std::string(trimmed.substr(0, prefix));
        const std::string rest(Trim(trimmed.substr(prefix)));
        const size_t space = rest.find_last_of(" \t");
        login.host = space == std::string::npos ? rest : rest.substr(space + 1);
        if (!login.Here()) {
            login.command = space == std::string::npos
                                ? std::string(defaultSsh && *defaultSsh ? defaultSsh : "ssh")
                                : std::string(Trim(rest.substr(0, space)));
        }
        login.written = login.Here() ? login.host : login.command + " " + login.host;
        if (!login.Here() && IsSsh(login.command) && !Mentions(login.command, "connecttimeout")) {
            AddOption(login.command, FormatPrintf("-o ConnectTimeout=%d", kConnectSeconds));
        }
        logins_.push_back(login);
    }
    if (logins_.empty()) {
        throw EAVError(
            FormatPrintf("The list of computers %s names no computer", loginFile.c_str()));
    }
    file_ = fs::absolute(loginFile).string();
    if (!shared) {
        return;
    }
    // The connections outlive the run by a minute (ssh's ControlPersist), so that the
    // conversions of a batch log in once: their sockets sit in a folder of this user's, each
    // named for its login. Where that folder cannot be trusted, they are the run's own.
    folder_ = UserSocketFolder();
    if (folder_.empty()) {
        // The sockets' path must stay short (a socket's name has at most 107 bytes).
        char folder[] = "/tmp/tidewell-ssh-XXXXXX";
        if (mkdtemp(folder) == nullptr) {
            throw EAVError(
                FormatPrintf("A folder for the connections to other computers cannot be "
                             "made in /tmp: %s",
                             std::strerror(errno)));
        }
        folder_ = folder;
        ownFolder_ = true;
    }
    std::string file = folder_ + "/logins-XXXXXX";
    const int fd = mkstemp(file.data());
    if (fd < 0) {
        const std::string why = std::strerror(errno);
        if (ownFolder_) {
            fs::remove_all(folder_, error);
        }
        throw EAVError(FormatPrintf("The list of computers cannot be written to %s: %s",
                                    folder_.c_str(), why.c_str()));
    }
    close(fd);
    file_ = file;
    for (Login& login : logins_) {
        if (!login.Here() && IsSsh(login.command)) {
            // The same login finds the same socket.
            login.socket = folder_ + "/" + Digest(login.written);
            AddOption(login.command, "-o ControlMaster=auto -o ControlPath=" + login.socket +
                                         " -o ControlPersist=60");
        }
    }
    try {
        WriteFile({});
    } catch (const EAVError&) {
        fs::remove(file_, error);
        if (ownFolder_) {
            fs::remove_all(folder_, error);
        }
        throw;
    }
}

void HostLogins::WriteFile(const std::set<size_t>& dropped) const {
    std::ofstream out(file_, std::ios::trunc);
    for (size_t i = 0; i < logins_.size(); ++i) {
        const Login& login = logins_[i];
        if (dropped.count(i) == 0) {
            out << login.prefix << (login.Here() ? login.host : login.command + " " + login.host)
                << "\n";
        }
    }
    out.close();
    if (!out) {
        throw EAVError(FormatPrintf("The list of computers cannot be written to %s: %s",
                                    file_.c_str(), std::strerror(errno)));
    }
}

bool HostLogins::Drop(const std::set<size_t>& dropped) {
    if (folder_.empty() || dropped.empty() || dropped.size() >= logins_.size()) {
        return false;
    }
    try {
        WriteFile(dropped);
        dropped_ = dropped;
        return true;
    } catch (const EAVError&) {
        return false;
    }
}

HostLogins::~HostLogins() {
    if (folder_.empty()) {
        return;
    }
    std::error_code error;
    fs::remove(file_, error);
    RemoveOwnFolder();
}

void HostLogins::RemoveOwnFolder() {
    if (!ownFolder_) {
        return;  // the connections end on their own a minute after their last session
    }
    std::set<std::string> ended;
    std::vector<std::unique_ptr<jobs::WorkerProcess>> exits;
    for (const Login& login : logins_) {
        const std::string exit = login.command + " -O exit " + login.host + " 2>/dev/null";
        if (login.Here() || !IsSsh(login.command) || !ended.insert(exit).second) {
            continue;
        }
        try {
            exits.push_back(std::make_unique<jobs::WorkerProcess>(
                "/bin/sh", std::vector<std::string>{"-c", exit + " >/dev/null"}));
        } catch (const EAVError&) {
            // The connection ends on its own a minute after its last session.
        }
    }
    for (const auto& process : exits) {
        process->Wait();
    }
    std::error_code error;
    fs::remove_all(folder_, error);
}

bool HostLogins::Connected() const {
    return std::all_of(logins_.begin(), logins_.end(), [&](const Login& login) {
        return login.socket.empty() || Answers(login.socket);
    });
}

std::string HostLogins::Remote(const Login& login, const std::string& command) {
    return login.command + " " + login.host + " " + ShellQuote(command);
}

std::string HostLogins::Name(const std::string& login) {
    if (login == ":") {
        return "this computer";
    }
    std::istringstream words(login);
    std::vector<std::string> parts;
    for (std::string word; words >> word;) {
        parts.push_back(word);
    }
    if (parts.empty()) {
        return login;
    }
    std::string name = parts.back();
    if (const size_t prefix = PrefixLength(name); parts.size() == 1) {
        name = name.substr(prefix);  // "4/host"
    }
    for (size_t i = 0; i + 2 < parts.size(); ++i) {
        if (parts[i] == "-p") {
            name += " (port " + parts[i + 1] + ")";
        }
    }
    return name;
}

}  // namespace tw::segments
