#pragma once

// How a stream's pictures are meant to be turned for display: phones record sideways and say
// so in a display matrix (or, in older files, a "rotate" tag). The converter turns such pictures
// upright and so does the preview, both by this one reading.

struct AVStream;

namespace tw::media {

// Clockwise degrees the pictures are to be turned: 0, 90, 180 or 270 (the nearest quarter turn).
int DisplayRotation(const AVStream* stream);

}  // namespace tw::media
