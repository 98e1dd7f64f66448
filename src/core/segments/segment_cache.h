#pragma once

// Where the segments of a conversion are kept, and what they were made from, so that a run cut
// short continues with the segments still missing: one folder per conversion under
// $XDG_CACHE_HOME/TidewellSoft/VideoConverter/segments/, holding the converted parts and a
// manifest (manifest.json) of the settings' digest, the source's size and modification time,
// the segments' bounds and the parts converted whole with their sizes.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "segments/segment_plan.h"

namespace tw::segments {

// The folder of the conversion of source into target (both as given; they are made absolute).
std::string SegmentFolder(const std::string& source, const std::string& target);

// A digest of a text (64-bit FNV-1a, in hex): the same text gives the same digest in every
// build and run.
std::string Digest(const std::string& text);

struct SegmentManifest {
    std::string digest;          // of the conversion's settings, source and target
    int64_t sourceSize = -1;     // bytes
    int64_t sourceModified = 0;  // ns since the epoch
    std::vector<SegmentSpan> bounds;
    bool rest = false;
    std::map<std::string, int64_t> finished;  // a part's file name: its size when it was whole

    // Whether the parts of other were made from what this one describes.
    bool SameMaking(const SegmentManifest& other) const;
};

// False when there is no manifest or it does not read.
bool ReadManifest(const std::string& folder, SegmentManifest* manifest);
// Written to a temporary name and renamed. Throws EAVError with the system's reason.
void WriteManifest(const std::string& folder, const SegmentManifest& manifest);

// The source's size and modification time into manifest; false when it cannot be read.
bool DescribeSource(const std::string& source, SegmentManifest* manifest);

}  // namespace tw::segments
