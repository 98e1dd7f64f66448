#pragma once

// Which conversions go in segments, and where their segments begin and end. A segment begins
// at a key frame of the source, so that it decodes on its own, and ends just before the next
// segment's key frame; the first begins where the cut begins and the last ends where it ends.
// Each segment is an ordinary conversion of a span of the source; the sound (and subtitles)
// of the whole span are one more conversion beside them.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/convert_options.h"
#include "util/string_list.h"

namespace tw::segments {

struct SegmentSpan {
    int64_t startUs = 0;           // the run's StartTime
    int64_t lengthUs = INT64_MAX;  // the run's RecordingTime
    int64_t offsetUs = 0;          // where its pictures begin in the target's time line
    // The run's Engine.PictureClockShift and ContinuesPictures: its pictures are placed as the
    // whole conversion places them (all but the first segment).
    double clockShift = 0;
    bool continues = false;
};

struct SegmentPlan {
    std::vector<SegmentSpan> video;  // at least two
    // The sound or subtitles of the span go into the target: one more conversion converts
    // them, with the video left out.
    bool rest = false;
    double sourceSeconds = 0;  // as its header states; 0 when unknown
    int64_t endUs = 0;         // where the span ends (the last picture's time at most)

    // How long segment i lasts, in seconds.
    double SegmentSeconds(size_t i) const;
};

// Whether a conversion of inputs into outputs with these options may go in segments, from
// what it asks for alone: one file source and one target, pictures encoded (not copied, not
// written as images), nothing that counts across the whole run (frame or size limits, stream
// maps).
bool SegmentsPossible(const TAVConvertOptions& options, const TStringList& inputs,
                      const TStringList& outputs);

// Reads the source's video packets (without decoding them) and cuts the span the options ask
// for into segments of about lengthUs. An empty video list when the span is shorter than two
// segments or the source has no usable key frames. Throws EAVError when the source cannot be
// read; a run in one piece then says why in its own words.
SegmentPlan PlanSegments(const std::string& source, const std::string& target,
                         const TAVConvertOptions& options, int64_t lengthUs);

}  // namespace tw::segments
