#include "trial.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace tw::cli {

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

std::optional<engine::Span> RequestedSpan(const Arguments& arguments, const std::string& input,
                                          std::string* error) {
    const int64_t start =
        static_cast<int64_t>(std::llround(arguments.startSeconds.value_or(0) * 1e6));
    const std::optional<double> seconds = engine::MediaSeconds(input);
    if (!seconds) {
        *error = input + ": the source does not say how long it is, so no sample can be taken";
        return std::nullopt;
    }
    const int64_t end = static_cast<int64_t>(std::llround(*seconds * 1e6));
    if (start >= end) {
        *error = input + ": the start is at or past the source's end";
        return std::nullopt;
    }
    int64_t length = end - start;
    if (arguments.durationSeconds) {
        length =
            std::min(length, static_cast<int64_t>(std::llround(*arguments.durationSeconds * 1e6)));
    }
    return engine::Span{start, length};
}

std::string TrialReport(const std::string& sample, double spanSeconds, double wallSeconds,
                        double setupSeconds) {
    const std::optional<engine::MediaExtent> extent = engine::ReadMediaExtent(sample);
    std::error_code ignored;
    const auto fileBytes = std::filesystem::file_size(sample, ignored);
    if (!extent || ignored) {
        return sample + ": the sample cannot be read back\n";
    }
    engine::TrialFigures figures;
    figures.sampleFileBytes = static_cast<int64_t>(fileBytes);
    figures.samplePayloadBytes = extent->payloadBytes;
    figures.sampleSeconds = extent->seconds;
    figures.sampleWallSeconds = wallSeconds;
    figures.sampleSetupSeconds = setupSeconds;
    const engine::TrialPrediction prediction = engine::PredictFromTrial(figures, spanSeconds);
    char text[512];
    std::snprintf(text, sizeof text,
                  "Sample: %s, %.1f s converted in %.1f s, %s\n"
                  "Predicted for all %s: %s, about %s to convert\n",
                  sample.c_str(), extent->seconds, wallSeconds,
                  Megabytes(static_cast<double>(fileBytes)).c_str(), Duration(spanSeconds).c_str(),
                  Megabytes(static_cast<double>(prediction.sizeBytes)).c_str(),
                  Duration(prediction.seconds).c_str());
    return text;
}

}  // namespace tw::cli
