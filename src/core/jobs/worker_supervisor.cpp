#include "jobs/worker_supervisor.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>

#include "jobs/spare_worker.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/string_list.h"

namespace tw::jobs {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReportLimit = 1 << 20;  // a longer line is no report
constexpr size_t kErrorLineLimit = 4096;  // longer lines of its standard error are cut
constexpr size_t kKeptLines = 5;
// A worker whose output has closed has this long to end before it is killed; one that has ended
// has this long to let go of its pipes (nothing it started may keep them).
constexpr auto kEndGrace = std::chrono::seconds(5);
// A silent worker found waiting for a processor is looked at again this much later.
constexpr auto kLookAgain = std::chrono::milliseconds(200);

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

// What the system says of the main thread of process pid: how long (ns) it has run and how long
// it has waited for a processor while it could run (zeros when it does not say), and whether it
// is runnable now. The waiting figure grows only once a wait ends: a thread waiting still
// is runnable and has not run since.
struct ProcessorTime {
    int64_t ranNs = 0;
    int64_t waitedNs = 0;
    bool runnable = false;
};
ProcessorTime ReadProcessorTime(pid_t pid) {
    ProcessorTime time;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/schedstat", static_cast<int>(pid));
    if (std::FILE* file = std::fopen(path, "re")) {
        unsigned long long ran = 0;
        unsigned long long waited = 0;
        if (std::fscanf(file, "%llu %llu", &ran, &waited) == 2) {
            time.ranNs = static_cast<int64_t>(ran);
            time.waitedNs = static_cast<int64_t>(waited);
        }
        std::fclose(file);
    }
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    if (std::FILE* file = std::fopen(path, "re")) {
        // "pid (name) state ...": the name may hold anything but ends at the last ')'.
        char line[512] = {};
        const size_t length = std::fread(line, 1, sizeof line - 1, file);
        std::fclose(file);
        const char* end = std::strrchr(line, ')');
        time.runnable = length > 0 && end && end[1] == ' ' && end[2] == 'R';
    }
    return time;
}

std::string Excerpt(std::string_view line) {
    constexpr size_t kShown = 200;
    return line.size() <= kShown ? std::string(line) : std::string(line.substr(0, kShown)) + "...";
}

// One worker from its start to its reaping.
class Session {
public:
    Session(WorkerProcess& child, SupervisorEvents& events, WorkerOutcome& outcome,
            std::chrono::milliseconds silenceLimit, int wakeFd)
        : child_(child),
          events_(events),
          outcome_(outcome),
          silenceLimit_(silenceLimit),
          wakeFd_(wakeFd) {}

    void Send(const std::string& line) {
        pending_ += line;
        pending_ += '\n';
        Flush();
    }

    void Run() {
        Heard();
        while (child_.OutputFd() >= 0 || child_.ErrorFd() >= 0 || !exited_) {
            ForwardControl();
            Wait();
        }
        Judge(child_.Wait());
        outcome_.lastLines.assign(lastLines_.begin(), lastLines_.end());
    }

private:
    enum Slot { kWake, kOutput, kError, kInput, kExit, kSlots };

    void Wait() {
        pollfd fds[kSlots] = {};
        fds[kWake] = {wakeFd_, POLLIN, 0};
        fds[kOutput] = {child_.OutputFd(), POLLIN, 0};
        fds[kError] = {child_.ErrorFd(), POLLIN, 0};
        fds[kInput] = {pending_.empty() ? -1 : child_.InputFd(), POLLOUT, 0};
        fds[kExit] = {exited_ ? -1 : child_.ExitFd(), POLLIN, 0};
        const bool paused = events_.Wanted() == Control::Pause;
        int timeout = -1;
        if (exited_) {
            timeout = RemainingMs(exitedAt_ + kEndGrace);
        } else if (child_.OutputFd() < 0) {
            timeout = RemainingMs(outputClosedAt_ + kEndGrace);
        } else if (!paused && death_.empty()) {
            timeout = RemainingMs(SilenceDeadline());
        }
        const int ready = poll(fds, kSlots, timeout);
        if (ready < 0) {
            if (errno != EINTR) {
                GiveUp(FormatPrintf("its supervision failed (%s)", std::strerror(errno)));
                exited_ = true;  // the reaping below waits for it
            }
            return;
        }
        if (fds[kWake].revents) {
            uint64_t count = 0;
            (void)!read(wakeFd_, &count, sizeof count);
        }
        if (fds[kOutput].revents) {
            ReadOutput();
        }
        if (fds[kError].revents) {
            ReadErrors();
        }
        if (fds[kInput].revents) {
            Flush();
        }
        if (fds[kExit].revents) {
            exited_ = true;
            exitedAt_ = Clock::now();
        }
        if (ready == 0) {
            OnTimeout(paused);
        }
    }

