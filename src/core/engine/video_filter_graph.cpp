#include "engine/video_filter_graph.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <utility>

#include "util/format.h"

namespace tw::engine {

namespace {

int AddFilter(AVFilterGraph* graph, const char* name, const char* instance, const std::string& args,
              AVFilterContext** context) {
    const AVFilter* filter = avfilter_get_by_name(name);
    if (!filter) {
        return AVERROR_FILTER_NOT_FOUND;
    }
    return avfilter_graph_create_filter(context, filter, instance,
                                        args.empty() ? nullptr : args.c_str(), nullptr, graph);
}

}  // namespace

int VideoFilterGraph::BuildVideoFilterGraph(const VideoFilterGraphParams& p) {
    graph_.reset(avfilter_graph_alloc());
    if (!graph_) {
        return AVERROR(ENOMEM);
    }
    // The scaler and the filters that work in slices share the picture out among as many
    // threads as the conversion may use.
    const int threads = std::max(p.threads, 0);
    graph_->nb_threads = threads;

    const AVRational sar = p.sampleAspect.num > 0 ? p.sampleAspect : AVRational{0, 1};
    std::string sourceArgs = FormatPrintf(
        "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", p.width, p.height,
        p.pixelFormat, p.timeBase.num, p.timeBase.den, sar.num, sar.den > 0 ? sar.den : 1);
    if (p.frameRate.num > 0 && p.frameRate.den > 0) {
        sourceArgs += FormatPrintf(":frame_rate=%d/%d", p.frameRate.num, p.frameRate.den);
    }
    int result = AddFilter(graph_.get(), "buffer", "src", sourceArgs, &source_);
    if (result < 0) {
        return result;
    }
    result = AddFilter(graph_.get(), "buffersink", "out", "", &sink_);
    if (result < 0) {
        return result;
    }
    const enum AVPixelFormat formats[] = {static_cast<AVPixelFormat>(p.outPixelFormat),
                                          AV_PIX_FMT_NONE};
    result =
        av_opt_set_int_list(sink_, "pix_fmts", formats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN);
    if (result < 0) {
        return result;
    }

    AVFilterContext* last = source_;
    if (p.deinterlaceAuto) {
        // The detector marks each picture interlaced or not by what it sees, whatever the
        // stream says; the deinterlacer then touches the marked ones only.
        AVFilterContext* detect = nullptr;
        result = AddFilter(graph_.get(), "idet", "detect_interlacing", "", &detect);
        if (result < 0 || (result = avfilter_link(last, 0, detect, 0)) < 0) {
            return result;
        }
        last = detect;
    }
    if (p.deinterlace || p.deinterlaceAuto) {
        AVFilterContext* yadif = nullptr;
        result = AddFilter(graph_.get(), "yadif", "deinterlace",
                           p.deinterlaceAuto ? "deint=interlaced" : "", &yadif);
        if (result < 0 || (result = avfilter_link(last, 0, yadif, 0)) < 0) {
            return result;
        }
        last = yadif;
    }
    int width = p.width;
    int height = p.height;
    const auto append = [&](const char* name, const char* args) {
        AVFilterContext* filter = nullptr;
        int r = AddFilter(graph_.get(), name, name, args, &filter);
        if (r >= 0 && (r = avfilter_link(last, 0, filter, 0)) >= 0) {
            last = filter;
        }
        return r;
    };
    if (p.rotation == 90 || p.rotation == 270) {
        result = append("transpose", p.rotation == 90 ? "dir=clock" : "dir=cclock");
        std::swap(width, height);
    } else if (p.rotation == 180) {
        if ((result = append("hflip", "")) >= 0) {
            result = append("vflip", "");
        }
    }
    if (result < 0) {
        return result;
    }
    if (!p.crop.Empty()) {
        width -= p.crop.left + p.crop.right;
        height -= p.crop.top + p.crop.bottom;
        result = append("crop", FormatPrintf("w=%d:h=%d:x=%d:y=%d:exact=1", width, height,
                                             p.crop.left, p.crop.top)
                                    .c_str());
        if (result < 0) {
            return result;
        }
    }
    const bool bars = p.pictureWidth > 0 && p.pictureHeight > 0 &&
                      (p.pictureWidth != p.outWidth || p.pictureHeight != p.outHeight);
    const int scaledWidth = bars ? p.pictureWidth : p.outWidth;
    const int scaledHeight = bars ? p.pictureHeight : p.outHeight;
    if (scaledWidth != width || scaledHeight != height) {
        AVFilterContext* scale = nullptr;
        result = AddFilter(graph_.get(), "scale", "scale",
                           FormatPrintf("%d:%d:flags=0x%X:threads=%d", scaledWidth, scaledHeight,
                                        static_cast<unsigned>(p.scalerFlags), threads),
                           &scale);
        if (result < 0 || (result = avfilter_link(last, 0, scale, 0)) < 0) {
            return result;
        }
        last = scale;
    }
    if (bars) {
        result = append(
            "pad",
            FormatPrintf("%d:%d:(ow-iw)/2:(oh-ih)/2:black", p.outWidth, p.outHeight).c_str());
        if (result < 0) {
            return result;
        }
    }
    // Scalers the graph inserts on its own (for the pixel format) use the same flags.
    av_opt_set(graph_.get(), "scale_sws_opts",
               FormatPrintf("flags=0x%X:threads=%d", static_cast<unsigned>(p.scalerFlags), threads)
                   .c_str(),
               0);

    // Where the chain ends: the sink, or the palette stage in front of it.
    AVFilterContext* end = sink_;
    if (p.palettePerPicture) {
        AVFilterContext* split = nullptr;
        AVFilterContext* generate = nullptr;
        AVFilterContext* use = nullptr;
        if ((result = AddFilter(graph_.get(), "split", "palette_split", "", &split)) < 0 ||
            (result = AddFilter(graph_.get(), "palettegen", "palettegen",
                                "stats_mode=single:reserve_transparent=0", &generate)) < 0 ||
            (result = AddFilter(graph_.get(), "paletteuse", "paletteuse", "new=1", &use)) < 0 ||
            (result = avfilter_link(split, 0, use, 0)) < 0 ||
            (result = avfilter_link(split, 1, generate, 0)) < 0 ||
            (result = avfilter_link(generate, 0, use, 1)) < 0 ||
            (result = avfilter_link(use, 0, sink_, 0)) < 0) {
            return result;
        }
        end = split;
    }

    if (!p.userFilters.empty()) {
        media::FilterInOutPtr outputs(avfilter_inout_alloc());
        media::FilterInOutPtr inputs(avfilter_inout_alloc());
        if (!outputs || !inputs) {
            return AVERROR(ENOMEM);
        }
        outputs->name = av_strdup("in");
        outputs->filter_ctx = last;
        outputs->pad_idx = 0;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = end;
        inputs->pad_idx = 0;
        AVFilterInOut* inputsRaw = inputs.release();
        AVFilterInOut* outputsRaw = outputs.release();
        result = avfilter_graph_parse_ptr(graph_.get(), p.userFilters.c_str(), &inputsRaw,
                                          &outputsRaw, nullptr);
        avfilter_inout_free(&inputsRaw);
        avfilter_inout_free(&outputsRaw);
        if (result < 0) {
            return result;
        }
    } else if ((result = avfilter_link(last, 0, end, 0)) < 0) {
        return result;
    }
    return avfilter_graph_config(graph_.get(), nullptr);
}

int VideoFilterGraph::Push(AVFrame* frame) {
    return av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
}

int VideoFilterGraph::Pull(AVFrame* frame) {
    return av_buffersink_get_frame(sink_, frame);
}

int VideoFilterGraph::OutputWidth() const {
    return av_buffersink_get_w(sink_);
}

int VideoFilterGraph::OutputHeight() const {
    return av_buffersink_get_h(sink_);
}

AVRational VideoFilterGraph::OutputSampleAspect() const {
    return av_buffersink_get_sample_aspect_ratio(sink_);
}

AVRational VideoFilterGraph::OutputTimeBase() const {
    return av_buffersink_get_time_base(sink_);
}

}  // namespace tw::engine
