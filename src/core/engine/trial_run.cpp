#include "engine/trial_run.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "media/av_ptr.h"
#include "segments/segment_plan.h"

namespace tw::engine {

namespace {

std::string Megabytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    return text;
}

std::string Duration(double seconds) {
    const long long whole = std::llround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return text;
}

}  // namespace

std::optional<Span> SpanOfSource(const std::string& source, int64_t startUs,
                                 std::optional<int64_t> lengthUs, std::string* error) {
    const std::optional<double> seconds = MediaSeconds(source);
    if (!seconds) {
        *error = source + ": the source does not say how long it is, so no sample can be taken";
        return std::nullopt;
    }
    const auto end = static_cast<int64_t>(std::llround(*seconds * 1e6));
    if (startUs >= end) {
        *error = source + ": the start is at or past the source's end";
        return std::nullopt;
    }
    const int64_t toEnd = end - startUs;
    return Span{startUs, lengthUs && *lengthUs > 0 ? std::min(*lengthUs, toEnd) : toEnd};
}

Span TrialSample(const Span& span) {
    if (span.lengthUs <= kTrialSampleUs) {
        return span;
    }
    return {span.startUs + (span.lengthUs - kTrialSampleUs) / 2, kTrialSampleUs};
}

std::string TrialSampleName(const std::string& target) {
    const std::filesystem::path path(target);
    return (path.parent_path() / (path.stem().string() + ".sample" + path.extension().string()))
        .string();
}

TrialPrediction PredictFromTrial(const TrialFigures& figures, double spanSeconds) {
    if (figures.sampleSeconds <= 0) {
        return {figures.sampleFileBytes, figures.sampleWallSeconds};
    }
    const double scale = spanSeconds / figures.sampleSeconds;
    // What the container adds beyond the packets: a fixed header, and per packet an index entry
    // and framing, which grow with the length as the packets do. Half of it is taken as fixed,
    // half as growing: the header of a short sample weighs more than in the whole.
    const double overhead = static_cast<double>(
        std::max<int64_t>(0, figures.sampleFileBytes - figures.samplePayloadBytes));
    const double size = static_cast<double>(figures.samplePayloadBytes) * scale + overhead / 2 +
                        overhead / 2 * scale;
    if (figures.steadySecondsPerSecond > 0) {
        double pace = figures.steadySecondsPerSecond;
        if (figures.piecesAtOnce > 1 && figures.sampleCpuSeconds > 0) {
            // Each piece at the sample's pace, unless the processors run out first.
            const double processors = std::max(1u, std::thread::hardware_concurrency());
            const double cpuPerSecond = figures.sampleCpuSeconds / figures.sampleSeconds;
            pace = std::min(pace, std::max(pace / figures.piecesAtOnce, cpuPerSecond / processors));
        }
        const double rest = std::max(0.0, spanSeconds - figures.sampleSeconds);
        return {static_cast<int64_t>(size), figures.sampleWallSeconds + rest * pace};
    }
    const double setup = std::clamp(figures.sampleSetupSeconds, 0.0, figures.sampleWallSeconds);
    return {static_cast<int64_t>(size), setup + (figures.sampleWallSeconds - setup) * scale};
}

TrialTiming TrialClock::Timing() const {
    const Clock::time_point now = Clock::now();
    TrialTiming timing;
    timing.wallSeconds = Seconds(now);
    timing.setupSeconds = first_ ? Seconds(first_->at) : timing.wallSeconds;
    timing.cpuSeconds = std::max(0.0, CpuSeconds() - cpuAtStart_);
    // Half a second of media between the reports at the least, so that the pace is not one
    // report's jitter.
    if (first_ && last_ && last_->convertedSeconds - first_->convertedSeconds >= 0.5) {
        timing.steadySecondsPerSecond =
            std::chrono::duration<double>(last_->at - first_->at).count() /
            (last_->convertedSeconds - first_->convertedSeconds);
    }
    return timing;
}

double TrialClock::CpuSeconds() {
    double seconds = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        if (getrusage(who, &usage) == 0) {
            seconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        }
    }
    return seconds;
}

int PiecesAtOnce(const TAVConvertOptions& options, const std::string& source,
                 const std::string& target, double spanSeconds, bool inOwnProcess, int workers,
                 int segmentSeconds) {
    // As the converter plans it: segments of about segmentSeconds, when there are two at least.
    const int segments = segmentSeconds > 0 ? static_cast<int>(spanSeconds / segmentSeconds) : 0;
    if (!inOwnProcess || workers < 2 || segments < 2 ||
        !segments::SegmentsPossible(options, {source}, {target})) {
        return 1;
    }
    return std::min(workers, segments);
}

std::optional<TrialResult> MeasureTrial(const std::string& sample, double spanSeconds,
                                        const TrialTiming& timing, int piecesAtOnce) {
    const std::optional<MediaExtent> extent = ReadMediaExtent(sample);
    std::error_code failed;
    const auto fileBytes = std::filesystem::file_size(sample, failed);
    if (!extent || failed) {
        return std::nullopt;
    }
    TrialResult result;
    result.figures.sampleFileBytes = static_cast<int64_t>(fileBytes);
    result.figures.samplePayloadBytes = extent->payloadBytes;
    result.figures.sampleSeconds = extent->seconds;
    result.figures.sampleWallSeconds = timing.wallSeconds;
    result.figures.sampleSetupSeconds = timing.setupSeconds;
    result.figures.steadySecondsPerSecond = timing.steadySecondsPerSecond;
    result.figures.sampleCpuSeconds = timing.cpuSeconds;
    result.figures.piecesAtOnce = piecesAtOnce;
    result.prediction = PredictFromTrial(result.figures, spanSeconds);
    return result;
}

std::string TrialSampleText(const TrialResult& result) {
    char text[128];
    std::snprintf(text, sizeof text, "%.1f s converted in %.1f s, %s", result.figures.sampleSeconds,
                  result.figures.sampleWallSeconds,
                  Megabytes(static_cast<double>(result.figures.sampleFileBytes)).c_str());
    return text;
}

std::string TrialPredictionText(const TrialResult& result, double spanSeconds) {
    return "Predicted for all " + Duration(spanSeconds) + ": " +
           Megabytes(static_cast<double>(result.prediction.sizeBytes)) + ", about " +
           Duration(result.prediction.seconds) + " to convert";
}

std::optional<double> MediaSeconds(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return std::nullopt;
    }
    media::InputFormatPtr input(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0 || raw->duration <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(raw->duration) / AV_TIME_BASE;
}

std::optional<MediaExtent> ReadMediaExtent(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return std::nullopt;
    }
    media::InputFormatPtr input(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        return std::nullopt;
    }
    MediaExtent extent;
    extent.seconds = raw->duration > 0 ? static_cast<double>(raw->duration) / AV_TIME_BASE : 0;
    media::PacketPtr packet = media::MakePacket();
    while (av_read_frame(raw, packet.get()) >= 0) {
        extent.payloadBytes += packet->size;
        av_packet_unref(packet.get());
    }
    return extent;
}

}  // namespace tw::engine
