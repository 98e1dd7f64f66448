#include "segments/segmented_run.h"

#include <pthread.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/time.h>
}

#include "engine/conversion_run.h"
#include "jobs/conversion_request.h"
#include "jobs/worker_process.h"
#include "media/library.h"
#include "platform/process_priority.h"
#include "segments/segment_cache.h"
#include "segments/segment_join.h"
#include "segments/segment_span.h"
#include "util/format.h"
#include "util/string_list.h"

namespace tw {

namespace fs = std::filesystem;

// One worker's conversion: a video segment, or the rest of the span (its sound and subtitles).
class TAVConverter::SegmentedRun::Job : public jobs::SupervisorEvents {
public:
    enum class State { Waiting, Running, Ended, Done };

    Job(SegmentedRun& run, int segment, std::string partial, std::string finished,
        std::string request)
        : segment(segment),
          partial(std::move(partial)),
          finished(std::move(finished)),
          run_(run),
          request_(std::move(request)) {}

    // With the run's mutex held.
    void Start() {
        state = State::Running;
        ++attempts;
        figures = {};
        texts = {};
        held = false;
        thread_ = std::jthread([this] {
            pthread_setname_np(pthread_self(), "Segment worker");
            jobs::WorkerOutcome result = supervisor_.Run(request_, *this);
            // The run may join this thread as soon as it sees the state: nothing after this
            // block may wait for the run's mutex.
            std::lock_guard lock(run_.mutex_);
            outcome = std::move(result);
            state = State::Ended;
            run_.changed_.notify_all();
        });
    }
    // Once ended.
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool Succeeded() const {
        return outcome.completed && !outcome.failed && outcome.death.empty() &&
               outcome.refusal.empty() && !stopped;
    }
    void ControlChanged() { supervisor_.ControlChanged(); }
    const std::string& Request() const { return request_; }
    std::string Name() const {
        return segment < 0
                   ? std::string("The sound")
                   : FormatPrintf("Segment %d of %zu", segment + 1, run_.plan_.video.size());
    }

    void Started(const jobs::RunFigures& f) override { Adopt(f); }
    void Progress(const jobs::RunFigures& f) override { Adopt(f); }
    void Log(int level, const std::string& text) override {
        if (level <= AV_LOG_WARNING) {
            run_.Log(level, text, true);
        }
    }
    void Message(jobs::Report::MessageKind kind, const std::string& text) override {
        // A failure's message is the run's to show, once, when the segment fails for good.
        run_.Log(kind == jobs::Report::MessageKind::Error ? AV_LOG_ERROR : AV_LOG_INFO, text, true);
    }
    void PauseHeld(bool h, const jobs::RunFigures& f) override {
        Adopt(f);
        std::lock_guard lock(run_.mutex_);
        held = h;
    }
    void Stopped(const jobs::RunFigures& f) override {
        Adopt(f);
        std::lock_guard lock(run_.mutex_);
        stopped = true;
    }
    void Failed(const jobs::RunTexts& t) override {
        std::lock_guard lock(run_.mutex_);
        texts = t;
    }
    void Done(const jobs::RunFigures& f, const jobs::RunTexts& t) override {
        Adopt(f);
        std::lock_guard lock(run_.mutex_);
        texts = t;
    }
    jobs::Control Wanted() override { return run_.Wanted(); }

    const int segment;           // -1: the rest
    const std::string partial;   // what the worker writes
    const std::string finished;  // its name once whole
    // Guarded by the run's mutex.
    State state = State::Waiting;
    int attempts = 0;
    jobs::RunFigures figures;
    jobs::RunTexts texts;
    jobs::WorkerOutcome outcome;
    bool held = false;
    bool stopped = false;

private:
    void Adopt(const jobs::RunFigures& f) {
        std::lock_guard lock(run_.mutex_);
        figures = f;
    }

