#include "trial.h"

#include <cmath>

namespace tw::cli {

std::optional<engine::Span> RequestedSpan(const Arguments& arguments, const std::string& input,
                                          std::string* error) {
    const auto start = static_cast<int64_t>(std::llround(arguments.startSeconds.value_or(0) * 1e6));
    std::optional<int64_t> length;
    if (arguments.durationSeconds) {
        length = static_cast<int64_t>(std::llround(*arguments.durationSeconds * 1e6));
    }
    return engine::SpanOfSource(input, start, length, error);
}

std::string TrialReport(const std::string& sample, double spanSeconds, double wallSeconds,
                        double setupSeconds) {
    const std::optional<engine::TrialResult> result =
        engine::MeasureTrial(sample, spanSeconds, wallSeconds, setupSeconds);
    if (!result) {
        return sample + ": the sample cannot be read back\n";
    }
    return "Sample: " + sample + ", " + engine::TrialSampleText(*result) + "\n" +
           engine::TrialPredictionText(*result, spanSeconds) + "\n";
}

}  // namespace tw::cli
