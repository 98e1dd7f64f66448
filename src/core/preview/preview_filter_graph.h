#pragma once

// The preview's video filter graph: decoded pictures go into a buffer source "src", through an
// optional deinterlacer, the turn that makes a sideways recording upright (as the converter turns
// it) and the user's filter chain, and come out of the sink "out" as 32-bit BGRA. The chain text is
// the stored form the filter list writes; it is translated here. An empty or blank text links the
// source straight to the sink.
//
// Build raises EAVError with "Can not create filter", "Can not init filter", "Parse Graph Failed",
// "line filter failed" or "config graph failed"; the graph built before, if any, then stays in
// use. One thread at a time.

#include <string>

#include "media/av_ptr.h"

namespace tw::preview {

// The pictures a graph is built for.
struct PictureShape {
    int width = 0;
    int height = 0;
    int pixelFormat = -1;
    AVRational timeBase{1, 25};
    AVRational sampleAspect{0, 1};
    bool deinterlace = false;  // bottom-field-first pictures arrive
    int rotation = 0;          // clockwise degrees the pictures are turned for display

    bool operator==(const PictureShape& other) const {
        return width == other.width && height == other.height && pixelFormat == other.pixelFormat &&
               av_cmp_q(timeBase, other.timeBase) == 0 &&
               av_cmp_q(sampleAspect, other.sampleAspect) == 0 &&
               deinterlace == other.deinterlace && rotation == other.rotation;
    }
};

class PreviewFilterGraph {
public:
    // scalerFlags go to the scalers the graph inserts on its own (4: bicubic).
    void Build(const PictureShape& shape, const std::string& chainText, int scalerFlags);
    void Reset();

    bool Built() const { return graph_ != nullptr; }
    const PictureShape& Shape() const { return shape_; }

    // Hands a decoded picture over (the graph takes its own reference); nullptr ends the stream.
    int Push(AVFrame* frame);
    // 0 with a picture, AVERROR(EAGAIN) when none is ready, AVERROR_EOF after the end.
    int Pull(AVFrame* frame);

    int OutputWidth() const;
    int OutputHeight() const;
    AVRational OutputTimeBase() const;

private:
    media::FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    PictureShape shape_;
};

}  // namespace tw::preview
