#pragma once

// The command line's trial run (--trial): which part of the source the sample takes, and what it
// tells of the whole conversion.

#include <optional>
#include <string>

#include "cli_arguments.h"
#include "engine/trial_run.h"

namespace tw::cli {

// The span the arguments ask of input (--start, --duration, else to the source's end); nullopt
// with error set when the source's length cannot be read.
std::optional<engine::Span> RequestedSpan(const Arguments& arguments, const std::string& input,
                                          std::string* error);

// What the converted sample says: its figures and the prediction for a span of spanSeconds, as
// lines for the user.
std::string TrialReport(const std::string& sample, double spanSeconds, double wallSeconds,
                        double setupSeconds);

}  // namespace tw::cli
