#include "segments/host_jobs.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/paths.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/string_list.h"
#include "util/version_text.h"

namespace tw::segments {

namespace fs = std::filesystem;

namespace {

constexpr size_t kLastLines = 5;

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// A login as people say it: "user@host", with its port when it has one.
std::string HostName(const std::string& login) {
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
    if (const size_t slash = name.find('/'); slash != std::string::npos && parts.size() == 1) {
        name = name.substr(slash + 1);  // "4/host"
    }
    for (size_t i = 0; i + 2 < parts.size(); ++i) {
        if (parts[i] == "-p") {
            name += " (port " + parts[i + 1] + ")";
        }
    }
    return name;
}

// parallel, started in folder with workerFolder ahead of the PATH (so that this computer's
// jobs run the program beside this one). Its input is closed at once.
std::unique_ptr<jobs::WorkerProcess> StartParallel(const std::string& folder,
                                                   const std::string& workerFolder,
                                                   const std::vector<std::string>& args) {
    const char* path = std::getenv("PATH");
    std::vector<std::string> all{
        "-C", folder, "PATH=" + workerFolder + ":" + (path ? path : "/usr/bin:/bin"), "parallel"};
    all.insert(all.end(), args.begin(), args.end());
    auto process = std::make_unique<jobs::WorkerProcess>("/usr/bin/env", all);
    process->CloseInput();
    return process;
}

// Reads the output and error of a process line by line until both end.
class Lines {
public:
    explicit Lines(jobs::WorkerProcess& process) : process_(process) {}

    // Calls out or error for each whole line; returns once both are at their end.
    template <typename Out, typename Error>
    void Drain(Out out, Error error) {
        std::string buffers[2];
        bool open[2] = {true, true};
        while (open[0] || open[1]) {
            pollfd fds[2] = {{open[0] ? process_.OutputFd() : -1, POLLIN, 0},
                             {open[1] ? process_.ErrorFd() : -1, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                break;
            }
            for (int i = 0; i < 2; ++i) {
                if (!open[i] || fds[i].revents == 0) {
                    continue;
                }
                char chunk[65536];
                const ssize_t count = read(fds[i].fd, chunk, sizeof chunk);
                if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
                    continue;
                }
                if (count > 0) {
                    buffers[i].append(chunk, static_cast<size_t>(count));
                } else {
                    open[i] = false;
                    if (!buffers[i].empty()) {
                        buffers[i] += '\n';
                    }
                }
                for (size_t end; (end = buffers[i].find('\n')) != std::string::npos;) {
                    const std::string line = buffers[i].substr(0, end);
                    buffers[i].erase(0, end + 1);
                    i == 0 ? out(line) : error(line);
                }
            }
        }
    }

private:
    jobs::WorkerProcess& process_;
};

struct JobLogRow {
    int sequence = 0;
    std::string host;
    double seconds = 0;
    int exitValue = -1;
    int signal = 0;
};

// Every attempt in a job log of parallel's, in the order they ended.
std::vector<JobLogRow> ReadJobLog(const std::string& file) {
    std::vector<JobLogRow> rows;
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
        std::vector<std::string> columns;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) {
            columns.push_back(field);
        }
        if (columns.size() < 8) {
            continue;
        }
        JobLogRow row;
        row.sequence = std::atoi(columns[0].c_str());
        row.host = columns[1];
        row.seconds = std::atof(columns[3].c_str());
        row.exitValue = std::atoi(columns[6].c_str());
        row.signal = std::atoi(columns[7].c_str());
        rows.push_back(row);
    }
    return rows;
}

// "N\trest": N and rest; false for a line without a job's tag.
bool SplitTag(const std::string& line, size_t* job, std::string* rest) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) {
        return false;
    }
    char* end = nullptr;
    const long number = std::strtol(line.c_str(), &end, 10);
    if (end != line.c_str() + tab || number < 1) {
        return false;
    }
    *job = static_cast<size_t>(number - 1);
    *rest = line.substr(tab + 1);
    return true;
}

// Removes, on every host of the login file, the working folders parallel (whose process was
// pid) made there for the jobs it sent: ~/.parallel/tmp/HOST-PID-JOB, HOST being this computer's
// name. A job that ends on its own removes its folder; one that was killed does not.
void RemoveWorkingFolders(const std::string& loginFile, const std::string& folder,
                          const std::string& workerFolder, pid_t pid) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') {
        return;
    }
    const std::string prefix = FormatPrintf("%s-%d-", host, static_cast<int>(pid));
    auto process = StartParallel(folder, workerFolder,
                                 {"--sshloginfile", fs::absolute(loginFile).string(), "--nonall",
                                  "rm -rf ~/.parallel/tmp/" + ShellQuote(prefix) + "*"});
    Lines(*process).Drain([](const std::string&) {}, [](const std::string&) {});
    process->Wait();
}

