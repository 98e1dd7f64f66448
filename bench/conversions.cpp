// Conversion throughput, concurrency, thread use and memory of the engine on standard jobs, each
// run as a task runs it (a converter with the options the wizard makes from a catalogue
// profile) and each against the same job written straight on the media libraries.
//
//   build/bench/conversions [--reps N] [--jobs a,b,...] [--sections
//   ratio,concurrency,threads,memory,workers,segments]
//
// "workers" compares a conversion in a worker process (as the programs run them) with one in
// this process, and times a worker's start-up. "segments" compares a 60-second job converted in
// segments with the same in one piece.
//
// Every run is a child process of its own, so that its processor time and peak memory are its
// alone. One line per figure, "key=value" fields, medians over the repetitions; engine and
// reference runs alternate. Sources are made once and kept (see bench_media.h).
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/converter.h"
#include "jobs/spare_worker.h"
#include "jobs/worker_supervisor.h"
#include "media/av_ptr.h"
#include "platform/message_service.h"
#include "platform/ui_dispatcher.h"
#include "support/bench_media.h"
#include "support/child_process.h"
#include "support/jobs.h"

namespace {

namespace fs = std::filesystem;
using namespace tw::bench;

fs::path OutputFolder() {
    return fs::temp_directory_path() / ("tidewell-bench-" + std::to_string(getpid()));
}

// ---- child side ------------------------------------------------------------------------------

// The largest resident set of this process since it started: what the system's figure for a
// child would be, were it not raised to the parent's size by the way children are started.
double PeakMb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) {
        return 0;
    }
    char line[256];
    long kb = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) {
            break;
        }
    }
    std::fclose(status);
    return static_cast<double>(kb) / 1024.0;
}

