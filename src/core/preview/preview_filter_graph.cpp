#include "preview/preview_filter_graph.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

#include "filters/filter_chain_translation.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::preview {

namespace {

AVFilterContext* CreateFilter(AVFilterGraph* graph, const char* filterName, const char* name) {
    const AVFilter* filter = avfilter_get_by_name(filterName);
    AVFilterContext* context = filter ? avfilter_graph_alloc_filter(graph, filter, name) : nullptr;
    if (!context) {
        throw EAVError("Can not create filter");
    }
    return context;
}

void InitFilter(AVFilterContext* context, const std::string& args) {
    if (avfilter_init_str(context, args.empty() ? nullptr : args.c_str()) < 0) {
        throw EAVError("Can not init filter");
    }
}

}  // namespace

void PreviewFilterGraph::Build(const PictureShape& shape, const std::string& chainText,
                               int scalerFlags) {
    // Built aside, so a graph that fails leaves the one in use untouched.
    media::FilterGraphPtr graph(avfilter_graph_alloc());
    if (!graph) {
        throw EAVError("Can not create filter");
    }
    // The graph runs on the demux thread alone.
    graph->nb_threads = 1;
    av_opt_set(graph.get(), "scale_sws_opts", FormatPrintf("flags=%d", scalerFlags).c_str(), 0);

    AVFilterContext* source = CreateFilter(graph.get(), "buffer", "src");
    const AVRational sar = shape.sampleAspect.num > 0 && shape.sampleAspect.den > 0
                               ? shape.sampleAspect
                               : AVRational{0, 1};
    InitFilter(source,
               FormatPrintf("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                            shape.width, shape.height, shape.pixelFormat, shape.timeBase.num,
                            shape.timeBase.den, sar.num, sar.den > 0 ? sar.den : 1));
    AVFilterContext* sink = CreateFilter(graph.get(), "buffersink", "out");
    const enum AVPixelFormat bgra[] = {AV_PIX_FMT_BGRA, AV_PIX_FMT_NONE};
    if (av_opt_set_int_list(sink, "pix_fmts", bgra, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN) < 0) {
        throw EAVError("Can not init filter");
    }
    InitFilter(sink, "");

    AVFilterContext* head = source;
    const auto append = [&](const char* filterName, const char* name, const char* args) {
        AVFilterContext* filter = CreateFilter(graph.get(), filterName, name);
        InitFilter(filter, args);
        if (avfilter_link(head, 0, filter, 0) < 0) {
            throw EAVError("line filter failed");
        }
        head = filter;
    };
    if (shape.deinterlace) {
        append("yadif", "deinterlace", "deint=interlaced");
    }
    // Turned before the user's filters, as the converter does, so that a filter placed on the
    // preview's picture lands where it lands in the converted file.
    if (shape.rotation == 90 || shape.rotation == 270) {
        append("transpose", "upright", shape.rotation == 90 ? "dir=clock" : "dir=cclock");
    } else if (shape.rotation == 180) {
        append("hflip", "upright_h", "");
        append("vflip", "upright_v", "");
    }

    const std::string chain = filters::TranslateFilterChain(chainText);
    if (!chain.empty()) {
        media::FilterInOutPtr outputs(avfilter_inout_alloc());
        media::FilterInOutPtr inputs(avfilter_inout_alloc());
        if (!outputs || !inputs) {
            throw EAVError("Parse Graph Failed");
        }
        outputs->name = av_strdup("in");
        outputs->filter_ctx = head;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        AVFilterInOut* inputsRaw = inputs.release();
        AVFilterInOut* outputsRaw = outputs.release();
        const int result =
            avfilter_graph_parse_ptr(graph.get(), chain.c_str(), &inputsRaw, &outputsRaw, nullptr);
        avfilter_inout_free(&inputsRaw);
        avfilter_inout_free(&outputsRaw);
        if (result < 0) {
            throw EAVError("Parse Graph Failed");
        }
    } else if (avfilter_link(head, 0, sink, 0) < 0) {
        throw EAVError("line filter failed");
    }
    if (avfilter_graph_config(graph.get(), nullptr) < 0) {
        throw EAVError("config graph failed");
    }
    graph_ = std::move(graph);
    source_ = source;
    sink_ = sink;
    shape_ = shape;
}

void PreviewFilterGraph::Reset() {
    graph_.reset();
    source_ = nullptr;
    sink_ = nullptr;
}

int PreviewFilterGraph::Push(AVFrame* frame) {
    return av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
}

int PreviewFilterGraph::Pull(AVFrame* frame) {
    return av_buffersink_get_frame(sink_, frame);
}

int PreviewFilterGraph::OutputWidth() const {
    return sink_ ? av_buffersink_get_w(sink_) : 0;
}

int PreviewFilterGraph::OutputHeight() const {
    return sink_ ? av_buffersink_get_h(sink_) : 0;
}

AVRational PreviewFilterGraph::OutputTimeBase() const {
    return sink_ ? av_buffersink_get_time_base(sink_) : AVRational{0, 1};
}

}  // namespace tw::preview
