#include "preview/ff_sample.h"

#include <utility>

namespace tw::preview {

TFFSample::TFFSample(media::FramePtr frame, double start, double stop)
    : frame_(std::move(frame)), start_(start), stop_(stop) {}

int TFFSample::Size() const {
    if (frame_->nb_samples > 0) {
        return frame_->nb_samples * frame_->ch_layout.nb_channels * 2;
    }
    return frame_->linesize[0] * frame_->height;
}

double TFFSample::DisplayAspect() const {
    if (frame_->height <= 0) {
        return 0.0;
    }
    double aspect = static_cast<double>(frame_->width) / frame_->height;
    const AVRational sar = frame_->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0) {
        aspect *= av_q2d(sar);
    }
    return aspect;
}

TFFSubtitle::~TFFSubtitle() {
    avsubtitle_free(&subtitle_);
}

}  // namespace tw::preview
