#include "engine/black_bar_detection.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <cstdlib>

#include "media/av_ptr.h"
#include "media/display_rotation.h"
#include "media/library_error.h"
#include "util/format.h"

namespace tw::engine {

namespace {

// Points spread over the source (the middle of each tenth), and pictures looked at from each;
// the detection leaves out the first two pictures it gets.
constexpr int kSamplePoints = 10;
constexpr int kPicturesPerPoint = 3;
// How far the decoder may have to go from a key picture to the point asked for.
constexpr int kMaxPicturesToPoint = 250;

std::string TurnFilters(int rotation) {
    switch (rotation) {
        case 90:
            return "transpose=clock,";
        case 180:
            return "hflip,vflip,";
        case 270:
            return "transpose=cclock,";
        default:
            return {};
    }
}

int MetadataInt(const AVFrame& frame, const char* key, bool* found) {
    const AVDictionaryEntry* entry = av_dict_get(frame.metadata, key, nullptr, 0);
    if (!entry) {
        *found = false;
        return 0;
    }
    return std::atoi(entry->value);
}

class Detection {
public:
    // Returns false with reason set when the file cannot be read.
    bool Open(const std::string& path, std::string* reason);
    // Looks at pictures from points spread over the whole source.
    void LookThroughSource();
    std::optional<CropArea> Result() const;

private:
    void LookAt(int64_t position);
    bool BuildGraph(const AVFrame& first);
    bool Feed(AVFrame* picture);

    media::InputFormatPtr input_;
    media::CodecContextPtr decoder_;
    AVStream* stream_ = nullptr;
    int rotation_ = 0;
    media::FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    // The bounds of the picture that is not bar, as the detection last reported them.
    int x1_ = 0, y1_ = 0, x2_ = -1, y2_ = -1;
    int width_ = 0, height_ = 0;
    bool reported_ = false;
};

bool Detection::Open(const std::string& path, std::string* reason) {
    AVFormatContext* raw = nullptr;
    int result = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (result < 0) {
        *reason = media::LibraryErrorText(result);
        return false;
    }
    input_.reset(raw);
    if ((result = avformat_find_stream_info(raw, nullptr)) < 0) {
        *reason = media::LibraryErrorText(result);
        return false;
    }
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || !codec) {
        *reason = "the file has no picture that can be decoded";
        return false;
    }
    stream_ = raw->streams[index];
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        raw->streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    rotation_ = media::DisplayRotation(stream_);
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_ || avcodec_parameters_to_context(decoder_.get(), stream_->codecpar) < 0) {
        *reason = "out of memory";
        return false;
    }
    decoder_->thread_count = 1;
    if ((result = avcodec_open2(decoder_.get(), codec, nullptr)) < 0) {
        *reason = media::LibraryErrorText(result);
        return false;
    }
    return true;
}

bool Detection::BuildGraph(const AVFrame& first) {
    graph_.reset(avfilter_graph_alloc());
    if (!graph_) {
        return false;
    }
    graph_->nb_threads = 1;
    const AVRational sar =
        first.sample_aspect_ratio.num > 0 ? first.sample_aspect_ratio : AVRational{1, 1};
    const std::string sourceArgs = FormatPrintf(
        "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", first.width, first.height,
        first.format, stream_->time_base.num, stream_->time_base.den, sar.num, sar.den);
    if (avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in",
                                     sourceArgs.c_str(), nullptr, graph_.get()) < 0 ||
        avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph_.get()) < 0) {
        return false;
    }
    media::FilterInOutPtr outputs(avfilter_inout_alloc());
    media::FilterInOutPtr inputs(avfilter_inout_alloc());
    if (!outputs || !inputs) {
        return false;
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink_;
    // Bounds kept over every picture (no reset), in single rows and columns (round=2 is the
    // finest the filter allows; the raw bounds it reports are exact anyway).
    const std::string chain = TurnFilters(rotation_) + "cropdetect=limit=24:round=2:reset=0";
    AVFilterInOut* inputsRaw = inputs.release();
    AVFilterInOut* outputsRaw = outputs.release();
    int result =
        avfilter_graph_parse_ptr(graph_.get(), chain.c_str(), &inputsRaw, &outputsRaw, nullptr);
    avfilter_inout_free(&inputsRaw);
    avfilter_inout_free(&outputsRaw);
    if (result < 0 || avfilter_graph_config(graph_.get(), nullptr) < 0) {
        return false;
    }
    width_ = av_buffersink_get_w(sink_);
    height_ = av_buffersink_get_h(sink_);
    return true;
}