    SegmentedRun& run_;
    const std::string request_;
    jobs::WorkerSupervisor supervisor_;
    std::jthread thread_;
};

// The library's lines while the segments are joined, on the converter's worker thread.
class TAVConverter::SegmentedRun::JoinLog : public media::LogSink {
public:
    explicit JoinLog(SegmentedRun& run) : run_(run) {}
    int LogLevel() const override { return run_.owner_.logLevel_; }
    void OnLibraryLog(int level, const std::string& text) override {
        if (level <= AV_LOG_ERROR && firstError.empty()) {
            firstError = text;
        }
        run_.Log(level, text);
    }
    std::string firstError;

private:
    SegmentedRun& run_;
};

TAVConverter::SegmentedRun::SegmentedRun(TAVConverter& owner, int workers, int segmentSeconds)
    : owner_(owner),
      workers_(workers),
      segmentUs_(static_cast<int64_t>(segmentSeconds) * AV_TIME_BASE),
      hosts_(segments::SegmentHosts()),
      hosted_(!hosts_.loginFile.empty()) {}

TAVConverter::SegmentedRun::~SegmentedRun() = default;

void TAVConverter::SegmentedRun::ControlChanged() {
    std::lock_guard lock(mutex_);
    for (const auto& job : jobs_) {
        if (job->state == Job::State::Running) {
            job->ControlChanged();
        }
    }
    changed_.notify_all();
}

jobs::Control TAVConverter::SegmentedRun::Wanted() {
    return abort_ ? jobs::Control::Stop : owner_.WantedControl();
}

void TAVConverter::SegmentedRun::Log(int level, const std::string& text, bool once) {
    std::lock_guard lock(logMutex_);
    // Every worker warns of what its settings share with the others'; once is enough.
    if (once && !logged_.insert(text).second) {
        return;
    }
    owner_.DoLog(level, text);
}

bool TAVConverter::SegmentedRun::Run() {
    const std::string& source = owner_.inputFiles_.front();
    if ((workers_ < 2 && !hosted_) ||
        !segments::SegmentsPossible(owner_.options_, owner_.inputFiles_, owner_.outputFiles_)) {
        return false;
    }
    const std::string& target = owner_.outputFiles_.front();
    if (hosted_) {
        StartCheck();
    }
    try {
        plan_ = segments::PlanSegments(source, target, owner_.options_, segmentUs_);
    } catch (const std::exception&) {
        // The run in one piece says why the source cannot be read.
        return false;
    }
    if (plan_.video.size() < 2) {
        return false;
    }
    folder_ = segments::SegmentFolder(source, target);
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) {
        Log(AV_LOG_WARNING,
            FormatPrintf("Converting in one piece: the folder for segments (%s) cannot "
                         "be made: %s",
                         folder_.c_str(), error.message().c_str()));
        return false;
    }

    // Each job's request: the owner's, with its own span, streams and file.
    const jobs::ConversionRequest base{owner_.inputFiles_, owner_.outputFiles_, owner_.logLevel_,
                                       platform::ConversionPriority()};
    const std::string baseLine = jobs::RequestLine(base, owner_.options_);
    const std::string extension = fs::path(target).extension().string();
    auto makeJob = [&](int segment) {
        jobs::ConversionRequest request;
        TAVConvertOptions options;
        jobs::ParseRequest(baseLine, &request, options);
        std::string name;
        if (segment < 0) {
            name = "rest";
            options.VideoOptions().SetVideoDisable(true);
        } else {
            const segments::SegmentSpan& span = plan_.video[static_cast<size_t>(segment)];
            name = FormatPrintf("segment-%04d", segment + 1);
            options.SetStartTime(span.startUs);
            options.SetRecordingTime(span.lengthUs);
            options.Engine.PictureClockShift = span.clockShift;
            options.Engine.ContinuesPictures = span.continues;
            options.AudioOptions().SetAudioDisable(true);
            options.SubtitleOptions().SetSubtitleDisable(true);
        }
        const std::string partial = folder_ + "/" + name + ".partial" + extension;
        request.outputs = {partial};
        std::lock_guard lock(mutex_);  // ControlChanged may look at the list at any time
        jobs_.push_back(std::make_unique<Job>(*this, segment, partial,
                                              folder_ + "/" + name + extension,
                                              jobs::RequestLine(request, options)));
    };
    if (plan_.rest) {
        makeJob(-1);
    }
    for (size_t i = 0; i < plan_.video.size(); ++i) {
        makeJob(static_cast<int>(i));
    }
    if (hosted_) {
        Log(AV_LOG_INFO,
            FormatPrintf("Converting in %zu segments of about %lld s on the "
                         "computers of %s",
                         plan_.video.size(), static_cast<long long>(segmentUs_ / AV_TIME_BASE),
                         hosts_.loginFile.c_str()));
    } else {
        Log(AV_LOG_INFO, FormatPrintf("Converting in %zu segments of about %lld s, %d at once",
                                      plan_.video.size(),
                                      static_cast<long long>(segmentUs_ / AV_TIME_BASE), workers_));
    }
    try {
        TakeKeptParts();
        if (hosted_) {
            StartHosts();
        }
    } catch (const EAVError& e) {
        // Nothing was converted: the run fails as one that could not open its files.
        owner_.RecordFailure(e);
        owner_.DoError();
        ClearJobs();
        owner_.LeaveRun();
        return true;
    }