std::mutex choiceMutex;
HostChoice choice;  // guarded by choiceMutex

}  // namespace

void SetSegmentHosts(const HostChoice& chosen) {
    std::lock_guard lock(choiceMutex);
    choice = chosen;
}

HostChoice SegmentHosts() {
    std::lock_guard lock(choiceMutex);
    return choice;
}

std::string WriteLoginFile(const std::string& logins, const std::string& name) {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const fs::path folder = fs::path(cache && *cache ? cache : platform::HomeFolder() + "/.cache") /
                            "TidewellSoft/VideoConverter";
    std::error_code error;
    fs::create_directories(folder, error);
    const std::string file = (folder / name).string();
    std::ofstream out(file, std::ios::trunc);
    out << logins << (logins.empty() || logins.back() == '\n' ? "" : "\n");
    out.close();
    if (!out) {
        throw EAVError(FormatPrintf("The list of computers cannot be written to %s: %s",
                                    file.c_str(), std::strerror(errno)));
    }
    return file;
}

std::vector<std::string> CheckHosts(const std::string& loginFile, const std::string& workerFolder) {
    std::error_code error;
    if (!fs::is_regular_file(loginFile, error)) {
        throw EAVError(FormatPrintf("The list of computers %s cannot be read", loginFile.c_str()));
    }
    static std::atomic<int> checks{0};
    const std::string log =
        (fs::temp_directory_path() / FormatPrintf("tidewell-hosts-%d-%d.log", getpid(), ++checks))
            .string();
    std::map<std::string, std::string> versions;
    std::map<std::string, std::string> complaints;
    std::string trouble;  // parallel's own last words
    auto process = StartParallel(fs::current_path(error).string(), workerFolder,
                                 {"--sshloginfile", fs::absolute(loginFile).string(), "--nonall",
                                  "--tag", "--joblog", log, "tidewell-convert --version"});
    Lines(*process).Drain(
        [&](const std::string& line) {
            const size_t tab = line.find('\t');
            if (tab != std::string::npos && !versions.count(line.substr(0, tab))) {
                versions[line.substr(0, tab)] = line.substr(tab + 1);
            }
        },
        [&](const std::string& line) {
            const size_t tab = line.find('\t');
            if (tab != std::string::npos) {
                // ssh ends its words with a carriage return, after which parallel may go on
                // with the host's next (empty) line.
                const std::string host = line.substr(0, tab);
                std::string text = line.substr(tab + 1);
                text = text.substr(0, std::min(text.find('\r'), text.find(host)));
                if (!Trim(text).empty()) {
                    complaints[host] = std::string(Trim(text));
                }
            } else if (!Trim(line).empty()) {
                trouble = line;
            }
        });
    process->Wait();
    const std::vector<JobLogRow> rows = ReadJobLog(log);
    fs::remove(log, error);
    if (rows.empty()) {
        throw EAVError(FormatPrintf("GNU parallel could not use the list of computers %s: %s",
                                    loginFile.c_str(),
                                    trouble.empty() ? "it ran no job" : trouble.c_str()));
    }
    const std::string version = VersionText("tidewell-convert");
    const std::string ours = version.substr(0, version.find('\n'));
    std::vector<std::string> unreachable;
    for (const JobLogRow& row : rows) {
        const std::string host = HostName(row.host);
        const auto found = versions.find(row.host);
        if (row.exitValue == 255) {
            // ssh's own failure: the host is down or refuses the login.
            const auto why = complaints.find(row.host);
            unreachable.push_back(FormatPrintf(
                "%s cannot be reached (%s); its segments go to the other computers", host.c_str(),
                why == complaints.end() ? "ssh failed" : why->second.c_str()));
        } else if (row.exitValue != 0 || found == versions.end()) {
            const auto why = complaints.find(row.host);
            throw EAVError(FormatPrintf("tidewell-convert cannot be run on %s: %s", host.c_str(),
                                        why == complaints.end()
                                            ? FormatPrintf("exit code %d", row.exitValue).c_str()
                                            : why->second.c_str()));
        } else if (std::string(Trim(found->second)) != ours) {
            throw EAVError(FormatPrintf(
                "%s has another version of tidewell-convert (\"%s\"); this computer has \"%s\". "
                "Install the same version there",
                host.c_str(), std::string(Trim(found->second)).c_str(), ours.c_str()));
        }
    }
    return unreachable;
}