// Hands one decoded picture to the detection; false when the picture's size changed or the
// graph fails (the pictures seen so far decide).
bool Detection::Feed(AVFrame* picture) {
    if (!graph_) {
        if (!BuildGraph(*picture)) {
            return false;
        }
    }
    const AVFilterLink* link = source_->outputs[0];
    if (picture->width != link->w || picture->height != link->h ||
        picture->format != link->format) {
        return false;
    }
    if (av_buffersrc_add_frame_flags(source_, picture, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
        return false;
    }
    media::FramePtr out = media::MakeFrame();
    while (av_buffersink_get_frame(sink_, out.get()) >= 0) {
        bool found = true;
        const int x1 = MetadataInt(*out, "lavfi.cropdetect.x1", &found);
        const int x2 = MetadataInt(*out, "lavfi.cropdetect.x2", &found);
        const int y1 = MetadataInt(*out, "lavfi.cropdetect.y1", &found);
        const int y2 = MetadataInt(*out, "lavfi.cropdetect.y2", &found);
        if (found) {
            x1_ = x1;
            x2_ = x2;
            y1_ = y1;
            y2_ = y2;
            reported_ = true;
        }
        av_frame_unref(out.get());
    }
    return true;
}

void Detection::LookAt(int64_t position) {
    if (avformat_seek_file(input_.get(), stream_->index, INT64_MIN, position, position, 0) < 0) {
        return;
    }
    avcodec_flush_buffers(decoder_.get());
    media::PacketPtr packet = media::MakePacket();
    media::FramePtr picture = media::MakeFrame();
    int decoded = 0;
    int fed = 0;
    bool draining = false;
    while (fed < kPicturesPerPoint && decoded < kMaxPicturesToPoint) {
        int result = avcodec_receive_frame(decoder_.get(), picture.get());
        if (result == AVERROR(EAGAIN) && !draining) {
            result = av_read_frame(input_.get(), packet.get());
            if (result < 0) {
                draining = true;
                avcodec_send_packet(decoder_.get(), nullptr);
            } else {
                if (packet->stream_index == stream_->index) {
                    avcodec_send_packet(decoder_.get(), packet.get());
                }
                av_packet_unref(packet.get());
            }
            continue;
        }
        if (result < 0) {
            return;
        }
        ++decoded;
        const int64_t time = picture->best_effort_timestamp;
        if (time == AV_NOPTS_VALUE || time >= position || decoded >= kMaxPicturesToPoint) {
            if (!Feed(picture.get())) {
                av_frame_unref(picture.get());
                return;
            }
            ++fed;
        }
        av_frame_unref(picture.get());
    }
}

void Detection::LookThroughSource() {
    // The stream's own length, else the file's; unknown: only the start can be looked at.
    const AVRational timeBase = stream_->time_base;
    int64_t start = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
    int64_t length = stream_->duration;
    if (length == AV_NOPTS_VALUE || length <= 0) {
        length =
            input_->duration > 0 ? av_rescale_q(input_->duration, AV_TIME_BASE_Q, timeBase) : 0;
    }
    if (length <= 0) {
        LookAt(start);
        return;
    }
    for (int i = 0; i < kSamplePoints; ++i) {
        LookAt(start + av_rescale(length, 2 * i + 1, 2 * kSamplePoints));
    }
}

std::optional<CropArea> Detection::Result() const {
    if (!graph_) {
        return std::nullopt;
    }
    // Every picture black (or too few looked at): nothing tells bars from picture.
    if (!reported_ || x1_ > x2_ || y1_ > y2_) {
        return CropArea{};
    }
    return CropArea{y1_, height_ - 1 - y2_, x1_, width_ - 1 - x2_};
}

}  // namespace

std::optional<CropArea> DetectBlackBars(const std::string& path, std::string* reason) {
    std::string why;
    Detection detection;
    if (!detection.Open(path, &why)) {
        if (reason) {
            *reason = why;
        }
        return std::nullopt;
    }
    detection.LookThroughSource();
    std::optional<CropArea> area = detection.Result();
    if (!area && reason) {
        *reason = "no picture of the file could be decoded";
    }
    return area;
}

}  // namespace tw::engine