    void OnTimeout(bool paused) {
        const auto now = Clock::now();
        if (exited_) {
            // Whatever still holds the pipes is not the worker.
            child_.CloseOutput();
            child_.CloseError();
        } else if (child_.OutputFd() < 0) {
            if (now >= outputClosedAt_ + kEndGrace) {
                child_.Kill();
            }
        } else if (!paused && death_.empty() && now >= SilenceDeadline()) {
            // A worker on a machine too busy to let it run is slow, not hung: the time its
            // main thread waited for a processor does not count as silence.
            const ProcessorTime time = ReadProcessorTime(child_.Pid());
            if (time.waitedNs > processor_.waitedNs) {
                starvedFor_ += std::chrono::nanoseconds(time.waitedNs - processor_.waitedNs);
                processor_ = time;
                return;
            }
            if (time.runnable && time.ranNs > 0 && time.ranNs == processor_.ranNs) {
                // Waiting for a processor since the last look, and still: look again soon.
                starvedFor_ += kLookAgain;
                processor_ = time;
                return;
            }
            GiveUp(FormatPrintf("no sign of life for %g s",
                                static_cast<double>(silenceLimit_.count()) / 1000.0));
        }
    }

    void ForwardControl() {
        if (stopSent_ || child_.InputFd() < 0) {
            return;
        }
        const Control wanted = events_.Wanted();
        if (wanted == Control::Stop) {
            stopSent_ = true;
            Send(ControlLine(Control::Stop));
        } else if (wanted != sent_) {
            sent_ = wanted;
            Send(ControlLine(wanted));
        }
    }

    void Flush() {
        while (!pending_.empty() && child_.InputFd() >= 0) {
            const ssize_t sent = send(child_.InputFd(), pending_.data(), pending_.size(),
                                      MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                pending_.erase(0, static_cast<size_t>(sent));
            } else if (sent < 0 && errno == EINTR) {
                continue;
            } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            } else {
                // The worker closed its input (or ended): what it did is in its reports.
                pending_.clear();
                child_.CloseInput();
            }
        }
    }

    void ReadOutput() {
        char buffer[65536];
        while (child_.OutputFd() >= 0) {
            const ssize_t count = read(child_.OutputFd(), buffer, sizeof buffer);
            if (count > 0) {
                Heard();
                output_.append(buffer, static_cast<size_t>(count));
                TakeLines();
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            } else {
                if (!output_.empty()) {
                    HandleLine(output_);  // a last line without its line break
                    output_.clear();
                }
                child_.CloseOutput();
                outputClosedAt_ = Clock::now();
            }
        }
    }

    void TakeLines() {
        size_t begin = 0;
        for (size_t end; (end = output_.find('\n', begin)) != std::string::npos; begin = end + 1) {
            HandleLine(std::string_view(output_).substr(begin, end - begin));
        }
        output_.erase(0, begin);
        if (output_.size() > kReportLimit) {
            HandleLine(output_);
            output_.clear();
        }
    }

    void ReadErrors() {
        char buffer[16384];
        while (child_.ErrorFd() >= 0) {
            const ssize_t count = read(child_.ErrorFd(), buffer, sizeof buffer);
            if (count > 0) {
                errors_.append(buffer, static_cast<size_t>(count));
                size_t begin = 0;
                for (size_t end; (end = errors_.find('\n', begin)) != std::string::npos;
                     begin = end + 1) {
                    ErrorLine(errors_.substr(begin, end - begin));
                }
                errors_.erase(0, begin);
                if (errors_.size() > kErrorLineLimit) {
                    ErrorLine(errors_);
                    errors_.clear();
                }
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            } else {
                if (!errors_.empty()) {
                    ErrorLine(errors_);
                    errors_.clear();
                }
                child_.CloseError();
            }
        }
    }

    // What a worker writes on its standard error is not meant for the task's log (a crash's
    // report, a sanitizer's findings): it goes to ours, and the last lines into the outcome.
    void ErrorLine(std::string line) {
        if (line.size() > kErrorLineLimit) {
            line.resize(kErrorLineLimit);
        }
        std::fprintf(stderr, "tidewell-convert worker %d: %s\n", static_cast<int>(child_.Pid()),
                     line.c_str());
        Keep(std::move(line));
    }

