#pragma once

// Joins the converted segments of one conversion into its target by remuxing only: the
// pictures of the segments, one after the other with their times continued, and the streams
// of the rest (the sound and subtitles of the whole span) beside them, interleaved as a muxer
// wants them. Nothing is decoded or encoded again.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/convert_options.h"

namespace tw::segments {

struct JoinedPart {
    std::string path;
    int64_t offsetUs = 0;  // where its pictures begin in the target's time line
};

// Whether a part kept from an earlier run is still whole: the size it had when it was finished,
// and readable as media.
bool PartIsWhole(const std::string& path, int64_t size);

// Writes path in the target's container (the options' OutputFormat, else the one target's name
// calls for). stopRequested is asked between packets; when it answers true the join ends and
// returns false, leaving path incomplete. Throws EAVError when a part cannot be read (the
// message names it) and ERunFailure when path cannot be written.
bool JoinSegments(const std::vector<JoinedPart>& video, const std::string& rest,
                  const std::string& path, const std::string& target,
                  const TAVConvertOptions& options, const std::function<bool()>& stopRequested);

}  // namespace tw::segments
