// tidewell-convert: the command-line front end of the converter.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli_arguments.h"
#include "dvd_source.h"
#include "engine/converter.h"
#include "jobs/spare_worker.h"
#include "jobs/worker_loop.h"
#include "platform/message_service.h"
#include "platform/paths.h"
#include "platform/process_priority.h"
#include "platform/ui_dispatcher.h"
#include "profile_lookup.h"
#include "profiles/target_name.h"
#include "segments/host_jobs.h"
#include "trial.h"
#include "util/av_error.h"
#include "util/property_path.h"
#include "util/version_text.h"

namespace {

std::atomic<int> interruptSignal{0};

void OnSignal(int signal) {
    interruptSignal.store(signal);
}

// Messages of the engine go to stderr with the program's name, over the progress line.
class CliMessages : public tw::platform::MessageService {
public:
    void ShowError(const std::string& text) override { Print(text); }
    bool AskQuestion(const std::string& text) override {
        Print(text + " (answered no)");
        return false;
    }
    void ShowInformation(const std::string& text) override { Print(text); }
    bool progressShown = false;

private:
    void Print(const std::string& text) {
        std::fprintf(stderr, "%stidewell-convert: %s\n", progressShown ? "\r\033[K" : "",
                     text.c_str());
        progressShown = false;
    }
};

std::string TimeText(int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

struct Job {
    std::string input;
    std::string output;
    std::unique_ptr<tw::TAVConverter> converter;
    bool started = false;
    bool completed = false;
};

// One line for the running conversions; with final, for all of them as they ended.
void ShowProgress(const std::vector<Job>& jobs, CliMessages& messages, bool final = false) {
    std::string line;
    int shown = 0;
    const auto wanted = [final](const Job& job) {
        return job.started && (final || job.converter->IsWorking());
    };
    for (const Job& job : jobs) {
        shown += wanted(job) ? 1 : 0;
    }
    for (const Job& job : jobs) {
        if (!wanted(job)) {
            continue;
        }
        const tw::TAVConverter& c = *job.converter;
        // Without a known length (a live or generated source) the converted time is shown.
        const std::string done = c.Duration() > 0
                                     ? std::to_string(c.GetProgress()) + "%"
                                     : TimeText(static_cast<int64_t>(c.ConvertedDuration()));
        char text[256];
        if (shown == 1) {
            // An estimate needs some progress over at least a second of work.
            const int64_t remaining = c.GetRemainingTime();
            const bool estimated = !final && c.GetProgress() > 0 && c.GetElapsedTime() >= 1 &&
                                   remaining != tw::TAVConverter::kUnknownRemaining;
            std::snprintf(text, sizeof text, "%4s  left %s  %.1f kbit/s  %lld KB", done.c_str(),
                          estimated ? TimeText(remaining).c_str() : "--:--:--", c.Bitrate(),
                          static_cast<long long>(c.OutputSize() / 1024));
        } else {
            std::snprintf(text, sizeof text, "%s %s  ",
                          job.output.substr(job.output.find_last_of('/') + 1).c_str(),
                          done.c_str());
        }
        line += text;
    }
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    messages.progressShown = true;
}

// Fills a converter's options from the command line: threads first, so that a profile that
// needs one thread keeps it, then the profile, then everything named explicitly.
void Configure(tw::TAVConverter& converter, const tw::cli::Arguments& arguments,
               const tw::TAVProfile* profile) {
    tw::TAVConvertOptions& options = converter.ConvertOptions();
    // Automatic leaves the count to each library: libx264, for one, runs more threads than there
    // are processors to keep its pipeline of pictures full, and is faster for it than with one
    // thread per processor. A number given is used exactly.
    options.SetThreadCount(0);
    if (profile) {
        profile->ApplyTo(options);
    }
    if (arguments.stretch) {
        options.VideoOptions().SetKeepPictureShape(false);
    }
    if (arguments.threads) {
        options.SetThreadCount(*arguments.threads);
    }
    for (const auto& [path, value] : arguments.settings) {
        tw::SetPropertyByPath(options, path, value);
        if (path == "VideoOptions.FrameRate") {
            // A rate given on the command line is the output's, whatever the source has.
            options.VideoOptions().SetFrameRate(options.VideoOptions().FrameRate());
        }
    }
    for (const auto& [path, line] : arguments.lines) {
        tw::AppendPropertyLine(options, path, line);
    }
    for (const auto& [name, value] : arguments.options) {
        options.SetCodecOption(name, value);
    }
    if (arguments.filters) {
        options.FilterOptions().SetVideoFilters(*arguments.filters);
    }
    if (arguments.crop) {
        options.VideoOptions().SetCrop(*arguments.crop);
    }
    if (arguments.audioTracks) {
        options.AudioOptions().SetAudioTracks(*arguments.audioTracks);
    }
    if (arguments.subtitleTracks) {
        options.SubtitleOptions().SetSubtitleTracks(*arguments.subtitleTracks);
    }
    if (arguments.burnSubtitleTrack) {
        options.SubtitleOptions().SetBurnSubtitleTrack(*arguments.burnSubtitleTrack);
    }
    if (arguments.startSeconds) {
        options.SetStartTime(static_cast<int64_t>(*arguments.startSeconds * 1000000.0 + 0.5));
    }
    if (arguments.durationSeconds) {
        options.SetRecordingTime(
            static_cast<int64_t>(*arguments.durationSeconds * 1000000.0 + 0.5));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A conversion for a program that runs each in a process of its own (docs/worker-protocol.md).
    if (argc == 2 && std::string(argv[1]) == "--worker") {
        return tw::jobs::RunWorker(STDIN_FILENO, STDOUT_FILENO);
    }
    // A segment job another computer was handed (by GNU parallel): the request in a file. The
    // tag tells the run's workers apart from any other's (to pause them); it does nothing here.
    if ((argc == 4 || (argc == 6 && std::string(argv[4]) == "--tag")) &&
        std::string(argv[1]) == "--worker" && std::string(argv[2]) == "--request") {
        const int request = open(argv[3], O_RDONLY | O_CLOEXEC);
        if (request < 0) {
            std::fprintf(stderr, "tidewell-convert: cannot read %s: %s\n", argv[3],
                         std::strerror(errno));
            return 2;
        }
        return tw::jobs::RunWorker(request, STDOUT_FILENO, false);
    }
    tw::cli::Arguments arguments;
    try {
        arguments = tw::cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "tidewell-convert: %s\nTry 'tidewell-convert --help'.\n", e.what());
        return 2;
    }
    if (arguments.help) {
        std::cout << tw::cli::UsageText();
        return 0;
    }
    if (arguments.version) {
        std::cout << tw::VersionText("tidewell-convert");
        return 0;
    }

    tw::platform::LoopDispatcher dispatcher;
    tw::platform::ScopedDispatcher installDispatcher(dispatcher);
    CliMessages messages;
    tw::platform::ScopedMessageService installMessages(messages);

    std::unique_ptr<tw::TAVProfileList> profiles;
    const tw::TAVProfile* profile = nullptr;
    if (arguments.listProfiles || arguments.profile) {
        profiles = tw::cli::LoadProfiles();
    }
    if (arguments.listProfiles) {
        std::cout << tw::cli::ProfileListing(*profiles);
        return 0;
    }
    if (arguments.dvdTitles) {
        return tw::cli::ListDvdTitles(*arguments.dvdTitles);
    }
    if (arguments.profile) {
        profile = profiles->FindByDescription(*arguments.profile);
        if (!profile) {
            std::fprintf(stderr, "tidewell-convert: unknown profile \"%s\"; the nearest are:\n",
                         arguments.profile->c_str());
            for (const std::string& name :
                 tw::cli::NearestProfileNames(*profiles, *arguments.profile, 3)) {
                std::fprintf(stderr, "  %s\n", name.c_str());
            }
            return 2;
        }
    }

    std::unique_ptr<tw::cli::DvdSource> dvd;
    std::vector<Job> jobs;
    if (arguments.dvd) {
        try {
            dvd = tw::cli::OpenDvdSource(arguments);
        } catch (const tw::EAVError& e) {
            std::fprintf(stderr, "tidewell-convert: %s\n", e.what());
            return 1;
        }
        jobs.push_back({dvd->Url(), arguments.output, nullptr});
    } else if (arguments.outputDir) {
        // Two inputs of one name (a.mkv and a.avi) would both write a.mp4 and leave it broken:
        // the later one is named apart, "a (2).mp4".
        std::set<std::string> claimed;
        for (const std::string& input : arguments.inputs) {
            const std::string output =
                tw::TargetFileName(input, profile->Extension(), *arguments.outputDir);
            std::string named = output;
            for (int number = 2; claimed.count(tw::platform::ComparablePath(named)); ++number) {
                named = tw::NumberedFileName(output, number);
            }
            claimed.insert(tw::platform::ComparablePath(named));
            if (named != output) {
                std::fprintf(stderr,
                             "tidewell-convert: %s: %s is written from an earlier input; "
                             "writing %s instead\n",
                             input.c_str(), output.c_str(), named.c_str());
            }
            jobs.push_back({input, named, nullptr});
        }
    } else {
        jobs.push_back({arguments.inputs[0], arguments.output, nullptr});
    }

    // A trial converts a sample of the span into a file of its own beside the target.
    std::optional<tw::engine::Span> trialSpan;
    if (arguments.trial) {
        std::string error;
        trialSpan = tw::cli::RequestedSpan(arguments, jobs.front().input, &error);
        if (!trialSpan) {
            std::fprintf(stderr, "tidewell-convert: %s\n", error.c_str());
            return 1;
        }
        jobs.front().output = tw::engine::TrialSampleName(jobs.front().output);
    }

    tw::engine::TrialClock trialClock;
    int trialPieces = 1;  // how many conversions the whole would run at once
    // This program has no priority of its own: its conversions run at the one it was started
    // with (`nice`).
    tw::platform::SetConversionPriority(-1);
    const bool terminal = isatty(STDERR_FILENO);
    std::chrono::steady_clock::time_point lastDraw;
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (arguments.hosts) {
        tw::segments::SetSegmentHosts({*arguments.hosts, arguments.sharedFolder});
    }
    for (Job& job : jobs) {
        job.converter = std::make_unique<tw::TAVConverter>();
        // A failure, even a crash of the libraries, ends that conversion alone.
        job.converter->SetInOwnProcess(!arguments.inProcess);
        const int segmentWorkers =
            arguments.segments.value_or(std::max(1, processors / arguments.jobs));
        const int segmentSeconds =
            arguments.segmentSeconds.value_or(tw::TAVConverter::kDefaultSegmentSeconds);
        job.converter->SetSegmenting(segmentWorkers, segmentSeconds);
        try {
            Configure(*job.converter, arguments, profile);
            if (trialSpan) {
                trialPieces =
                    tw::engine::PiecesAtOnce(job.converter->ConvertOptions(), job.input, job.output,
                                             static_cast<double>(trialSpan->lengthUs) / 1e6,
                                             !arguments.inProcess, segmentWorkers, segmentSeconds);
                const tw::engine::Span sample = tw::engine::TrialSample(*trialSpan);
                job.converter->ConvertOptions().SetStartTime(sample.startUs);
                job.converter->ConvertOptions().SetRecordingTime(sample.lengthUs);
            }
        } catch (const tw::EAVError& e) {
            std::fprintf(stderr, "tidewell-convert: %s\n", e.what());
            return 2;
        }
        job.converter->SetInputFiles({job.input});
        job.converter->SetOutputFiles({job.output});
        // The libraries' notices are for those who ask; a failure's own line reaches the user
        // with the failure's message.
        if (arguments.verbose) {
            job.converter->SetOnLog([](tw::TAVConverter&, int, const std::string& text) {
                std::string line = text;
                while (!line.empty() && line.back() == '\n') {
                    line.pop_back();
                }
                std::fprintf(stderr, "%s\n", line.c_str());
            });
        }
        if (trialSpan) {
            // Between the progress reports the sample converts at its steady pace; what comes
            // before and after them a longer run pays once.
            job.converter->SetOnProgress([&trialClock](tw::TAVConverter& converter) {
                trialClock.Progressed(converter.ConvertedDuration());
            });
        } else if (terminal) {
            job.converter->SetOnProgress([&jobs, &messages, &lastDraw](tw::TAVConverter&) {
                // About ten times a second is as fast as anyone reads; the final figures are
                // drawn once all runs have ended.
                const auto now = std::chrono::steady_clock::now();
                if (now - lastDraw >= std::chrono::milliseconds(100)) {
                    lastDraw = now;
                    ShowProgress(jobs, messages);
                }
            });
        }
        Job* self = &job;
        job.converter->SetOnComplete([self, &messages](tw::TAVConverter& converter) {
            self->completed = true;
            // Converted, but less than the source's header promised.
            if (const std::string note = converter.CompletionNote(); !note.empty()) {
                messages.ShowInformation(self->output + ": " + note);
            }
        });
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    // A worker started ahead serves only a file that waits for a free slot.
    tw::jobs::SpareWorker::Instance().LimitStarts(
        arguments.inProcess ? 0 : std::max(0, static_cast<int>(jobs.size()) - arguments.jobs));
    const auto working = [&] {
        int count = 0;
        for (const Job& job : jobs) {
            count += job.started && job.converter->IsWorking() ? 1 : 0;
        }
        return count;
    };
    size_t next = 0;
    bool stopSent = false;
    trialClock.Start();
    while (true) {
        while (!interruptSignal.load() && next < jobs.size() && working() < arguments.jobs) {
            jobs[next].started = jobs[next].converter->Start();
            ++next;
        }
        if (working() == 0 && (next == jobs.size() || interruptSignal.load())) {
            break;
        }
        dispatcher.RunUntil([&] { return working() < arguments.jobs || interruptSignal.load(); },
                            std::chrono::milliseconds(100));
        if (interruptSignal.load() && !stopSent) {
            // A run still opening its files keeps the stop until its loop begins.
            for (Job& job : jobs) {
                if (job.started) {
                    job.converter->Stop();
                }
            }
            stopSent = true;
        }
    }
    for (Job& job : jobs) {
        if (job.started) {
            job.converter->WaitForEnd(std::chrono::seconds(10));
        }
    }
    tw::jobs::SpareWorker::Instance().SetEnabled(false);
    dispatcher.ProcessPending();
    if (terminal) {
        ShowProgress(jobs, messages, true);
        std::fprintf(stderr, "\n");
    }
    int failed = 0;
    for (const Job& job : jobs) {
        failed += job.started && !job.converter->ErrorMessage().empty() ? 1 : 0;
    }
    if (interruptSignal.load()) {
        std::fprintf(stderr, "tidewell-convert: stopped; what was converted so far is finished\n");
        return 130;
    }
    if (trialSpan && failed == 0) {
        std::cout << tw::cli::TrialReport(jobs.front().output,
                                          static_cast<double>(trialSpan->lengthUs) / 1e6,
                                          trialClock.Timing(), trialPieces);
    }
    return failed > 0 ? 1 : 0;
}
