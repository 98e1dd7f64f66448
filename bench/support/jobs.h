#pragma once

// The standard jobs of the benchmarks: each names a source, the catalogue profile a user would
// pick (or a plain stream copy), the user filters, and the same job for the reference pipeline
// with the encoder settings the engine opens its encoders with.

#include <string>
#include <vector>

#include "bench_media.h"
#include "engine/convert_options.h"
#include "reference_pipeline.h"

namespace tw::bench {

struct Job {
    std::string name;
    BenchSource source;         // its length is the benchmark's choice
    std::string profile;       // catalogue description; empty = copy both streams
    std::string extension;     // of the target file
    bool userFilters = false;  // a standard filter: horizontal flip and a drawn box
    bool h264 = false;
    ReferenceJob reference;
};

const std::vector<Job>& Jobs();
// Null when no job has this name.
const Job* FindJob(const std::string& name);

// The options a task hands its converter for this job, made as the new-conversion wizard makes
// them: filters, the thread count, then the profile.
void ConfigureEngine(const Job& job, int threads, TAVConvertOptions& options);

}  // namespace tw::bench
