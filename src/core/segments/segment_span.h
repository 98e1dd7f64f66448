#pragma once

// A segment's share of the source, for a computer that converts it without the source: the
// video packets its run reads, copied as they are (no re-encode) into a small file.

#include <cstdint>
#include <string>

namespace tw::segments {

// Copies the source's video packets (no re-encode) that a run converting [startUs, endUs) of it
// (times from the source's start, as a run's cut counts them) reads into file: from the key
// frame at or before startUs to the second key frame from endUs on (so that pictures the decoder
// reorders past the end are there too), in NUT, with times counted from the first packet. Returns
// how much later the file's first picture lies in the file's own count than in the source's (µs,
// negative: earlier): the same span of the file begins at startUs plus that. Throws EAVError with
// the library's reason.
int64_t CopySourceSpan(const std::string& source, const std::string& file, int64_t startUs,
                       int64_t endUs);

}  // namespace tw::segments