// The largest sum of the resident sets of this process's children seen while it lives: the
// memory all the workers of a conversion hold together. Sampled every 20 ms.
class ChildrenPeak {
public:
    ChildrenPeak() : thread_([this](std::stop_token stop) { Sample(stop); }) {}
    double Mb() const { return static_cast<double>(peakKb_.load()) / 1024.0; }

private:
    void Sample(std::stop_token stop) {
        const std::string parent = "PPid:\t" + std::to_string(getpid());
        while (!stop.stop_requested()) {
            long sum = 0;
            std::error_code error;
            for (const auto& entry : fs::directory_iterator("/proc", error)) {
                std::FILE* status = std::fopen((entry.path() / "status").c_str(), "r");
                if (!status) {
                    continue;
                }
                char line[256];
                bool child = false;
                long kb = 0;
                while (std::fgets(line, sizeof line, status)) {
                    child = child || std::string(line).rfind(parent, 0) == 0;
                    std::sscanf(line, "VmRSS: %ld kB", &kb);
                }
                std::fclose(status);
                sum += child ? kb : 0;
            }
            peakKb_.store(std::max(peakKb_.load(), sum));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::atomic<long> peakKb_{0};
    std::jthread thread_;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// count converters, all started at once (together) or one after another.
int ChildEngine(const Job& job, const std::string& source, const fs::path& folder, int threads,
                int count, bool together, bool inWorkers, int segments) {
    tw::platform::LoopDispatcher dispatcher;
    ChildrenPeak workers;
    tw::TAVConvertOptions options;
    ConfigureEngine(job, threads, options);
    std::vector<std::unique_ptr<tw::TAVConverter>> converters;
    // A task is done when its converter says so (its files are closed by then); the worker
    // thread's own end comes a moment later and is nothing the user waits for.
    std::set<const tw::TAVConverter*> ended;
    const auto allDone = [&] { return ended.size() == converters.size(); };
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        auto converter = std::make_unique<tw::TAVConverter>(&dispatcher);
        // A task's row reads the figures whenever progress arrives.
        converter->SetOnProgress([](tw::TAVConverter& c) { (void)c.GetRemainingTime(); });
        converter->SetOnComplete([&](tw::TAVConverter& c) { ended.insert(&c); });
        converter->SetOnError([&](tw::TAVConverter& c) { ended.insert(&c); });
        converter->SetInputFiles({source});
        converter->SetOutputFiles(
            {(folder / ("engine-" + job.name + "-" + std::to_string(i) + job.extension)).string()});
        converter->SetConvertOptions(options);
        converter->ConvertOptions().Engine = options.Engine;
        converter->SetInOwnProcess(inWorkers);
        converter->SetSegmenting(segments, tw::TAVConverter::kDefaultSegmentSeconds);
        converter->Start();
        converters.push_back(std::move(converter));
        if (!together) {
            dispatcher.RunUntil(allDone, std::chrono::hours(2));
        }
    }
    dispatcher.RunUntil(allDone, std::chrono::hours(2));
    const double wall = Seconds(start);
    for (const auto& c : converters) {
        if (!c->ErrorMessage().empty()) {
            std::fprintf(stderr, "engine failed: %s\n", c->ErrorMessage().c_str());
            return 1;
        }
    }
    std::printf("wall=%.4f peak=%.1f workers=%.1f\n", wall, PeakMb(), workers.Mb());
    return 0;
}

int ChildReference(const Job& job, const std::string& source, const fs::path& folder, int threads) {
    ReferenceJob reference = job.reference;
    reference.threads = threads;
    const auto start = std::chrono::steady_clock::now();
    try {
        RunReference(source, (folder / ("reference-" + job.name + job.extension)).string(),
                     reference);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "reference failed: %s\n", e.what());
        return 1;
    }
    std::printf("wall=%.4f peak=%.1f\n", Seconds(start), PeakMb());
    return 0;
}

int Child(int argc, char** argv) {
    // child engine|reference JOB SOURCE FOLDER THREADS [COUNT together|serial [worker [K]]]
    if (argc < 7) {
        return 2;
    }
    const std::string runner = argv[2];
    const Job* job = FindJob(argv[3]);
    if (!job) {
        return 2;
    }
    const int threads = std::atoi(argv[6]);
    if (runner == "reference") {
        return ChildReference(*job, argv[4], argv[5], threads);
    }
    tw::platform::StderrMessageService messages;
    tw::platform::ScopedMessageService install(messages);
    const int count = argc > 7 ? std::atoi(argv[7]) : 1;
    const bool together = argc > 8 && std::string(argv[8]) == "together";
    const bool inWorkers = argc > 9 && std::string(argv[9]) == "worker";
    const int segments = argc > 10 ? std::atoi(argv[10]) : 0;
    return ChildEngine(*job, argv[4], argv[5], threads, count, together, inWorkers, segments);
}

// ---- parent side -----------------------------------------------------------------------------

struct Sample {
    double wall = 0;  // the conversion alone, as the child timed it
    double cpu = 0;
    double peak = 0;
    double workers = 0;  // all workers of the run together, at most
};

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Sample Medians(const std::vector<Sample>& samples) {
    std::vector<double> wall, cpu, peak, workers;
    for (const Sample& s : samples) {
        wall.push_back(s.wall);
        cpu.push_back(s.cpu);
        peak.push_back(s.peak);
        workers.push_back(s.workers);
    }
    return {Median(wall), Median(cpu), Median(peak), Median(workers)};
}

Sample Measure(const std::vector<std::string>& arguments) {
    const ChildRun run = RunSelf(arguments);
    if (!run.succeeded) {
        std::fprintf(stderr, "a run failed:");
        for (const std::string& a : arguments) {
            std::fprintf(stderr, " %s", a.c_str());
        }
        std::fprintf(stderr, "\n");
        std::exit(1);
    }
    Sample sample;
    sample.cpu = run.cpuSeconds;
    if (std::sscanf(run.output.c_str(), "wall=%lf peak=%lf workers=%lf", &sample.wall, &sample.peak,
                    &sample.workers) < 2) {
        std::fprintf(stderr, "a run said nothing of its figures\n");
        std::exit(1);
    }
    return sample;
}

struct Bench {
    fs::path folder;
    int reps = 5;

    std::string Source(const Job& job, int seconds) const {
        BenchSource source = job.source;
        source.seconds = seconds;
        return EnsureSource(source);
    }

    Sample Engine(const Job& job, int seconds, int threads, int count = 1, bool together = false,
                  bool inWorker = false, int segments = 0) const {
        return Measure({"child", "engine", job.name, Source(job, seconds), folder.string(),
                        std::to_string(threads), std::to_string(count),
                        together ? "together" : "serial", inWorker ? "worker" : "here",
                        std::to_string(segments)});
    }

    Sample Reference(const Job& job, int seconds, int threads) const {
        return Measure({"child", "reference", job.name, Source(job, seconds), folder.string(),
                        std::to_string(threads)});
    }

    // A job over in well under a second swings by tens of percent with whatever else the
    // machine does at that moment: its medians need many more repetitions to settle.
    int RepsFor(double wallSeconds) const { return wallSeconds < 1.0 ? std::max(reps, 21) : reps; }
};

// Packets, bytes and a digest of the bytes per kind of stream in a file.
struct Contents {
    std::map<AVMediaType, int64_t> packets;
    std::map<AVMediaType, int64_t> bytes;
    std::map<AVMediaType, uint64_t> digest;