    owner_.duration_.store(plan_.sourceSeconds);
    owner_.inputSize_.store(static_cast<int64_t>(fs::file_size(source, error)));
    owner_.startTime_.store(av_gettime());
    owner_.lastTime_.store(0);
    owner_.elapsedUs_.store(0);
    owner_.EnterLoopState();
    // A run that takes kept segments starts at their share.
    Report(false);
    owner_.progressAtStart_.store(owner_.GetProgress());
    owner_.PostProgress();

    int64_t pausedAt = 0;
    jobs::Control wanted = jobs::Control::Run;
    while (true) {
        wanted = Wanted();
        const int64_t now = av_gettime();
        if (wanted == jobs::Control::Pause && pausedAt == 0) {
            pausedAt = now;
        } else if (wanted != jobs::Control::Pause && pausedAt != 0) {
            pausedUs_ += now - pausedAt;
            pausedAt = 0;
        }
        std::unique_lock lock(mutex_);
        CollectEnded();
        if (wanted == jobs::Control::Run) {
            StartJobs();
        }
        if (hosted_ && (wanted == jobs::Control::Stop || abort_) && !hostJobs_.Stopped()) {
            hostJobs_.Stop();
        }
        if (hosted_ && holdHosts_ != (wanted == jobs::Control::Pause)) {
            // Stopped workers act on parallel's end only once continued.
            holdHosts_ = wanted == jobs::Control::Pause;
            changed_.notify_all();
        }
        const bool anyRunning = std::any_of(jobs_.begin(), jobs_.end(), [](const auto& job) {
            return job->state != Job::State::Waiting && job->state != Job::State::Done &&
                   job->state != Job::State::Ended;
        });
        const bool allDone = std::all_of(jobs_.begin(), jobs_.end(), [](const auto& job) {
            return job->state == Job::State::Done;
        });
        if (!anyRunning && (allDone || abort_ || wanted == jobs::Control::Stop)) {
            break;
        }
        owner_.pauseHeld_.store(wanted == jobs::Control::Pause &&
                                std::all_of(jobs_.begin(), jobs_.end(), [](const auto& job) {
                                    return job->state != Job::State::Running || job->held;
                                }));
        changed_.wait_for(lock, std::chrono::milliseconds(250));
        lock.unlock();
        if (pausedAt == 0) {
            Report();
        }
    }
    owner_.pauseHeld_.store(false);
    if (holdThread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            holdEnd_ = true;
            changed_.notify_all();
        }
        holdThread_.join();
    }
    if (hostThread_.joinable()) {
        hostThread_.join();
    }
    if (hostCheck_.valid()) {
        hostCheck_.wait();
    }
    logins_.reset();
    Report();
    if (failedJob_) {
        Fail(*failedJob_);
        ClearJobs();
        owner_.LeaveRun();
        owner_.DoComplete(false);
        return true;
    }
    Finish(wanted == jobs::Control::Stop);
    ClearJobs();
    const bool stopped = owner_.LeaveRun();
    owner_.DoComplete(stopped);
    return true;
}

