// What the preview costs on a 1080p H.264 source with stereo AAC:
//  - pictures per second the push source decodes and turns into BGRA when nothing waits for
//    them (one decoder thread, as the preview runs it);
//  - the processor share while the preview plays the source at normal speed on the wall clock
//    (demux, both decoders, BGRA conversion and scheduling; painting is the window's).
// The source is made once with the program's own engine and kept in the cache folder.
//   build/bench/preview_playback [seconds-to-play]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/message_service.h"
#include "platform/ui_dispatcher.h"
#include "preview/preview_graph.h"
#include "support/bench_media.h"

namespace {

namespace fs = std::filesystem;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(std::chrono::steady_clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

// Takes pictures as fast as the source hands them out, sound left out.
void Throughput(const std::string& file) {
    tw::preview::TFFPushSource source;
    source.SetAudioDisabled(true);
    if (!source.Load(file)) {
        std::fprintf(stderr, "cannot open %s\n", file.c_str());
        std::exit(1);
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    int pictures = 0;
    for (;;) {
        const tw::preview::Delivered delivered = source.DeliverVideo();
        if (delivered.result == tw::preview::Delivery::EndOfStream) {
            break;
        }
        if (delivered.sample) {
            ++pictures;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    const double wall = Seconds(std::chrono::steady_clock::now() - start);
    std::printf(
        "push source alone: %d pictures %dx%d in %.2f s = %.1f pictures/s decoded and "
        "converted to BGRA (%.0f%% of one core)\n",
        pictures, source.VideoWidth(), source.VideoHeight(), wall, pictures / wall,
        100.0 * (CpuSeconds() - cpuStart) / wall);
}

// Plays on the wall clock as the window does: the graph says when it wants to be asked again.
void Playing(const std::string& file, double seconds) {
    tw::preview::PreviewGraph graph;
    if (!graph.Player().OpenFile(file) || !graph.Activate()) {
        std::fprintf(stderr, "cannot open %s\n", file.c_str());
        std::exit(1);
    }
    graph.Run();
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    int shown = 0;
    while (Seconds(std::chrono::steady_clock::now() - start) < seconds) {
        const tw::preview::PreviewGraph::Step step = graph.Advance();
        shown += step.picture ? 1 : 0;
        if (step.reachedEnd) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(step.waitSeconds));
    }
    const double wall = Seconds(std::chrono::steady_clock::now() - start);
    std::printf(
        "playing at normal speed for %.1f s: %.0f%% of one core; %d pictures shown "
        "(%.1f/s), %lld dropped\n",
        wall, 100.0 * (CpuSeconds() - cpuStart) / wall, shown, shown / wall,
        static_cast<long long>(graph.DroppedPictures()));
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    tw::platform::StderrMessageService messages;
    tw::platform::ScopedMessageService install(messages);
    const std::string file = tw::bench::EnsureSource({1920, 1080, 30});
    std::printf("source: %s (1920x1080 25 fps H.264 at 8 Mbit/s, 48 kHz stereo AAC, 30 s)\n",
                file.c_str());
    Throughput(file);
    Playing(file, seconds);
    return 0;
}
