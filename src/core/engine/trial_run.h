#pragma once

// A trial run: a short sample of the span to convert, converted with the request's settings, and
// what it tells of the whole span (how big the target gets, how long converting takes).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/convert_options.h"

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
    // Seconds spent per second of media while the sample converted steadily (from the first
    // progress report to the last); 0 when too few reports came to tell.
    double steadySecondsPerSecond = 0;
    // Processor seconds the sample's conversion used (0: not known), and the conversions the
    // whole span runs at once (segments converted side by side; 1: in one piece).
    double sampleCpuSeconds = 0;
    int piecesAtOnce = 1;
};

struct TrialPrediction {
    int64_t sizeBytes = 0;
    double seconds = 0;
};

// The figures scaled from the sample to a span of spanSeconds: the packets by length, the
// container's own bytes (headers, index) with them as far as they grow with it. The time: the
// sample's own, and the rest of the span at the steady pace, so that what a run pays once
// (starting a worker, opening the files, decoding up to the sample's start, finishing the
// target) is counted once; without a steady pace, the time by length with the setup once.
// Pieces converted side by side share the rest out, as far as the processors the sample left
// idle can take them.
TrialPrediction PredictFromTrial(const TrialFigures& figures, double spanSeconds);

// How long converting the sample took (TrialClock).
struct TrialTiming {
    double wallSeconds = 0;
    double setupSeconds = 0;            // of that, before the first progress report
    double steadySecondsPerSecond = 0;  // as in TrialFigures
    double cpuSeconds = 0;              // this process's and its ended workers'; 0: unknown
};

// What the converted sample at sample says, and its prediction for a span of spanSeconds.
// nullopt when the sample cannot be read back.
struct TrialResult {
    TrialFigures figures;
    TrialPrediction prediction;
};
std::optional<TrialResult> MeasureTrial(const std::string& sample, double spanSeconds,
                                        const TrialTiming& timing, int piecesAtOnce);

// How many conversions the whole span of source into target runs at once when a converter
// goes in segments with these settings (TAVConverter::SetSegmenting; only in worker
// processes): 1 for a conversion in one piece.
int PiecesAtOnce(const TAVConvertOptions& options, const std::string& source,
                 const std::string& target, double spanSeconds, bool inOwnProcess, int workers,
                 int segmentSeconds);

// The result in words: "10.0 s converted in 2.1 s, 1.4 MB", and "Predicted for all 0:01:30:
// 12.5 MB, about 0:00:19 to convert".
std::string TrialSampleText(const TrialResult& result);
std::string TrialPredictionText(const TrialResult& result, double spanSeconds);

// The timing of a trial run: started as the conversion starts, told of each progress report
// with the media seconds converted by then (the first report ends the setup) and read as it
// ends.
class TrialClock {
public:
    using Clock = std::chrono::steady_clock;

    void Start() {
        began_ = Clock::now();
        cpuAtStart_ = CpuSeconds();
        first_.reset();
        last_.reset();
    }
    void Progressed(double convertedSeconds) {
        const Report report{Clock::now(), convertedSeconds};
        if (!first_) {
            first_ = report;
        }
        last_ = report;
    }
    // From the start to now: the whole time, the setup (all of it when no progress was
    // reported) and the steady pace between the first report and the last.
    TrialTiming Timing() const;

private:
    struct Report {
        Clock::time_point at;
        double convertedSeconds = 0;
    };

    double Seconds(Clock::time_point until) const {
        return std::chrono::duration<double>(until - began_).count();
    }
    // Of this process and the workers it has seen end.
    static double CpuSeconds();

    Clock::time_point began_ = Clock::now();
    double cpuAtStart_ = 0;
    std::optional<Report> first_;
    std::optional<Report> last_;
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