    void Keep(std::string line) {
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty()) {
            return;
        }
        lastLines_.emplace_back(trimmed);
        if (lastLines_.size() > kKeptLines) {
            lastLines_.pop_front();
        }
    }

    void HandleLine(std::string_view line) {
        if (!death_.empty()) {
            return;  // given up on: nothing more it says is believed
        }
        Report report;
        try {
            report = ParseReport(line);
        } catch (const EBadReport& e) {
            events_.Log(16, FormatPrintf("The conversion process sent a line that is no report "
                                         "(%s): %s",
                                         e.what(), Excerpt(line).c_str()));
            GiveUp("it sent a line that is no report");
            return;
        }
        switch (report.kind) {
            case Report::Kind::Started:
                outcome_.began = true;
                events_.Started(report.figures);
                break;
            case Report::Kind::Progress:
                events_.Progress(report.figures);
                break;
            case Report::Kind::Log:
                Keep(report.text);
                events_.Log(report.level, report.text);
                break;
            case Report::Kind::Message:
                events_.Message(report.messageKind, report.text);
                break;
            case Report::Kind::Paused:
                events_.PauseHeld(report.held, report.figures);
                break;
            case Report::Kind::Stopped:
                events_.Stopped(report.figures);
                break;
            case Report::Kind::Error:
                if (report.texts) {
                    outcome_.failed = true;
                    events_.Failed(*report.texts);
                } else {
                    refusal_ = report.text;
                }
                break;
            case Report::Kind::Done:
                done_ = true;
                doneFailed_ = report.failed;
                outcome_.completed = report.completed;
                // Only a run that entered its loop completes.
                outcome_.began = outcome_.began || report.completed;
                events_.Done(report.figures, report.texts.value_or(RunTexts{}));
                break;
            case Report::Kind::Alive:
            case Report::Kind::Unknown:
                break;
        }
    }

    void Heard() {
        lastHeard_ = Clock::now();
        starvedFor_ = {};
        processor_ = ReadProcessorTime(child_.Pid());
    }

    Clock::time_point SilenceDeadline() const {
        return lastHeard_ + silenceLimit_ +
               std::chrono::duration_cast<Clock::duration>(starvedFor_);
    }

    void GiveUp(std::string words) {
        death_ = std::move(words);
        child_.Kill();
    }

    // How the worker ended, from what it reported and its exit status: 0 after a run it reported
    // as not failed, 1 after one it reported as failed, 2 after refusing the request.
    void Judge(int status) {
        const auto exitedWith = [status](int code) {
            return WIFEXITED(status) && WEXITSTATUS(status) == code;
        };
        if (!death_.empty()) {
            outcome_.death = death_;
        } else if (done_) {
            if (!exitedWith(doneFailed_ ? 1 : 0)) {
                outcome_.death = DescribeExit(status);
            }
        } else if (refusal_ && exitedWith(2)) {
            outcome_.refusal = *refusal_;
        } else {
            outcome_.death = DescribeExit(status);
        }
    }

    WorkerProcess& child_;
    SupervisorEvents& events_;
    WorkerOutcome& outcome_;
    const std::chrono::milliseconds silenceLimit_;
    const int wakeFd_;

    std::string pending_;  // to be written to its input
    std::string output_;   // read, not yet a whole line
    std::string errors_;
    std::deque<std::string> lastLines_;
    Control sent_ = Control::Run;
    bool stopSent_ = false;
    Clock::time_point lastHeard_;
    // Since it was last heard: how long its main thread waited for a processor, and its
    // processor figures as last read.
    std::chrono::nanoseconds starvedFor_{0};
    ProcessorTime processor_;
    Clock::time_point outputClosedAt_;
    Clock::time_point exitedAt_;
    bool exited_ = false;
    bool done_ = false;
    bool doneFailed_ = false;
    std::optional<std::string> refusal_;
    std::string death_;  // set when this side gave up on it
};

}  // namespace

WorkerSupervisor::WorkerSupervisor(std::chrono::milliseconds silenceLimit)
    : silenceLimit_(silenceLimit), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!wake_.Valid()) {
        throw EAVError(FormatPrintf("eventfd: %s", std::strerror(errno)));
    }
}

void WorkerSupervisor::ControlChanged() {
    const uint64_t one = 1;
    (void)!write(wake_.Get(), &one, sizeof one);
}

WorkerOutcome WorkerSupervisor::Run(const std::string& request, SupervisorEvents& events) {
    WorkerOutcome outcome;
    const std::string program = FindWorkerProgram();
    if (program.empty()) {
        outcome.refusal =
            "The conversion program tidewell-convert was found neither beside this program nor "
            "on PATH";
        return outcome;
    }
    std::unique_ptr<WorkerProcess> child = SpareWorker::Instance().Take(program);
    if (!child) {
        try {
            child = std::make_unique<WorkerProcess>(program, std::vector<std::string>{"--worker"});
        } catch (const EAVError& e) {
            outcome.refusal = e.what();
            return outcome;
        }
    }
    Session session(*child, events, outcome, silenceLimit_, wake_.Get());
    session.Send(request);
    session.Run();
    return outcome;
}

}  // namespace tw::jobs
