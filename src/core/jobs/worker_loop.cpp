#include "jobs/worker_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <mutex>
#include <string>
#include <thread>

extern "C" {
#include <libavutil/error.h>
}

#include "engine/conversion_run.h"
#include "engine/converter.h"
#include "jobs/conversion_request.h"
#include "jobs/worker_process.h"
#include "jobs/worker_report.h"
#include "media/library_error.h"
#include "platform/message_service.h"
#include "platform/process_priority.h"
#include "platform/ui_dispatcher.h"
#include "util/format.h"

namespace tw::jobs {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kRequestLimit = size_t{64} << 20;
constexpr size_t kControlLimit = 4096;
// The parent takes a long silence for a hang; this keeps a quiet run (a slow opening, a pause)
// from looking like one.
constexpr auto kAliveInterval = std::chrono::seconds(1);

// Report lines, whole, from any thread.
class ReportWriter {
public:
    explicit ReportWriter(int fd) : fd_(fd) {}

    void Write(const Report& report) {
        const std::string line = ReportLine(report) + "\n";
        std::lock_guard lock(mutex_);
        size_t written = 0;
        while (written < line.size()) {
            const ssize_t count = write(fd_, line.data() + written, line.size() - written);
            if (count > 0) {
                written += static_cast<size_t>(count);
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else {
                return;  // the parent is gone; the end of the input stops the run
            }
        }
        last_ = Clock::now();
    }

    void Log(int level, const std::string& text) {
        Report report;
        report.kind = Report::Kind::Log;
        report.level = level;
        report.text = text;
        Write(report);
    }

    Clock::time_point LastWrite() {
        std::lock_guard lock(mutex_);
        return last_;
    }

private:
    const int fd_;
    std::mutex mutex_;  // guards writing and last_
    Clock::time_point last_ = Clock::now();
};

// Lines from a descriptor; what a read brings beyond a line waits for the next one.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}