void TAVConverter::SegmentedRun::ClearJobs() {
    std::lock_guard lock(mutex_);
    jobs_.clear();
}

void TAVConverter::SegmentedRun::StartJobs() {
    int running = 0;
    for (const auto& job : jobs_) {
        running += job->segment >= 0 && job->state == Job::State::Running ? 1 : 0;
    }
    for (const auto& job : jobs_) {
        if (job->state != Job::State::Waiting) {
            continue;
        }
        // The rest goes alongside the segments, whose number is limited (unless they go to other
        // computers, which decide for themselves).
        if (job->segment >= 0 && hosted_) {
            continue;
        }
        if (job->segment >= 0) {
            if (running >= workers_) {
                continue;
            }
            ++running;
        }
        job->Start();
    }
}

void TAVConverter::SegmentedRun::CollectEnded() {
    for (const auto& job : jobs_) {
        if (job->state != Job::State::Ended) {
            continue;
        }
        job->Join();
        std::error_code error;
        if (job->Succeeded()) {
            fs::rename(job->partial, job->finished, error);
            if (!error && RecordFinished(*job)) {
                job->state = Job::State::Done;
                continue;
            }
            if (error) {
                job->outcome.refusal = FormatPrintf("The converted segment could not be kept: %s",
                                                    error.message().c_str());
            }
        }
        if (job->stopped || abort_) {
            continue;
        }
        const std::string why = !job->outcome.refusal.empty() ? job->outcome.refusal
                                : !job->outcome.death.empty() ? job->outcome.death
                                                              : job->texts.failureText;
        if (job->attempts < 2) {
            job->state = Job::State::Waiting;
            Log(AV_LOG_WARNING, FormatPrintf("%s failed (%s); converting it again",
                                             job->Name().c_str(), why.c_str()));
            continue;
        }
        // A segment on the other computers has its failure told whole (and tried on several).
        Log(AV_LOG_ERROR,
            why.starts_with(job->Name())
                ? why
                : FormatPrintf("%s failed again: %s", job->Name().c_str(), why.c_str()));
        abort_ = true;
        failedJob_ = job.get();
        for (const auto& other : jobs_) {
            if (other->state == Job::State::Running) {
                other->ControlChanged();
            }
        }
    }
}

void TAVConverter::SegmentedRun::StartCheck() {
    try {
        logins_ = std::make_unique<segments::HostLogins>(hosts_.loginFile, true);
    } catch (...) {
        loginsFailure_ = std::current_exception();  // StartHosts says why
        return;
    }
    // The check makes the connections the jobs then use, while the source is planned and
    // parallel starts; parallel gets the jobs once they are made. When it fails, parallel is
    // stopped and no part is taken.
    const std::string workerFolder = fs::path(jobs::FindWorkerProgram()).parent_path().string();
    hostCheck_ = std::async(std::launch::async, [this, workerFolder] {
        try {
            const segments::HostCheck check = segments::CheckHosts(*logins_, workerFolder);
            downLogins_ = check.down;
            for (const std::string& line : check.unreachable) {
                Log(AV_LOG_WARNING, line);
            }
            for (const std::string& host : check.unchanged) {
                Log(AV_LOG_VERBOSE,
                    FormatPrintf("tidewell-convert on %s is the one an earlier check found of "
                                 "this version",
                                 host.c_str()));
            }
        } catch (...) {
            hostJobs_.Stop();
            throw;
        }
    });
}

