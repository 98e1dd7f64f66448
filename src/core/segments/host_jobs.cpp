#include "segments/host_jobs.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string_view>
#include <thread>

#include "platform/paths.h"
#include "segments/checked_programs.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/string_list.h"
#include "util/version_text.h"

namespace tw::segments {

namespace fs = std::filesystem;

namespace {

constexpr size_t kLastLines = 5;
constexpr const char* kReturned = "returned";  // in the segment folder
// What ends parallel and every job it started. Not SIGTERM: parallel ignores that until its
// first job is under way, and before that it may ask each computer its number of processors,
// waiting up to ssh's connect timeout on one that does not answer.
constexpr int kEndParallel = SIGINT;

// Throws EAVError when GNU parallel, which hands the jobs to the computers, is not installed.
void RequireParallel() {
    if (jobs::FindOnPath("parallel").empty()) {
        throw EAVError(
            "Converting on other computers needs GNU parallel on this one: install the Debian "
            "package \"parallel\"");
    }
}

// parallel, started in folder with workerFolder ahead of the PATH (so that this computer's
// jobs run the program beside this one). Its input is closed at once unless it reads it.
std::unique_ptr<jobs::WorkerProcess> StartParallel(const std::string& folder,
                                                   const std::string& workerFolder,
                                                   const std::vector<std::string>& args,
                                                   bool input = false) {
    RequireParallel();
    const char* path = std::getenv("PATH");
    std::vector<std::string> all{"-C", folder,
                                 "PATH=" + workerFolder + ":" + (path ? path : "/usr/bin:/bin")};
    if (std::getenv("PARALLEL_RSYNC_OPTS") == nullptr) {
        // parallel's own options less -z: spans are compressed pictures already, and squeezing
        // them again costs both ends processor time for nothing.
        all.push_back("PARALLEL_RSYNC_OPTS=-rlDR");
    }
    all.push_back("parallel");
    all.insert(all.end(), args.begin(), args.end());
    auto process = std::make_unique<jobs::WorkerProcess>("/usr/bin/env", all);
    if (!input) {
        process->CloseInput();
    }
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

// "N\trest": N and rest; false for a line without a job's tag. parallel also tags what follows
// each carriage return in a line ("N\tA\rN\tB"): rest is then the last piece with any text,
// as a terminal would show it (ssh ends its complaints with "\r\n").
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
    const std::string_view tag(line.data(), tab + 1);
    rest->clear();
    for (size_t begin = tab + 1; begin <= line.size();) {
        const size_t stop = std::min(line.find('\r', begin), line.size());
        std::string_view piece(line.data() + begin, stop - begin);
        if (begin > tab + 1 && piece.starts_with(tag)) {
            piece.remove_prefix(tag.size());
        }
        if (!Trim(piece).empty() || begin == tab + 1) {
            *rest = piece;
        }
        begin = stop + 1;
    }
    return true;
}

// A command's end on each login: its wait status, its output and its last line of errors.
struct Answer {
    int status = -1;
    std::string output;
    std::string complaint;
};

// Runs on every login at once its command (commandOf its place in logins), on this computer
// with workerFolder first on the PATH, when here: one answer each.
std::vector<Answer> RunOnEach(const std::vector<HostLogins::Login>& logins,
                              const std::string& workerFolder,
                              const std::function<std::string(size_t)>& commandOf, bool here) {
    const char* path = std::getenv("PATH");
    const std::string localPath = "PATH=" + (workerFolder.empty() ? "" : workerFolder + ":") +
                                  (path ? path : "/usr/bin:/bin");
    std::vector<std::unique_ptr<jobs::WorkerProcess>> processes(logins.size());
    for (size_t i = 0; i < logins.size(); ++i) {
        if (logins[i].Here() && !here) {
            continue;
        }
        const std::string command = commandOf(i);
        processes[i] = std::make_unique<jobs::WorkerProcess>(
            "/usr/bin/env",
            std::vector<std::string>{
                localPath, "/bin/sh", "-c",
                logins[i].Here() ? command : HostLogins::Remote(logins[i], command)});
        processes[i]->CloseInput();
    }
    std::vector<Answer> answers(logins.size());
    for (size_t i = 0; i < logins.size(); ++i) {
        if (!processes[i]) {
            continue;
        }
        Lines(*processes[i])
            .Drain([&](const std::string& line) { answers[i].output += line + "\n"; },
                   [&](const std::string& line) {
                       // ssh ends its words with a carriage return.
                       const std::string text(Trim(line.substr(0, line.find('\r'))));
                       if (!text.empty()) {
                           answers[i].complaint = text;
                       }
                   });
        answers[i].status = processes[i]->Wait();
    }
    return answers;
}

// Removes, on every computer, the working folders parallel (whose process was pid) made there
// for the jobs it sent: ~/.parallel/tmp/HOST-PID-JOB, HOST being this computer's name (its
// jobs here get one as well).
// A job that ends on its own removes its folder; one that was killed does not.
// The logins but those left out for want of an answer: they got no job, and asking them again
// would wait for ssh's connect timeout.
std::vector<HostLogins::Login> Reachable(const HostLogins& logins) {
    std::vector<HostLogins::Login> reachable;
    for (size_t i = 0; i < logins.Logins().size(); ++i) {
        if (!logins.Dropped().contains(i)) {
            reachable.push_back(logins.Logins()[i]);
        }
    }
    return reachable;
}

void RemoveWorkingFolders(const HostLogins& logins, pid_t pid) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') {
        return;
    }
    const std::string command = "rm -rf ~/.parallel/tmp/" +
                                ShellQuote(FormatPrintf("%s-%d-", host, static_cast<int>(pid))) +
                                "*";
    RunOnEach(
        Reachable(logins), {}, [&](size_t) { return command; }, true);
}

