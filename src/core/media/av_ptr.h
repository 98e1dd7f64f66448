#pragma once

// RAII owners for the media library's objects. Every object the program gets from the
// libraries is held by one of these from the moment it exists.

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace tw::media {

struct CodecContextDeleter {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameDeleter {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct InputFormatDeleter {
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
// An output context owns its byte stream when the format writes a file.
struct OutputFormatDeleter {
    void operator()(AVFormatContext* p) const {
        if (p->oformat && !(p->oformat->flags & AVFMT_NOFILE)) {
            avio_closep(&p->pb);
        }
        avformat_free_context(p);
    }
};
struct FormatContextDeleter {
    void operator()(AVFormatContext* p) const { avformat_free_context(p); }
};
struct FilterGraphDeleter {
    void operator()(AVFilterGraph* p) const { avfilter_graph_free(&p); }
};
struct SwrDeleter {
    void operator()(SwrContext* p) const { swr_free(&p); }
};
struct SwsDeleter {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};
struct BsfDeleter {
    void operator()(AVBSFContext* p) const { av_bsf_free(&p); }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* p) const { av_audio_fifo_free(p); }
};
struct DictionaryDeleter {
    void operator()(AVDictionary* p) const { av_dict_free(&p); }
};
struct AvFreeDeleter {
    void operator()(void* p) const { av_free(p); }
};
struct FilterInOutDeleter {
    void operator()(AVFilterInOut* p) const { avfilter_inout_free(&p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using BsfPtr = std::unique_ptr<AVBSFContext, BsfDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;
using DictionaryPtr = std::unique_ptr<AVDictionary, DictionaryDeleter>;
using FilterInOutPtr = std::unique_ptr<AVFilterInOut, FilterInOutDeleter>;

// Allocation helpers that throw std::bad_alloc instead of handing out null.
FramePtr MakeFrame();
PacketPtr MakePacket();

}  // namespace tw::media