void TAVConverter::SegmentedRun::StartHosts() {
    const std::string workerFolder = fs::path(jobs::FindWorkerProgram()).parent_path().string();
    if (!logins_) {
        std::rethrow_exception(loginsFailure_);
    }
    if (std::none_of(jobs_.begin(), jobs_.end(), [](const auto& job) {
            return job->segment >= 0 && job->state != Job::State::Done;
        })) {
        return;
    }
    segments::HostJobs::Settings settings;
    settings.logins = logins_.get();
    settings.sharedFolder = hosts_.sharedFolder;
    settings.folder = folder_;
    settings.workerFolder = workerFolder;
    settings.extension = fs::path(owner_.outputFiles_.front()).extension().string();
    hostJobs_.Start(settings);
    const bool transfer = !hosts_.sharedFolder;
    std::vector<Job*> hosted;
    std::vector<segments::HostJobs::Job> hostJobs;
    for (const auto& job : jobs_) {
        if (job->segment < 0 || job->state == Job::State::Done) {
            continue;
        }
        const std::string name = fs::path(job->finished).stem().string();
        auto parsed = std::make_shared<jobs::ConversionRequest>();
        auto options = std::make_shared<TAVConvertOptions>();
        jobs::ParseRequest(job->Request(), parsed.get(), *options);
        if (transfer) {
            parsed->inputs = {segments::HostJobs::SpanFile(name)};
            parsed->outputs = {fs::path(job->partial).filename().string()};
        } else {
            // The jobs run in the segment folder, wherever the source was named from.
            for (std::string& input : parsed->inputs) {
                input = fs::absolute(input).string();
            }
        }
        // Made when the job's turn comes: the spans are cut one by one while the jobs before
        // convert.
        auto request = [this, name, transfer, parsed, options, segment = job->segment] {
            if (transfer) {
                // The host gets the span alone and writes its part into its own working folder.
                const segments::SegmentSpan& span = plan_.video[static_cast<size_t>(segment)];
                const int64_t end = span.lengthUs >= INT64_MAX - span.startUs
                                        ? INT64_MAX
                                        : span.startUs + span.lengthUs;
                const int64_t shift = segments::CopySourceSpan(
                    owner_.inputFiles_.front(), folder_ + "/" + segments::HostJobs::SpanFile(name),
                    span.startUs, end);
                options->SetStartTime(span.startUs + shift);
            }
            const std::string line = jobs::RequestLine(*parsed, *options);
            // Kept beside the span for a scheduler of the user's own (the jobs get theirs on
            // their command line).
            std::ofstream out(folder_ + "/" + segments::HostJobs::RequestFile(name));
            out << line << "\n";
            out.close();
            if (!out) {
                throw EAVError(
                    FormatPrintf("The segment folder %s cannot be written", folder_.c_str()));
            }
            WaitForConnections();
            return line;
        };
        hosted.push_back(job.get());
        hostJobs.push_back({name, request});
    }
    {
        std::lock_guard lock(mutex_);
        for (Job* job : hosted) {
            job->state = Job::State::Running;
            job->attempts = 2;  // parallel tries it on other hosts; this side does not again
        }
    }
    hostThread_ = std::jthread([this, hosted = std::move(hosted), hostJobs = std::move(hostJobs)] {
        pthread_setname_np(pthread_self(), "Segment hosts");
        RunHosts(hosted, hostJobs);
    });
    holdThread_ = std::jthread([this] {
        pthread_setname_np(pthread_self(), "Segment holds");
        HoldHosts();
    });
}

// While paused, how often the hosted workers are told to hold again.
constexpr std::chrono::milliseconds kHoldAgainEvery{500};

void TAVConverter::SegmentedRun::HoldHosts() {
    bool held = false;  // what the workers were last told
    std::unique_lock lock(mutex_);
    while (true) {
        const auto due = [&] { return holdEnd_ || holdHosts_ != held || (held && holdAgain_); };
        if (!held) {
            changed_.wait(lock, due);
        } else if (!changed_.wait_for(lock, kHoldAgainEvery, due)) {
            // A worker whose start parallel has not passed on yet (it reads its jobs' output
            // now and then) is held on the next round.
            holdAgain_ = true;
        }
        if (holdEnd_) {
            return;
        }
        const bool hold = holdHosts_;
        holdAgain_ = false;
        lock.unlock();
        // A computer that cannot be told keeps converting: no reason to fail the run.
        for (const std::string& line : hostJobs_.Hold(hold)) {
            Log(AV_LOG_WARNING, line, true);
        }
        lock.lock();
        held = hold;
        // The hosted segments show paused once their workers were told.
        for (const auto& job : jobs_) {
            if (job->segment >= 0 && job->state == Job::State::Running) {
                job->held = held;
            }
        }
        changed_.notify_all();
    }
}

