#pragma once

// Sources for the benchmarks: the library's moving test pattern with a little film grain (so
// that encoders work as hard as on camera footage) and pink noise for sound, encoded once with
// the program's own engine into H.264 + AAC MP4 and kept in a cache folder.

#include <filesystem>
#include <string>

namespace tw::bench {

struct BenchSource {
    int width = 1280;
    int height = 720;
    int seconds = 30;
};

// $TIDEWELL_BENCH_CACHE, else $XDG_CACHE_HOME/tidewell-bench, else ~/.cache/tidewell-bench.
std::filesystem::path CacheFolder();

// "1280x720-30s"
std::string Describe(const BenchSource& source);

// The source's file, made first when the cache lacks it. Ends the program on failure.
std::string EnsureSource(const BenchSource& source);

}  // namespace tw::bench
