#include "bench_media.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/converter.h"
#include "platform/ui_dispatcher.h"

namespace tw::bench {

namespace fs = std::filesystem;

fs::path CacheFolder() {
    if (const char* own = std::getenv("TIDEWELL_BENCH_CACHE"); own && *own) {
        return own;
    }
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache) {
        return fs::path(cache) / "tidewell-bench";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return fs::path(home) / ".cache" / "tidewell-bench";
    }
    return fs::temp_directory_path() / "tidewell-bench";
}

std::string Describe(const BenchSource& source) {
    return std::to_string(source.width) + "x" + std::to_string(source.height) + "-" +
           std::to_string(source.seconds) + "s";
}

std::string EnsureSource(const BenchSource& source) {
    const fs::path folder = CacheFolder();
    fs::create_directories(folder);
    const fs::path file = folder / ("source-" + Describe(source) + ".mp4");
    if (fs::exists(file) && fs::file_size(file) > 0) {
        return file.string();
    }
    std::fprintf(stderr, "making %s (once) ...\n", file.c_str());
    platform::LoopDispatcher dispatcher;
    TAVConverter converter(&dispatcher);
    TAVConvertOptions& options = converter.ConvertOptions();
    options.SetInputFormat("lavfi");
    options.SetThreadCount(0);
    options.VideoOptions().SetEncoderVideoCodecName("libx264");
    // About what a camera or a download gives at these sizes.
    options.VideoOptions().SetBitrate(source.height >= 1080 ? 8'000'000 : 4'000'000);
    options.AudioOptions().SetEncoderAudioCodecName("aac");
    options.AudioOptions().SetBitrate(128'000);
    options.SetCodecOption("preset", "veryfast");
    options.SetCodecOption("g", "50");
    char graph[512];
    std::snprintf(graph, sizeof graph,
                  "testsrc2=size=%dx%d:rate=25:duration=%d,noise=alls=6:allf=t[out0];"
                  "anoisesrc=color=pink:amplitude=0.2:sample_rate=48000:duration=%d,"
                  "aformat=channel_layouts=stereo[out1]",
                  source.width, source.height, source.seconds, source.seconds);
    converter.SetInputFiles({graph});
    const fs::path partial = folder / ("source-" + Describe(source) + ".partial.mp4");
    converter.SetOutputFiles({partial.string()});
    converter.Start();
    dispatcher.RunUntil([&] { return !converter.IsWorking(); }, std::chrono::hours(2));
    if (!converter.ErrorMessage().empty() || !fs::exists(partial)) {
        std::fprintf(stderr, "could not make %s: %s\n", file.c_str(),
                     converter.ErrorMessage().c_str());
        std::exit(1);
    }
    fs::rename(partial, file);
    return file.string();
}

}  // namespace tw::bench