void TAVConverter::SegmentedRun::WaitForConnections() {
    // The jobs' sessions share the connections the check's made: they go once those are
    // there (or the check knows that some cannot be made, or the run stops).
    while (hostCheck_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready &&
           !logins_->Connected() && !hostJobs_.Stopped()) {
    }
}

void TAVConverter::SegmentedRun::RunHosts(std::vector<Job*> hosted,
                                          std::vector<segments::HostJobs::Job> hostJobs) {
    // How each job's last attempt reported its end.
    std::vector<std::optional<jobs::Report>> last(hosted.size());
    segments::HostJobs::Events events;
    events.report = [&](size_t i, const std::string& line) {
        Job& job = *hosted[i];
        jobs::Report report;
        try {
            report = jobs::ParseReport(line);
        } catch (const jobs::EBadReport&) {
            return;  // a line the host's shell wrote
        }
        switch (report.kind) {
            case jobs::Report::Kind::Started:
                job.Progress(report.figures);
                {
                    // A worker that started while the others are held is held as well.
                    std::lock_guard lock(mutex_);
                    if (holdHosts_) {
                        holdAgain_ = true;
                        changed_.notify_all();
                    }
                }
                break;
            case jobs::Report::Kind::Progress:
                job.Progress(report.figures);
                break;
            case jobs::Report::Kind::Log:
                job.Log(report.level, report.text);
                break;
            case jobs::Report::Kind::Message:
                job.Message(report.messageKind, report.text);
                break;
            case jobs::Report::Kind::Error:
            case jobs::Report::Kind::Done:
                last[i] = report;
                if (report.texts) {
                    job.Failed(*report.texts);
                }
                if (report.kind == jobs::Report::Kind::Done) {
                    job.Progress(report.figures);
                }
                break;
            default:
                break;
        }
    };
    events.log = [this](const std::string& line) { Log(AV_LOG_WARNING, line, true); };
    events.note = [this](const std::string& line) { Log(AV_LOG_INFO, line); };
    std::string refused;  // no part is taken
    std::vector<segments::HostJobs::Ended> ended(hosted.size());
    try {
        // parallel would try jobs on a computer the check could not reach, each of their
        // sessions waiting for ssh's connect timeout first: without any job yet, it starts
        // again without that computer.
        WaitForConnections();
        if (hostCheck_.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
            !hostJobs_.Stopped() && logins_->Drop(downLogins_)) {
            hostJobs_.Run({}, events);
            hostJobs_.Restart();
        }
        ended = hostJobs_.Run(hostJobs, events);
    } catch (const EAVError& e) {
        refused = e.what();  // a job's files could not be made
    }
    try {
        hostCheck_.get();
    } catch (const std::exception& e) {
        refused = e.what();  // the check's verdict
    }
    const bool stopping = hostJobs_.Stopped();
    // A job that failed everywhere halts parallel, which kills the others: theirs is no failure.
    const bool halted = std::any_of(ended.begin(), ended.end(), [](const auto& end) {
        return end.exitValue > 0 && end.signal == 0;
    });
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < hosted.size(); ++i) {
        Job& job = *hosted[i];
        const segments::HostJobs::Ended& end = ended[i];
        job.outcome = {};
        std::error_code error;
        const bool reportedDone = last[i] && last[i]->kind == jobs::Report::Kind::Done &&
                                  last[i]->completed && !last[i]->failed;
        if (!refused.empty()) {
            job.outcome.refusal = refused;
        } else if (reportedDone && end.exitValue == 0 && fs::exists(job.partial, error)) {
            job.outcome.began = job.outcome.completed = true;
        } else if (stopping || (halted && end.signal != 0)) {
            job.stopped = true;
        } else {
            std::string why = last[i] && last[i]->texts && !last[i]->texts->failureText.empty()
                                  ? last[i]->texts->failureText
                              : last[i] && !last[i]->text.empty() ? last[i]->text
                              : end.exitValue < 0                 ? std::string("it never ran")
                              : end.exitValue == 255 ? std::string("it could not be reached")
                                                     : FormatPrintf("exit code %d", end.exitValue);
            if (!reportedDone && !end.lastLines.empty()) {
                why += ": " + end.lastLines.back();
            }
            job.outcome.refusal = job.Name() + " failed" +
                                  (end.host.empty() ? std::string() : " on " + end.host) + ": " +
                                  why;
        }
        job.state = Job::State::Ended;
    }
    changed_.notify_all();
}

