#include "engine/trial_run.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "media/av_ptr.h"

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
    const double setup = std::clamp(figures.sampleSetupSeconds, 0.0, figures.sampleWallSeconds);
    return {static_cast<int64_t>(size), setup + (figures.sampleWallSeconds - setup) * scale};
}

std::optional<TrialResult> MeasureTrial(const std::string& sample, double spanSeconds,
                                        double wallSeconds, double setupSeconds) {
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
    result.figures.sampleWallSeconds = wallSeconds;
    result.figures.sampleSetupSeconds = setupSeconds;
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