    bool operator==(const Contents&) const = default;
};

Contents Inspect(const fs::path& file) {
    Contents contents;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) {
        return contents;
    }
    tw::media::InputFormatPtr context(raw);
    avformat_find_stream_info(context.get(), nullptr);
    tw::media::PacketPtr packet = tw::media::MakePacket();
    while (av_read_frame(context.get(), packet.get()) >= 0) {
        const AVMediaType type = context->streams[packet->stream_index]->codecpar->codec_type;
        ++contents.packets[type];
        contents.bytes[type] += packet->size;
        uint64_t& digest = contents.digest.try_emplace(type, 14695981039346656037ull).first->second;
        for (int i = 0; i < packet->size; ++i) {
            digest = (digest ^ packet->data[i]) * 1099511628211ull;  // FNV-1a
        }
        av_packet_unref(packet.get());
    }
    return contents;
}

// The frames a job writes: video pictures, or sound frames for a job without pictures.
int64_t Frames(const Contents& c) {
    const auto video = c.packets.find(AVMEDIA_TYPE_VIDEO);
    if (video != c.packets.end()) {
        return video->second;
    }
    const auto audio = c.packets.find(AVMEDIA_TYPE_AUDIO);
    return audio == c.packets.end() ? 0 : audio->second;
}

void PrintRun(const Job& job, const char* runner, int threads, int64_t frames, const Sample& s,
              int seconds) {
    BenchSource source = job.source;
    source.seconds = seconds;
    std::printf(
        "run job=%s source=%s runner=%s threads=%d frames=%lld fps=%.1f cpu_s=%.2f wall_s=%.2f "
        "peak_mb=%.1f\n",
        job.name.c_str(), Describe(source).c_str(), runner, threads, static_cast<long long>(frames),
        s.wall > 0 ? static_cast<double>(frames) / s.wall : 0.0, s.cpu, s.wall, s.peak);
    std::fflush(stdout);
}

void Ratio(const Bench& bench, const Job& job, int seconds) {
    // Warms the file cache and the libraries.
    const int reps = bench.RepsFor(bench.Reference(job, seconds, 1).wall);
    std::vector<Sample> engine, reference;
    for (int i = 0; i < reps; ++i) {
        // Alternating which goes first evens out a machine that slowly gets busier.
        if (i % 2 == 0) {
            engine.push_back(bench.Engine(job, seconds, 1));
            reference.push_back(bench.Reference(job, seconds, 1));
        } else {
            reference.push_back(bench.Reference(job, seconds, 1));
            engine.push_back(bench.Engine(job, seconds, 1));
        }
    }
    const Contents ours = Inspect(bench.folder / ("engine-" + job.name + "-0" + job.extension));
    const Contents theirs = Inspect(bench.folder / ("reference-" + job.name + job.extension));
    const Sample e = Medians(engine);
    const Sample r = Medians(reference);
    PrintRun(job, "engine", 1, Frames(ours), e, seconds);
    PrintRun(job, "reference", 1, Frames(theirs), r, seconds);
    std::printf(
        "ratio job=%s engine_over_reference=%.3f target=1.02 met=%s identical_packets=%s reps=%d\n",
        job.name.c_str(), e.wall / r.wall, e.wall / r.wall <= 1.02 ? "yes" : "no",
        ours == theirs ? "yes" : "no", reps);
    std::fflush(stdout);
}

void Concurrency(const Bench& bench, const Job& job, int seconds) {
    std::vector<Sample> serial, together;
    // One conversion alone, untimed otherwise: how long a job is decides how often to repeat it.
    const int reps = bench.RepsFor(bench.Engine(job, seconds, 1).wall);
    for (int i = 0; i < reps; ++i) {
        if (i % 2 == 0) {
            serial.push_back(bench.Engine(job, seconds, 1, 2, false));
            together.push_back(bench.Engine(job, seconds, 1, 2, true));
        } else {
            together.push_back(bench.Engine(job, seconds, 1, 2, true));
            serial.push_back(bench.Engine(job, seconds, 1, 2, false));
        }
    }
    const Sample s = Medians(serial);
    const Sample t = Medians(together);
    std::printf(
        "concurrency job=%s one_after_another_s=%.2f two_at_once_s=%.2f ratio=%.3f target=0.53 "
        "met=%s cpu_s=%.2f reps=%d\n",
        job.name.c_str(), s.wall, t.wall, t.wall / s.wall, t.wall / s.wall <= 0.53 ? "yes" : "no",
        t.cpu, reps);
    std::fflush(stdout);
}