void TAVConverter::SegmentedRun::TakeKeptParts() {
    const jobs::ConversionRequest request{owner_.inputFiles_, owner_.outputFiles_, 24, -1};
    segments::SegmentManifest wanted;
    wanted.digest = segments::Digest(jobs::RequestLine(request, owner_.options_));
    segments::DescribeSource(owner_.inputFiles_.front(), &wanted);
    wanted.bounds = plan_.video;
    wanted.rest = plan_.rest;
    segments::SegmentManifest kept;
    if (segments::ReadManifest(folder_, &kept) && kept.SameMaking(wanted)) {
        for (const auto& job : jobs_) {
            const std::string name = fs::path(job->finished).filename();
            const auto found = kept.finished.find(name);
            if (found == kept.finished.end() ||
                !segments::PartIsWhole(job->finished, found->second)) {
                continue;
            }
            std::lock_guard lock(mutex_);
            job->state = Job::State::Done;
            job->figures.outputSize = found->second;
            if (job->segment >= 0) {
                job->figures.convertedDuration =
                    plan_.SegmentSeconds(static_cast<size_t>(job->segment));
            }
            wanted.finished.insert(*found);
        }
    } else {
        // Made from another source or other settings, or from nothing known: start afresh.
        std::error_code error;
        fs::remove_all(folder_, error);
        fs::create_directories(folder_, error);
    }
    manifest_ = wanted;
    segments::WriteManifest(folder_, manifest_);
    const size_t done = std::count_if(jobs_.begin(), jobs_.end(), [](const auto& job) {
        return job->segment >= 0 && job->state == Job::State::Done;
    });
    if (done > 0) {
        Log(AV_LOG_INFO,
            FormatPrintf("Resuming: %zu of %zu segments done", done, plan_.video.size()));
    }
}

bool TAVConverter::SegmentedRun::RecordFinished(Job& job) {
    std::error_code error;
    const auto size = static_cast<int64_t>(fs::file_size(job.finished, error));
    manifest_.finished[fs::path(job.finished).filename()] = size;
    try {
        segments::WriteManifest(folder_, manifest_);
        return true;
    } catch (const EAVError& e) {
        // A folder that takes no more is no reason to try again.
        manifest_.finished.erase(fs::path(job.finished).filename());
        job.outcome.refusal = e.what();
        job.attempts = 2;
        return false;
    }
}

void TAVConverter::SegmentedRun::Report(bool post) {
    double converted = 0;
    int64_t size = 0;
    {
        std::lock_guard lock(mutex_);
        for (const auto& job : jobs_) {
            if (job->segment >= 0) {
                converted += job->figures.convertedDuration;
            }
            size += job->figures.outputSize;
        }
    }
    const int64_t now = av_gettime();
    owner_.convertedDuration_.store(converted);
    owner_.outputSize_.store(size);
    if (converted > 0) {
        owner_.bitrate_.store(static_cast<double>(size) * 8.0 / converted / 1000.0);
    }
    owner_.MarkReportTime(now);
    owner_.elapsedUs_.store(std::max<int64_t>(0, now - owner_.startTime_.load() - pausedUs_));
    if (post) {
        owner_.PostProgress();
    }
}