// The login as people say it.
std::string LoginName(const HostLogins::Login& login) {
    return HostLogins::Name(login.written);
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

HostCheck CheckHosts(const HostLogins& logins, const std::string& workerFolder,
                     EarlierChecks earlier) {
    RequireParallel();
    const std::string version = VersionText("tidewell-convert");
    const std::string ours = version.substr(0, version.find('\n'));
    CheckedPrograms checked(ours);
    // This computer's jobs run the program in workerFolder. When that is this very program, its
    // version is this one's: asking would only cost a start of it (and of all its libraries).
    std::error_code error;
    const bool askHere =
        !fs::equivalent(fs::path(workerFolder) / "tidewell-convert", "/proc/self/exe", error);
    std::vector<std::string> known;
    for (const HostLogins::Login& login : logins.Logins()) {
        known.push_back(earlier == EarlierChecks::Trust ? checked.Identity(login.written) : "");
    }
    const std::vector<Answer> answers = RunOnEach(
        logins.Logins(), workerFolder,
        [&](size_t i) { return CheckedPrograms::CheckCommand(known[i]); }, askHere);
    HostCheck check;
    std::string downWhy;  // "host: why; host: why"
    for (size_t i = 0; i < answers.size(); ++i) {
        const HostLogins::Login& login = logins.Logins()[i];
        if (login.Here() && !askHere) {
            continue;
        }
        const std::string host = LoginName(login);
        const Answer& answer = answers[i];
        const CheckedPrograms::Answer told = CheckedPrograms::Read(answer.output, known[i]);
        const int exitValue = WIFEXITED(answer.status) ? WEXITSTATUS(answer.status) : -1;
        if (exitValue == 255 && !login.Here()) {
            // ssh's own failure: the computer is down or refuses the login.
            const std::string why = answer.complaint.empty() ? "ssh failed" : answer.complaint;
            check.down.insert(i);
            check.unreachable.push_back(
                FormatPrintf("%s cannot be reached (%s); its segments go to the other computers",
                             host.c_str(), why.c_str()));
            downWhy += (downWhy.empty() ? "" : "; ") + host + ": " + why;
        } else if (exitValue == 0 && told.known) {
            check.unchanged.push_back(host);
        } else if (exitValue != 0 || told.version.empty()) {
            throw EAVError(FormatPrintf("tidewell-convert cannot be run on %s: %s", host.c_str(),
                                        !answer.complaint.empty()
                                            ? answer.complaint.c_str()
                                            : jobs::DescribeExit(answer.status).c_str()));
        } else if (told.version != ours) {
            throw EAVError(FormatPrintf(
                "%s has another version of tidewell-convert (\"%s\"); this computer has \"%s\". "
                "Install the same version there",
                host.c_str(), told.version.c_str(), ours.c_str()));
        } else {
            checked.Remember(login.written, told.identity);
        }
    }
    checked.Save();
    if (check.down.size() == logins.Logins().size()) {
        // Retrying on them would only wait for ssh's connect timeout again, and again.
        throw EAVError("None of the computers can be reached: " + downWhy);
    }
    return check;
}

HostCheck CheckHosts(const std::string& loginFile, const std::string& workerFolder,
                     EarlierChecks earlier) {
    return CheckHosts(HostLogins(loginFile, false), workerFolder, earlier);
}

void HostJobs::Start(const Settings& settings) {
    settings_ = settings;
    settings_.folder = fs::absolute(settings.folder).string();
    std::random_device random;
    tag_ = FormatPrintf("%08x%08x%08x", random(), random(), static_cast<unsigned>(getpid()));
    Launch();
}

void HostJobs::Restart() {
    Launch();
}

void HostJobs::Launch() {
    const std::string& folder = settings_.folder;
    std::error_code error;
    fs::remove(folder + "/" + JobLog(), error);
    // A job fails for good once it failed on every host (and on two at least).
    const size_t hosts = settings_.logins->Logins().size();
    std::vector<std::string> args{"--sshloginfile",
                                  settings_.logins->File(),
                                  "--joblog",
                                  folder + "/" + JobLog(),
                                  "--retries",
                                  std::to_string(std::max<size_t>(2, hosts)),
                                  "--halt",
                                  "now,fail=1",
                                  "--line-buffer",
                                  "--tagstring",
                                  "{#}",
                                  "--colsep",
                                  "\t"};
    // The request goes with the command line: a file of its own would cost a transfer and
    // a clean-up, each a session with the host.
    const std::string worker =
        "printf '%s\\n' {2} | tidewell-convert --worker --request /dev/stdin --tag " + tag_;
    std::string command = worker;
    if (!settings_.sharedFolder) {
        // The parts come back into a folder of their own, moved beside the others once
        // parallel ends. Were they returned where this computer's jobs write theirs, parallel
        // would count those growing files as returned output on each round and, taking that
        // for progress, never back off from polling: a processor's worth of work taken from
        // the conversions.
        //
        // Each job's working folder there ("--workdir ...": one of its own), the span and the
        // part in it, is removed by parallel once the part is back: one session, where
        // --cleanup would add one for each of the two files before it.
        args.insert(args.end(), {"--workdir", "...", "--transferfile", SpanFile("{1}"), "--return",
                                 std::string(kReturned) + "/./{1}.partial" + settings_.extension});
        // This computer's jobs are not transferred: they find their files where they are.
        command =
            "{ [ -e " + SpanFile("{1}") + " ] || cd " + ShellQuote(folder) + "; } && " + worker;
    }
    args.push_back(command);
    // The jobs come on its input, "NAME<tab>REQUEST" a line.
    process_ = StartParallel(folder, settings_.workerFolder, args, true);
    pid_.store(process_->Pid());
    if (stopped_.load()) {
        kill(process_->Pid(), kEndParallel);
    }
}

std::vector<HostJobs::Ended> HostJobs::Run(const std::vector<Job>& jobs, const Events& events) {
    const std::string& folder = settings_.folder;
    const std::string jobLog = folder + "/" + JobLog();
    std::exception_ptr unmade;  // why a request could not be made
    bool handed = false;        // a job went to parallel
    std::jthread feeder([&] {
        pthread_setname_np(pthread_self(), "Segment feeder");
        const int input = process_->InputFd();
        for (const Job& job : jobs) {
            std::string line;
            try {
                line = job.name + "\t" + job.request() + "\n";
            } catch (const EAVError&) {
                unmade = std::current_exception();
                Stop();
                break;
            }
            size_t sent = 0;
            while (sent < line.size() && !stopped_.load()) {
                const ssize_t count =
                    send(input, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
                if (count > 0) {
                    sent += static_cast<size_t>(count);
                } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
                    pollfd fd{input, POLLOUT, 0};
                    poll(&fd, 1, 100);  // a while at most: Stop may come meanwhile
                } else {
                    break;  // parallel is gone: its end says why
                }
            }
            if (sent < line.size()) {
                break;
            }
            handed = true;
        }
        // parallel runs what it has and ends.
        process_->CloseInput();
    });
    const pid_t pid = process_->Pid();
    std::vector<std::deque<std::string>> lastLines(jobs.size());
    Lines(*process_).Drain(
        [&](const std::string& line) {
            size_t job = 0;
            std::string rest;
            if (SplitTag(line, &job, &rest) && job < jobs.size()) {
                events.report(job, rest);
            }
        },
        [&](const std::string& line) {
            size_t job = 0;
            std::string rest;
            if (SplitTag(line, &job, &rest) && job < jobs.size()) {
                lastLines[job].push_back(rest);
                if (lastLines[job].size() > kLastLines) {
                    lastLines[job].pop_front();
                }
            } else if (!Trim(line).empty()) {
                events.log(line);
            }
        });
    feeder.join();
    pid_.store(-1);
    process_->Wait();
    process_.reset();
    if (!settings_.sharedFolder) {
        const fs::path returned = fs::path(folder) / kReturned;
        std::error_code error;
        for (const Job& job : jobs) {
            const std::string part = job.name + ".partial" + settings_.extension;
            if (fs::exists(returned / part, error)) {
                fs::rename(returned / part, fs::path(folder) / part, error);
            }
        }
        fs::remove_all(returned, error);
    }
    const std::vector<JobLogRow> rows = ReadJobLog(jobLog);
    const bool allConverted = std::count_if(rows.begin(), rows.end(), [](const JobLogRow& row) {
                                  return row.exitValue == 0 && row.signal == 0;
                              }) == static_cast<std::ptrdiff_t>(jobs.size());
    if (!settings_.sharedFolder && !allConverted && handed) {
        // A job that was killed (Stop, a halt) leaves its working folder behind.
        RemoveWorkingFolders(*settings_.logins, pid);
    }

    if (unmade) {
        std::rethrow_exception(unmade);
    }
    std::vector<Ended> ended(jobs.size());
    for (const JobLogRow& row : rows) {
        if (row.sequence < 1 || static_cast<size_t>(row.sequence) > jobs.size()) {
            continue;
        }
        Ended& job = ended[static_cast<size_t>(row.sequence - 1)];
        job.exitValue = row.exitValue;
        job.signal = row.signal;
        job.host = HostLogins::Name(row.host);
        const std::string& name = jobs[static_cast<size_t>(row.sequence - 1)].name;
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
    for (size_t i = 0; i < jobs.size(); ++i) {
        ended[i].lastLines.assign(lastLines[i].begin(), lastLines[i].end());
    }
    return ended;
}

std::vector<std::string> HostJobs::Hold(bool held) const {
    // Only the workers themselves: a command line that starts with the program (not the shell
    // that runs the job, nor the one that runs pkill, whose line holds this pattern: "[g]"
    // does not match itself).
    const std::string pattern =
        "^[^ ]*tidewell-convert --worker --request /dev/stdin --ta[g] " + tag_ + "$";
    const std::vector<HostLogins::Login>& logins = settings_.logins->Logins();
    const std::string command =
        FormatPrintf("pkill -%s -f ", held ? "STOP" : "CONT") + ShellQuote(pattern);
    const std::vector<Answer> answers = RunOnEach(
        logins, settings_.workerFolder, [&](size_t) { return command; }, true);
    std::vector<std::string> missed;
    for (size_t i = 0; i < answers.size(); ++i) {
        const Answer& answer = answers[i];
        // pkill: 0 when it signalled some, 1 when none was running there.
        const int exitValue = WIFEXITED(answer.status) ? WEXITSTATUS(answer.status) : -1;
        if (exitValue == 0 || exitValue == 1) {
            continue;
        }
        const HostLogins::Login& login = logins[i];
        const std::string host = LoginName(login);
        const std::string why =
            !answer.complaint.empty() ? answer.complaint : jobs::DescribeExit(answer.status);
        missed.push_back(FormatPrintf(exitValue == 255 && !login.Here()
                                          ? "%s cannot be reached to %s its segments (%s)"
                                          : "The segments on %s cannot be told to %s (%s)",
                                      host.c_str(), held ? "pause" : "continue", why.c_str()));
    }
    return missed;
}

void HostJobs::Stop() {
    stopped_.store(true);
    if (const pid_t pid = pid_.load(); pid > 0) {
        kill(pid, kEndParallel);
    }
}

}  // namespace tw::segments
