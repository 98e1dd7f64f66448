#include "preview/filtered_picture.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "preview/preview_filter_graph.h"
#include "util/av_error.h"

namespace tw::preview {

namespace {
constexpr AVRational kMilliseconds{1, 1000};
constexpr int kBicubic = 4;
}  // namespace

media::FramePtr FilterPicture(const AVFrame& picture, double seconds,
                              const std::string& chainText) {
    PreviewFilterGraph graph;
    PictureShape shape;
    shape.width = picture.width;
    shape.height = picture.height;
    shape.pixelFormat = AV_PIX_FMT_BGRA;
    shape.timeBase = kMilliseconds;
    shape.sampleAspect = picture.sample_aspect_ratio;
    try {
        graph.Build(shape, chainText, kBicubic);
    } catch (const EAVError&) {
        return nullptr;
    }
    media::FramePtr input(av_frame_clone(&picture));
    if (!input) {
        return nullptr;
    }
    // Timed filters (burned-in subtitles) draw what belongs to this moment of the source.
    input->pts = static_cast<int64_t>(seconds * 1000.0);
    if (graph.Push(input.get()) < 0 || graph.Push(nullptr) < 0) {
        return nullptr;
    }
    media::FramePtr output = media::MakeFrame();
    if (graph.Pull(output.get()) < 0) {
        return nullptr;
    }
    return output;
}

}  // namespace tw::preview
