// Owning handles for the FFmpeg objects the test helpers create. The helpers keep their own set
// (rather than the engine's) so that a fault in the engine's wrappers cannot hide itself in the
// very files the tests use to check the engine.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <stdexcept>
#include <string>

namespace tw::test {

struct InputFormatDeleter {
    void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
// An output context owns its AVIO handle only when the muxer writes to a file.
struct OutputFormatDeleter {
    void operator()(AVFormatContext* ctx) const {
        if (ctx->pb != nullptr && (ctx->oformat->flags & AVFMT_NOFILE) == 0) {
            avio_closep(&ctx->pb);
        }
        avformat_free_context(ctx);
    }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FilterGraphDeleter {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};
struct FilterInOutDeleter {
    void operator()(AVFilterInOut* list) const { avfilter_inout_free(&list); }
};
struct SwsDeleter {
    void operator()(SwsContext* ctx) const { sws_freeContext(ctx); }
};
struct SwrDeleter {
    void operator()(SwrContext* ctx) const { swr_free(&ctx); }
};
// A decoded subtitle lives on the stack; this frees what the decoder put into it.
struct ScopedSubtitle {
    AVSubtitle sub{};
    ScopedSubtitle() = default;
    ScopedSubtitle(const ScopedSubtitle&) = delete;
    ScopedSubtitle& operator=(const ScopedSubtitle&) = delete;
    ~ScopedSubtitle() { avsubtitle_free(&sub); }
};

using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
using FilterInOutPtr = std::unique_ptr<AVFilterInOut, FilterInOutDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;

// An options dictionary handed to an open call; whatever the call did not consume is freed here.
struct ScopedDict {
    AVDictionary* dict = nullptr;
    ScopedDict() = default;
    ScopedDict(const ScopedDict&) = delete;
    ScopedDict& operator=(const ScopedDict&) = delete;
    ~ScopedDict() { av_dict_free(&dict); }
};

// Text of an FFmpeg error code.
inline std::string AvErrorText(int err) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof(buf));
    return buf;
}

// Throws std::runtime_error("<what>: <library message>") when err is negative.
inline int Check(int err, const std::string& what) {
    if (err < 0) {
        throw std::runtime_error(what + ": " + AvErrorText(err));
    }
    return err;
}

inline FramePtr MakeFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        throw std::runtime_error("av_frame_alloc failed");
    }
    return frame;
}

inline PacketPtr MakePacket() {
    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        throw std::runtime_error("av_packet_alloc failed");
    }
    return packet;
}

}  // namespace tw::test