std::vector<HostJobs::Ended> HostJobs::Run(const Settings& settings,
                                           const std::vector<std::string>& names,
                                           const Events& events) {
    std::error_code error;
    const std::string folder = fs::absolute(settings.folder).string();
    const std::string jobLog = folder + "/" + JobLog();
    fs::remove(jobLog, error);
    // A job fails for good once it failed on every host (and on two at least).
    std::ifstream logins(settings.loginFile);
    int hosts = 0;
    for (std::string line; std::getline(logins, line);) {
        const std::string_view login = Trim(line);
        hosts += !login.empty() && login.front() != '#' ? 1 : 0;
    }
    std::vector<std::string> args{"--sshloginfile",
                                  fs::absolute(settings.loginFile).string(),
                                  "--joblog",
                                  jobLog,
                                  "--retries",
                                  std::to_string(std::max(2, hosts)),
                                  "--halt",
                                  "now,fail=1",
                                  "--line-buffer",
                                  "--tagstring",
                                  "{#}"};
    std::string command;
    if (settings.sharedFolder) {
        command =
            "tidewell-convert --worker --request " + ShellQuote(folder) + "/" + RequestFile("{}");
    } else {
        args.insert(args.end(),
                    {"--workdir", "...", "--transferfile", RequestFile("{}"), "--transferfile",
                     SpanFile("{}"), "--return", "{}.partial" + settings.extension, "--cleanup"});
        // This computer's jobs are not transferred: they find their files where they are.
        command = "{ [ -e " + RequestFile("{}") + " ] || cd " + ShellQuote(folder) +
                  "; } && tidewell-convert --worker --request " + RequestFile("{}");
    }
    args.push_back(command);
    args.push_back(":::");
    args.insert(args.end(), names.begin(), names.end());

    auto process = StartParallel(folder, settings.workerFolder, args);
    const pid_t pid = process->Pid();
    pid_.store(pid);
    if (stopped_.load()) {
        kill(process->Pid(), SIGTERM);
    }
    std::vector<std::deque<std::string>> lastLines(names.size());
    Lines(*process).Drain(
        [&](const std::string& line) {
            size_t job = 0;
            std::string rest;
            if (SplitTag(line, &job, &rest) && job < names.size()) {
                events.report(job, rest);
            }
        },
        [&](const std::string& line) {
            size_t job = 0;
            std::string rest;
            if (SplitTag(line, &job, &rest) && job < names.size()) {
                lastLines[job].push_back(rest);
                if (lastLines[job].size() > kLastLines) {
                    lastLines[job].pop_front();
                }
            } else if (!Trim(line).empty()) {
                events.log(line);
            }
        });
    pid_.store(-1);
    process->Wait();
    const std::vector<JobLogRow> rows = ReadJobLog(jobLog);
    const bool allConverted = std::count_if(rows.begin(), rows.end(), [](const JobLogRow& row) {
                                  return row.exitValue == 0 && row.signal == 0;
                              }) == static_cast<std::ptrdiff_t>(names.size());
    if (!settings.sharedFolder && !allConverted) {
        // A job that was killed (Stop, a halt) leaves its working folder behind.
        RemoveWorkingFolders(settings.loginFile, folder, settings.workerFolder, pid);
    }

    std::vector<Ended> ended(names.size());
    for (const JobLogRow& row : rows) {
        if (row.sequence < 1 || static_cast<size_t>(row.sequence) > names.size()) {
            continue;
        }
        Ended& job = ended[static_cast<size_t>(row.sequence - 1)];
        job.exitValue = row.exitValue;
        job.signal = row.signal;
        job.host = HostName(row.host);
        const std::string& name = names[static_cast<size_t>(row.sequence - 1)];
        if (row.exitValue == 0 && row.signal == 0) {
            events.note(FormatPrintf("%s converted on %s in %.1f s", name.c_str(), job.host.c_str(),
                                     row.seconds));
        } else {
            events.note(FormatPrintf("%s failed on %s (%s)", name.c_str(), job.host.c_str(),
                                     row.signal != 0 ? FormatPrintf("signal %d", row.signal).c_str()
                                     : row.exitValue == 255
                                         ? "it could not be reached"
                                         : FormatPrintf("exit code %d", row.exitValue).c_str()));
        }
    }
    for (size_t i = 0; i < names.size(); ++i) {
        ended[i].lastLines.assign(lastLines[i].begin(), lastLines[i].end());
    }
    return ended;
}

void HostJobs::Stop() {
    stopped_.store(true);
    if (const pid_t pid = pid_.load(); pid > 0) {
        kill(pid, SIGTERM);
    }
}

}  // namespace tw::segments
