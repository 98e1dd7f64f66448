#pragma once

// The units the push source hands out.
//
// TFFSample is one timed unit of output: a picture in 32-bit BGRA (rows top first) or a block of
// signed 16-bit interleaved PCM. Its buffer is the library frame the filter graph or the
// resampler produced, reference counted and never copied again. The source owns a sample while it
// is queued; once handed out it is shared and read-only.
//
// TFFSubtitle is one decoded bitmap subtitle with its presentation time.

#include <cstdint>
#include <memory>

#include "media/av_ptr.h"

namespace tw::preview {

class TFFSample {
public:
    // start and stop are presentation times in seconds, the loop offset included.
    TFFSample(media::FramePtr frame, double start, double stop);

    const AVFrame& Frame() const { return *frame_; }
    const uint8_t* Buffer() const { return frame_->data[0]; }
    // Bytes in the buffer: stride × height for a picture, samples × channels × 2 for PCM.
    int Size() const;

    // Pictures.
    int Width() const { return frame_->width; }
    int Height() const { return frame_->height; }
    int Stride() const { return frame_->linesize[0]; }
    // Width ÷ height as the picture is meant to be seen (its pixels need not be square).
    double DisplayAspect() const;

    // PCM.
    int SampleCount() const { return frame_->nb_samples; }
    int Channels() const { return frame_->ch_layout.nb_channels; }

    double Start() const { return start_; }
    double Stop() const { return stop_; }
    // The first sample after opening or a seek; SegmentStart is the position, in seconds, the
    // segment it opens starts at.
    bool Discontinuity() const { return discontinuity_; }
    double SegmentStart() const { return segmentStart_; }

    // Only the source, before handing the sample out.
    AVFrame* MutableFrame() { return frame_.get(); }
    void MarkDiscontinuity(double segmentStart) {
        discontinuity_ = true;
        segmentStart_ = segmentStart;
    }

private:
    media::FramePtr frame_;
    double start_;
    double stop_;
    bool discontinuity_ = false;
    double segmentStart_ = 0.0;
};

using SamplePtr = std::shared_ptr<const TFFSample>;

class TFFSubtitle {
public:
    TFFSubtitle() = default;
    ~TFFSubtitle();
    TFFSubtitle(const TFFSubtitle&) = delete;
    TFFSubtitle& operator=(const TFFSubtitle&) = delete;

    AVSubtitle& Subtitle() { return subtitle_; }
    const AVSubtitle& Subtitle() const { return subtitle_; }

    // Presentation time in seconds, the loop offset included.
    double Time() const { return time_; }
    void SetTime(double seconds) { time_ = seconds; }

    // The span it is shown, in seconds.
    double WindowStart() const { return time_ + subtitle_.start_display_time / 1000.0; }
    double WindowEnd() const { return time_ + subtitle_.end_display_time / 1000.0; }

private:
    AVSubtitle subtitle_{};
    double time_ = 0.0;
};

}  // namespace tw::preview
