#pragma once

// One conversion handed to a worker process: what TAVConverter's owner gave it (inputs, outputs,
// the options tree) plus the log level and priority the worker runs with. On the wire it is one
// JSON object on one line; the options travel in their stored XML form (as the task database
// keeps them) together with the unpublished values that form leaves out, so that the worker's
// tree equals the owner's.

#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/convert_options.h"
#include "util/string_list.h"

namespace tw::jobs {

inline constexpr int kProtocolVersion = 1;

// A request the worker cannot carry out: not JSON, another protocol version, a missing or
// mistyped member, settings that do not read. The message says which.
class ERequestError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a request holds besides the options tree.
struct ConversionRequest {
    TStringList inputs;
    TStringList outputs;
    int logLevel = 24;  // the most verbose library level reported
    int priority = -1;  // 0..5 as in the configuration; -1 leaves the worker's as it started
};

// The request's line, without the line break.
std::string RequestLine(const ConversionRequest& request, const TAVConvertOptions& options);

// Reads the options into options, the rest into request. Throws ERequestError.
void ParseRequest(std::string_view line, ConversionRequest* request, TAVConvertOptions& options);

}  // namespace tw::jobs