void Threads(const Bench& bench, const Job& job, int seconds) {
    std::map<int, std::vector<Sample>> samples;
    const int counts[] = {1, 0, 2};
    for (int i = 0; i < bench.reps; ++i) {
        for (int k = 0; k < 3; ++k) {
            const int threads = counts[(k + i) % 3];
            samples[threads].push_back(bench.Engine(job, seconds, threads));
        }
    }
    const Sample one = Medians(samples[1]);
    const Sample automatic = Medians(samples[0]);
    const Sample two = Medians(samples[2]);
    std::printf(
        "threads job=%s t1_s=%.2f t0_s=%.2f t2_s=%.2f t0_over_t1=%.3f t0_over_t2=%.3f "
        "target=t0<t1 met=%s cpu_t1_s=%.2f cpu_t0_s=%.2f cpu_t2_s=%.2f peak_t0_mb=%.1f\n",
        job.name.c_str(), one.wall, automatic.wall, two.wall, automatic.wall / one.wall,
        automatic.wall / two.wall, automatic.wall < one.wall ? "yes" : "no", one.cpu, automatic.cpu,
        two.cpu, automatic.peak);
    std::fflush(stdout);
}

void Memory(const Bench& bench, const Job& job) {
    const Sample shortRun = bench.Engine(job, 10, 1);
    const Sample longRun = bench.Engine(job, 60, 1);
    const double growth = (longRun.peak - shortRun.peak) / shortRun.peak * 100.0;
    std::printf(
        "memory job=%s peak_10s_mb=%.1f peak_60s_mb=%.1f growth_pct=%.1f target=10 met=%s\n",
        job.name.c_str(), shortRun.peak, longRun.peak, growth, growth <= 10.0 ? "yes" : "no");
    std::fflush(stdout);
}

// The same job converted in a worker process and in the converting process itself; the peak is
// the converting process's own (the worker's encoders are not in it).
void Workers(const Bench& bench, const Job& job, int seconds) {
    std::vector<Sample> here, worker;
    const int reps = bench.RepsFor(bench.Engine(job, seconds, 1).wall);
    for (int i = 0; i < reps; ++i) {
        if (i % 2 == 0) {
            here.push_back(bench.Engine(job, seconds, 1));
            worker.push_back(bench.Engine(job, seconds, 1, 1, false, true));
        } else {
            worker.push_back(bench.Engine(job, seconds, 1, 1, false, true));
            here.push_back(bench.Engine(job, seconds, 1));
        }
    }
    const Sample h = Medians(here);
    const Sample w = Medians(worker);
    std::printf(
        "workers job=%s in_process_s=%.3f worker_s=%.3f worker_over_in_process=%.3f target=1.02 "
        "met=%s peak_in_process_mb=%.1f peak_beside_worker_mb=%.1f reps=%d\n",
        job.name.c_str(), h.wall, w.wall, w.wall / h.wall, w.wall / h.wall <= 1.02 ? "yes" : "no",
        h.peak, w.peak, reps);
    std::fflush(stdout);
}

// The same job in worker processes, in one piece and in segments (two at once, the default
// length). Targets: the MPEG-4 device job at most 0.60 of the one-piece time, the H.264 job with
// automatic threads never slower; all workers together at most two one-piece workers' memory.
void Segments(const Bench& bench, const Job& job, int seconds) {
    constexpr int kAtOnce = 2;
    const int threads = job.h264 ? 0 : 1;
    std::vector<Sample> whole, parts;
    for (int i = 0; i < bench.reps; ++i) {
        if (i % 2 == 0) {
            whole.push_back(bench.Engine(job, seconds, threads, 1, false, true, 1));
            parts.push_back(bench.Engine(job, seconds, threads, 1, false, true, kAtOnce));
        } else {
            parts.push_back(bench.Engine(job, seconds, threads, 1, false, true, kAtOnce));
            whole.push_back(bench.Engine(job, seconds, threads, 1, false, true, 1));
        }
    }
    const Sample w = Medians(whole);
    const Sample p = Medians(parts);
    const double target = job.h264 ? 1.00 : 0.60;
    const double ratio = p.wall / w.wall;
    std::printf(
        "segments job=%s threads=%s one_piece_s=%.3f segmented_s=%.3f "
        "segmented_over_one_piece=%.3f "
        "target=%.2f met=%s workers_mb=%.1f one_piece_worker_mb=%.1f memory_met=%s reps=%d\n",
        job.name.c_str(), threads == 0 ? "auto" : "1", w.wall, p.wall, ratio, target,
        ratio <= target ? "yes" : "no", p.workers, w.workers,
        p.workers <= kAtOnce * w.workers ? "yes" : "no", bench.reps);
    std::fflush(stdout);
}

