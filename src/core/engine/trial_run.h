#pragma once

// A trial run: a short sample of the span to convert, converted with the request's settings, and
// what it tells of the whole span (how big the target gets, how long converting takes).

#include <cstdint>
#include <optional>
#include <string>

namespace tw::engine {

inline constexpr int64_t kTrialSampleUs = 10'000'000;

struct Span {
    int64_t startUs = 0;
    int64_t lengthUs = 0;
};

// The sample: kTrialSampleUs from the middle of the span, or the whole span when it is shorter.
Span TrialSample(const Span& span);

// The sample's target beside target: "film.mp4" gives "film.sample.mp4".
std::string TrialSampleName(const std::string& target);

struct TrialFigures {
    int64_t sampleFileBytes = 0;
    int64_t samplePayloadBytes = 0;  // the packets' bytes; the rest is the container's own
    double sampleSeconds = 0;        // media time the sample holds
    double sampleWallSeconds = 0;    // how long converting it took
    double sampleSetupSeconds = 0;   // of that, before the first picture was converted
};

struct TrialPrediction {
    int64_t sizeBytes = 0;
    double seconds = 0;
};

// The figures scaled from the sample to a span of spanSeconds: the packets by length, the
// container's own bytes (headers, index) with them as far as they grow with it; the time spent
// converting by length, the setup (starting a worker, opening the files) once.
TrialPrediction PredictFromTrial(const TrialFigures& figures, double spanSeconds);

// The length of a media file in seconds (its container's duration); nullopt when the file does
// not open or does not say.
std::optional<double> MediaSeconds(const std::string& path);

// The bytes of every packet of a media file, and the media time they cover (the container's
// duration); nullopt when the file does not open.
struct MediaExtent {
    int64_t payloadBytes = 0;
    double seconds = 0;
};
std::optional<MediaExtent> ReadMediaExtent(const std::string& path);

}  // namespace tw::engine
