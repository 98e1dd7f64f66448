#pragma once

// A trial run: a short sample of the span to convert, converted with the request's settings, and
// what it tells of the whole span (how big the target gets, how long converting takes).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tw::engine {

inline constexpr int64_t kTrialSampleUs = 10'000'000;

struct Span {
    int64_t startUs = 0;
    int64_t lengthUs = 0;
};

// The span a conversion of source takes: from startUs for lengthUs, or to the source's end when
// no length is given or it reaches past the end. nullopt with error set when the source's length
// cannot be read or the start is at or past its end.
std::optional<Span> SpanOfSource(const std::string& source, int64_t startUs,
                                 std::optional<int64_t> lengthUs, std::string* error);

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

// What the converted sample at sample says, and its prediction for a span of spanSeconds, the
// conversion having taken wallSeconds of which setupSeconds before the first picture. nullopt
// when the sample cannot be read back.
struct TrialResult {
    TrialFigures figures;
    TrialPrediction prediction;
};
std::optional<TrialResult> MeasureTrial(const std::string& sample, double spanSeconds,
                                        double wallSeconds, double setupSeconds);

// The result in words: "10.0 s converted in 2.1 s, 1.4 MB", and "Predicted for all 0:01:30:
// 12.5 MB, about 0:00:19 to convert".
std::string TrialSampleText(const TrialResult& result);
std::string TrialPredictionText(const TrialResult& result, double spanSeconds);

// The timing of a trial run: started as the conversion starts, told of each progress report
// (the first ends the setup) and read as it ends.
class TrialClock {
public:
    using Clock = std::chrono::steady_clock;

    void Start() {
        began_ = Clock::now();
        firstProgress_.reset();
    }
    void Progressed() {
        if (!firstProgress_) {
            firstProgress_ = Clock::now();
        }
    }
    // Seconds from the start to now, and of them the setup (all of them when no progress was
    // reported).
    double WallSeconds() const { return Seconds(Clock::now()); }
    double SetupSeconds() const { return Seconds(firstProgress_.value_or(Clock::now())); }

private:
    double Seconds(Clock::time_point until) const {
        return std::chrono::duration<double>(until - began_).count();
    }

    Clock::time_point began_ = Clock::now();
    std::optional<Clock::time_point> firstProgress_;
};

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