// From asking for a worker to having reaped it, for a request it refuses at once: what every
// conversion in a worker pays before its work begins. Cold: the program's loading and start;
// with a spare: a worker started ahead (given the time a conversion would take to load it).
void WorkerStartup(int reps) {
    struct Ignore : tw::jobs::SupervisorEvents {
        void Started(const tw::jobs::RunFigures&) override {}
        void Progress(const tw::jobs::RunFigures&) override {}
        void Log(int, const std::string&) override {}
        void Message(tw::jobs::Report::MessageKind, const std::string&) override {}
        void PauseHeld(bool, const tw::jobs::RunFigures&) override {}
        void Stopped(const tw::jobs::RunFigures&) override {}
        void Failed(const tw::jobs::RunTexts&) override {}
        void Done(const tw::jobs::RunFigures&, const tw::jobs::RunTexts&) override {}
        tw::jobs::Control Wanted() override { return tw::jobs::Control::Run; }
    } events;
    tw::jobs::WorkerSupervisor supervisor;
    for (const bool spare : {false, true}) {
        tw::jobs::SpareWorker::Instance().SetEnabled(spare);
        std::vector<double> ms;
        for (int i = 0; i < std::max(reps, 21) + (spare ? 1 : 0); ++i) {
            if (spare) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
            }
            const auto start = std::chrono::steady_clock::now();
            const tw::jobs::WorkerOutcome outcome = supervisor.Run("{}", events);
            // With spares, the first run finds none yet.
            if (!spare || i > 0) {
                ms.push_back(Seconds(start) * 1000.0);
            }
            if (outcome.refusal.empty()) {
                std::fprintf(stderr, "the worker did not answer as expected: %s\n",
                             outcome.death.c_str());
                std::exit(1);
            }
        }
        const double median = Median(ms);
        std::printf(
            "worker_startup spare=%s median_ms=%.1f min_ms=%.1f target=50 met=%s reps=%zu\n",
            spare ? "yes" : "no", median, *std::min_element(ms.begin(), ms.end()),
            median <= 50 ? "yes" : "no", ms.size());
        std::fflush(stdout);
    }
}

std::set<std::string> Split(const std::string& text) {
    std::set<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        items.insert(item);
    }
    return items;
}

std::string LoadAverage() {
    double load[3] = {};
    if (getloadavg(load, 3) != 3) {
        return "unknown";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f/%.2f/%.2f", load[0], load[1], load[2]);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "child") {
        return Child(argc, argv);
    }
    Bench bench;
    std::set<std::string> jobs;
    std::set<std::string> sections = {"ratio",  "concurrency", "threads",
                                      "memory", "workers",     "segments"};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--reps") {
            bench.reps = std::max(1, std::atoi(argv[i + 1]));
        } else if (option == "--jobs") {
            jobs = Split(argv[i + 1]);
        } else if (option == "--sections") {
            sections = Split(argv[i + 1]);
        } else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }
    tw::platform::StderrMessageService messages;
    tw::platform::ScopedMessageService install(messages);
    // The worker program of this build, unless another is named.
    setenv("TIDEWELL_WORKER", TW_CLI_PATH, 0);
    bench.folder = OutputFolder();
    fs::create_directories(bench.folder);

    constexpr int kSeconds = 30;
    std::vector<const Job*> chosen;
    for (const Job& job : Jobs()) {
        if (jobs.empty() || jobs.count(job.name)) {
            chosen.push_back(&job);
        }
    }
    // Made before anything is timed.
    for (const Job* job : chosen) {
        bench.Source(*job, kSeconds);
        if (sections.count("memory") || sections.count("segments")) {
            bench.Source(*job, 10);
            bench.Source(*job, 60);
        }
    }
    std::printf("start load=%s reps=%d\n", LoadAverage().c_str(), bench.reps);
    std::fflush(stdout);
    if (sections.count("workers")) {
        WorkerStartup(bench.reps);
    }
    for (const Job* chosenJob : chosen) {
        const Job& job = *chosenJob;
        if (sections.count("ratio")) {
            Ratio(bench, job, kSeconds);
        }
        if (sections.count("concurrency")) {
            Concurrency(bench, job, kSeconds);
        }
        if (sections.count("threads") && job.h264) {
            Threads(bench, job, kSeconds);
        }
        if (sections.count("memory")) {
            Memory(bench, job);
        }
        if (sections.count("workers")) {
            Workers(bench, job, kSeconds);
        }
        if (sections.count("segments")) {
            Segments(bench, job, 60);
        }
    }
    std::printf("end load=%s\n", LoadAverage().c_str());
    fs::remove_all(bench.folder);
    return 0;
}
