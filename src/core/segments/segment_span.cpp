#include "segments/segment_span.h"

#include <algorithm>
#include <climits>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/av_ptr.h"
#include "media/library_error.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::segments {

namespace {

void Check(int result, const char* what, const std::string& file) {
    if (result < 0) {
        throw EAVError(
            FormatPrintf("%s %s: %s", what, file.c_str(), media::LibraryErrorText(result).c_str()));
    }
}

media::InputFormatPtr Open(const std::string& file) {
    AVFormatContext* raw = nullptr;
    const int result = avformat_open_input(&raw, file.c_str(), nullptr, nullptr);
    media::InputFormatPtr context(raw);
    Check(result, "Could not read", file);
    Check(avformat_find_stream_info(context.get(), nullptr), "Could not read", file);
    return context;
}

int64_t StartOf(const AVFormatContext* context) {
    return context->start_time == AV_NOPTS_VALUE ? 0 : context->start_time;
}

}  // namespace

int64_t CopySourceSpan(const std::string& source, const std::string& file, int64_t startUs,
                       int64_t endUs) {
    media::InputFormatPtr input = Open(source);
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    Check(index, "No picture to copy in", source);
    AVStream* from = input->streams[index];
    const int64_t sourceStart = StartOf(input.get());
    Check(av_seek_frame(input.get(), index,
                        av_rescale_q(startUs + sourceStart, AV_TIME_BASE_Q, from->time_base),
                        AVSEEK_FLAG_BACKWARD),
          "Could not seek in", source);

    AVFormatContext* raw = nullptr;
    Check(avformat_alloc_output_context2(&raw, nullptr, "nut", file.c_str()), "Could not write",
          file);
    media::OutputFormatPtr output(raw);
    AVStream* to = avformat_new_stream(output.get(), nullptr);
    if (!to) {
        throw EAVError("Could not alloc stream");
    }
    Check(avcodec_parameters_copy(to->codecpar, from->codecpar), "Could not write", file);
    to->codecpar->codec_tag = 0;
    to->time_base = from->time_base;
    to->avg_frame_rate = from->avg_frame_rate;
    to->r_frame_rate = from->r_frame_rate;
    to->sample_aspect_ratio = from->sample_aspect_ratio;
    Check(avio_open(&output->pb, file.c_str(), AVIO_FLAG_WRITE), "Could not write", file);
    Check(avformat_write_header(output.get(), nullptr), "Could not write", file);

    const int64_t end = endUs >= INT64_MAX - sourceStart ? INT64_MAX : endUs;
    int64_t firstUs = AV_NOPTS_VALUE;  // the first packet's time in the source's count
    int64_t offset = AV_NOPTS_VALUE;   // taken from every time written (the source's clock)
    int keysPastEnd = 0;
    media::PacketPtr packet = media::MakePacket();
    for (int result; (result = av_read_frame(input.get(), packet.get())) != AVERROR_EOF;) {
        Check(result, "Could not read", source);
        if (packet->stream_index != index) {
            av_packet_unref(packet.get());
            continue;
        }
        const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const int64_t us = time == AV_NOPTS_VALUE
                               ? AV_NOPTS_VALUE
                               : av_rescale_q(time, from->time_base, AV_TIME_BASE_Q) - sourceStart;
        if ((packet->flags & AV_PKT_FLAG_KEY) && us != AV_NOPTS_VALUE && us >= end &&
            ++keysPastEnd == 2) {
            av_packet_unref(packet.get());
            break;
        }
        if (firstUs == AV_NOPTS_VALUE) {
            firstUs = us;  // the first with a time
        }
        // The copy's times count from its first packet, so that what its header states as
        // its length is the span's.
        if (offset == AV_NOPTS_VALUE) {
            offset = packet->dts != AV_NOPTS_VALUE ? packet->dts : time;
        }
        if (offset != AV_NOPTS_VALUE) {
            packet->pts = packet->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : packet->pts - offset;
            packet->dts = packet->dts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : packet->dts - offset;
        }
        packet->stream_index = 0;
        packet->pos = -1;
        av_packet_rescale_ts(packet.get(), from->time_base, to->time_base);
        Check(av_interleaved_write_frame(output.get(), packet.get()), "Could not write", file);
    }
    Check(av_write_trailer(output.get()), "Could not write", file);
    Check(avio_closep(&output->pb), "Could not write", file);
    if (firstUs == AV_NOPTS_VALUE) {
        throw EAVError(FormatPrintf("No picture to copy in %s", source.c_str()));
    }

    // Where the same first packet lies in the copy's own count.
    media::InputFormatPtr copy = Open(file);
    while (true) {
        Check(av_read_frame(copy.get(), packet.get()), "Could not read", file);
        const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (time != AV_NOPTS_VALUE) {
            const int64_t us = av_rescale_q(time, copy->streams[0]->time_base, AV_TIME_BASE_Q) -
                               StartOf(copy.get());
            return us - firstUs;
        }
        av_packet_unref(packet.get());
    }
}

}  // namespace tw::segments