    // Waits for the next line (without its break). False at the end of the input, or once wake
    // (an eventfd, or -1) is readable. A line longer than limit is cut there, the rest dropped.
    bool Next(std::string* line, size_t limit, int wake = -1) {
        for (;;) {
            if (const size_t end = buffer_.find('\n'); end != std::string::npos) {
                *line = buffer_.substr(0, std::min(end, limit));
                buffer_.erase(0, end + 1);
                return true;
            }
            if (buffer_.size() > limit) {
                *line = buffer_.substr(0, limit);
                buffer_.clear();
                dropping_ = true;
                return true;
            }
            pollfd fds[2] = {{fd_, POLLIN, 0}, {wake, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if (fds[1].revents) {
                return false;
            }
            char chunk[65536];
            const ssize_t count = read(fd_, chunk, sizeof chunk);
            if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (count <= 0) {
                if (buffer_.empty()) {
                    return false;
                }
                *line = buffer_.substr(0, limit);  // a last line without its break
                buffer_.clear();
                return true;
            }
            std::string_view data(chunk, static_cast<size_t>(count));
            if (dropping_) {
                const size_t end = data.find('\n');
                if (end == std::string_view::npos) {
                    continue;
                }
                data.remove_prefix(end + 1);
                dropping_ = false;
            }
            buffer_.append(data);
        }
    }

private:
    const int fd_;
    std::string buffer_;
    bool dropping_ = false;  // the rest of a line that was too long
};

// Boxes go to the parent, which shows them; nobody here could answer a question.
class ReportingMessages : public platform::MessageService {
public:
    explicit ReportingMessages(ReportWriter& out) : out_(out) {}

    void ShowError(const std::string& text) override { Show(Report::MessageKind::Error, text); }
    bool AskQuestion(const std::string& text) override {
        out_.Log(24, text + " (answered no)");
        return false;
    }
    void ShowInformation(const std::string& text) override {
        Show(Report::MessageKind::Information, text);
    }

private:
    void Show(Report::MessageKind kind, const std::string& text) {
        Report report;
        report.kind = Report::Kind::Message;
        report.messageKind = kind;
        report.text = text;
        out_.Write(report);
    }

    ReportWriter& out_;
};

RunFigures FiguresOf(const TAVConverter& converter) {
    RunFigures figures;
    figures.duration = converter.Duration();
    figures.convertedDuration = converter.ConvertedDuration();
    figures.bitrate = converter.Bitrate();
    figures.startTime = converter.StartTime();
    figures.lastTime = converter.LastTime();
    figures.outputSize = converter.OutputSize();
    figures.inputSize = converter.InputSize();
    figures.progress = converter.GetProgress();
    figures.elapsed = converter.GetElapsedTime();
    return figures;
}

RunTexts TextsOf(const TAVConverter& converter) {
    return {converter.ErrorMessage(), converter.LastLogMessage(), converter.FailureText(),
            converter.CompletionNote()};
}

// Before any thread starts: the threads made later (the run's, the codecs') inherit it, and
// the run's own finds it set already.
void ApplyPriority(int level, ReportWriter& out) {
    platform::SetConversionPriority(level);
    std::string reason;
    if (!platform::ApplyConversionPriorityToThisThread(&reason)) {
        out.Log(24, FormatPrintf("The conversion priority (level %d) could not be set: %s", level,
                                 reason.c_str()));
    }
}

// A name of a local file that is not there. Names of the libraries' protocols ("pipe:0",
// "http://...") are theirs to judge.
bool IsMissingFile(const std::string& name) {
    const size_t colon = name.find(':');
    if (colon != std::string::npos && colon < name.find('/')) {
        return false;
    }
    struct stat status {};
    return stat(name.c_str(), &status) != 0 && errno == ENOENT;
}

}  // namespace

int RunWorker(int inputFd, int outputFd, bool controlled) {
    // Ctrl+C in a terminal reaches the whole process group; what it means is the parent's call.
    std::signal(SIGINT, SIG_IGN);
    ReportWriter out(outputFd);
    LineReader input(inputFd);
    const auto refuse = [&out](const std::string& why) {
        Report report;
        report.kind = Report::Kind::Error;
        report.text = why;
        out.Write(report);
        return 2;
    };

    platform::LoopDispatcher dispatcher;
    platform::ScopedDispatcher installDispatcher(dispatcher);
    ReportingMessages messages(out);
    platform::ScopedMessageService installMessages(messages);

    std::string line;
    if (!input.Next(&line, kRequestLimit)) {
        return refuse("No conversion request came");
    }
    if (line.size() >= kRequestLimit) {
        return refuse("The conversion request is too long");
    }
    ConversionRequest request;
    TAVConverter converter(&dispatcher);
    try {
        ParseRequest(line, &request, converter.ConvertOptions());
    } catch (const ERequestError& e) {
        return refuse(e.what());
    }
    for (const std::string& input : request.inputs) {
        if (IsMissingFile(input)) {
            // In the words a run that tried to open it would have used.
            const int code = AVERROR(ENOENT);
            return refuse(
                engine::SourceOpenFailure(code, media::LibraryErrorText(code), input).Text());
        }
    }
    ApplyPriority(request.priority, out);
    converter.SetInputFiles(request.inputs);
    converter.SetOutputFiles(request.outputs);

    bool started = false;
    bool completed = false;
    bool failed = false;
    converter.SetOnLog([&out, &request](TAVConverter&, int level, const std::string& text) {
        if (level <= request.logLevel) {
            out.Log(level, text);
        }
    });
    // A worker given its request in a file reports through a scheduler (parallel polls its jobs'
    // output, the more often the more they write; a batch system keeps it in a log): there, a
    // figure a second is enough.
    const Clock::duration progressEvery =
        controlled ? Clock::duration::zero() : Clock::duration(std::chrono::seconds(1));
    Clock::time_point progressAt;
    converter.SetOnProgress([&](TAVConverter& c) {
        const Clock::time_point now = Clock::now();
        if (started && now - progressAt < progressEvery) {
            return;
        }
        progressAt = now;
        Report report;
        report.kind = started ? Report::Kind::Progress : Report::Kind::Started;
        report.figures = FiguresOf(c);
        started = true;
        out.Write(report);
    });
    converter.SetOnStopped([&out](TAVConverter& c) {
        Report report;
        report.kind = Report::Kind::Stopped;
        report.figures = FiguresOf(c);
        out.Write(report);
    });
    converter.SetOnError([&](TAVConverter& c) {
        failed = true;
        Report report;
        report.kind = Report::Kind::Error;
        report.text = c.ErrorMessage();
        report.texts = TextsOf(c);
        out.Write(report);
    });
    converter.SetOnComplete([&completed](TAVConverter&) { completed = true; });

    UniqueFd wake(eventfd(0, EFD_CLOEXEC));
    std::atomic<bool> quitting{false};
    std::jthread controls([&] {
        if (!controlled) {
            return;
        }
        std::string control;
        while (input.Next(&control, kControlLimit, wake.Get())) {
            const std::optional<Control> wanted = ParseControl(control);
            if (!wanted) {
                out.Log(24, "A control line that is none was ignored: " + control);
                continue;
            }
            dispatcher.Post([&converter, wanted] {
                if (*wanted == Control::Pause) {
                    converter.Pause();
                } else if (*wanted == Control::Run) {
                    converter.Resume();
                } else {
                    converter.Stop();
                }
            });
        }
        if (!quitting.load()) {
            // The parent is gone: what was converted is still finished into a whole file.
            dispatcher.Post([&converter] { converter.Stop(); });
        }
    });

    converter.Start();
    bool held = false;  // as last reported
    while (converter.IsWorking()) {
        dispatcher.RunUntil([&] { return !converter.IsWorking() || converter.PauseHeld() != held; },
                            kAliveInterval);
        if (converter.PauseHeld() != held) {
            held = !held;
            Report pause;
            pause.kind = Report::Kind::Paused;
            pause.held = held;
            pause.figures = FiguresOf(converter);
            out.Write(pause);
        }
        if (Clock::now() - out.LastWrite() >= kAliveInterval) {
            Report alive;
            alive.kind = Report::Kind::Alive;
            out.Write(alive);
        }
    }
    converter.WaitForEnd(std::chrono::hours(24 * 365));
    dispatcher.ProcessPending();
    quitting.store(true);
    const uint64_t one = 1;
    (void)!write(wake.Get(), &one, sizeof one);
    controls.join();

    Report done;
    done.kind = Report::Kind::Done;
    done.figures = FiguresOf(converter);
    done.texts = TextsOf(converter);
    done.completed = completed;
    done.failed = failed;
    out.Write(done);
    return failed ? 1 : 0;
}

}  // namespace tw::jobs