void TAVConverter::SegmentedRun::Finish(bool stopped) {
    if (stopped) {
        // The converted segments stay in their folder; the target is not made.
        owner_.DoStopped();
        return;
    }
    const std::string& target = owner_.outputFiles_.front();
    std::vector<segments::JoinedPart> parts;
    std::string rest;
    for (const auto& job : jobs_) {
        if (job->segment < 0) {
            rest = job->finished;
        } else {
            parts.push_back(
                {job->finished, plan_.video[static_cast<size_t>(job->segment)].offsetUs});
        }
        if (!job->texts.completionNote.empty()) {
            std::lock_guard lock(owner_.textMutex_);
            owner_.completionNote_ = job->texts.completionNote;
        }
    }
    const fs::path targetPath(target);
    const std::string joining =
        (targetPath.parent_path() / ("." + targetPath.filename().string() + ".joining")).string();
    std::error_code error;
    if (targetPath.has_parent_path()) {
        fs::create_directories(targetPath.parent_path(), error);
    }
    bool joined = false;
    // The libraries' words on the join reach the log; the first error among them explains a
    // failure.
    JoinLog log(*this);
    media::ThreadLogRegistration registration(log);
    try {
        joined = segments::JoinSegments(parts, rest, joining, target, owner_.options_, [this] {
            return owner_.state_.load() == RunState::StopRequested;
        });
        if (joined) {
            fs::rename(joining, target, error);
            if (error) {
                throw engine::ERunFailure("Could not open file", error.message(),
                                          engine::ERunFailure::Role::Target, target);
            }
        }
    } catch (const std::exception& e) {
        fs::remove(joining, error);
        const auto* failure = dynamic_cast<const engine::ERunFailure*>(&e);
        if (failure && !log.firstError.empty()) {
            owner_.RecordFailure(engine::ERunFailure(failure->what(),
                                                     std::string(Trim(log.firstError)),
                                                     failure->FileRole(), failure->File()));
        } else {
            owner_.RecordFailure(e);
        }
        owner_.DoError();
        return;
    }
    if (!joined) {
        fs::remove(joining, error);
        owner_.DoStopped();
        return;
    }
    const TAVConvertOptions& options = owner_.options_;
    const double span = plan_.sourceSeconds - static_cast<double>(options.StartTime()) / 1e6;
    const double limit = static_cast<double>(options.RecordingTime()) / 1e6;
    owner_.convertedDuration_.store(std::max(0.0, std::min(span, limit)));
    owner_.outputSize_.store(static_cast<int64_t>(fs::file_size(target, error)));
    Log(AV_LOG_INFO, FormatPrintf("Joined %zu segments into %s", parts.size(), target.c_str()));
    fs::remove_all(folder_, error);
}

void TAVConverter::SegmentedRun::Fail(const Job& job) {
    {
        std::lock_guard lock(owner_.textMutex_);
        owner_.failed_ = true;
        if (!job.outcome.refusal.empty()) {
            owner_.errorMessage_ = job.outcome.refusal;
            owner_.lastLogMessage_.clear();
            owner_.failureText_ = job.outcome.refusal;
        } else if (!job.outcome.death.empty()) {
            owner_.errorMessage_ =
                "The conversion process ended unexpectedly: " + job.outcome.death;
            owner_.lastLogMessage_ =
                job.outcome.lastLines.empty() ? std::string() : job.outcome.lastLines.back();
            owner_.failureText_ = owner_.errorMessage_;
            for (const std::string& line : job.outcome.lastLines) {
                owner_.failureText_ += "\n" + line;
            }
        } else {
            owner_.errorMessage_ = job.texts.errorMessage;
            owner_.lastLogMessage_ = job.texts.lastLogMessage;
            owner_.failureText_ = job.texts.failureText;
        }
    }
    owner_.DoError();
}

}  // namespace tw
