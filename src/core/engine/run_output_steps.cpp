// Output steps of a run: audio conversion, synchronisation and framing; video frame-rate
// holding; subtitle re-timing; encoding; bitstream filters and interleaved writing.
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

#include "engine/conversion_run.h"
#include "engine/picture_clock.h"
#include "engine/sync_rules.h"
#include "media/library_error.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::engine {

namespace {

constexpr int kSubtitleBufferSize = 1024 * 1024;

bool SameLayout(const AVChannelLayout& a, const AVChannelLayout& b) {
    return av_channel_layout_compare(&a, &b) == 0;
}

}  // namespace

void ConversionRun::ConfigureResampler(OutputStream& ost, const AVFrame& frame) {
    if (ost.resampler && ost.resamplerInRate == frame.sample_rate &&
        ost.resamplerInFormat == frame.format &&
        SameLayout(ost.resamplerInLayout, frame.ch_layout)) {
        return;
    }
    AVCodecContext* enc = ost.encoder.get();
    SwrContext* raw = nullptr;
    AVChannelLayout inLayout{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&inLayout, frame.ch_layout.nb_channels);
    } else {
        av_channel_layout_copy(&inLayout, &frame.ch_layout);
    }
    int result = swr_alloc_set_opts2(&raw, &enc->ch_layout, enc->sample_fmt, enc->sample_rate,
                                     &inLayout, static_cast<AVSampleFormat>(frame.format),
                                     frame.sample_rate, 0, nullptr);
    media::SwrPtr resampler(raw);
    av_channel_layout_uninit(&inLayout);
    if (result >= 0) {
        av_opt_set_int(resampler.get(), "filter_size", 16, 0);
        av_opt_set_int(resampler.get(), "phase_shift", 10, 0);
        av_opt_set_double(resampler.get(), "cutoff", 0.8, 0);
        result = swr_init(resampler.get());
    }
    if (result < 0) {
        throw EAVError(FormatPrintf("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                    frame.ch_layout.nb_channels, frame.sample_rate,
                                    enc->ch_layout.nb_channels, enc->sample_rate));
    }
    ost.resampler = std::move(resampler);
    ost.resamplerInRate = frame.sample_rate;
    ost.resamplerInFormat = frame.format;
    av_channel_layout_uninit(&ost.resamplerInLayout);
    av_channel_layout_copy(&ost.resamplerInLayout, &frame.ch_layout);
}

void ConversionRun::WriteAudio(OutputStream& ost, InputStream& ist, AVFrame& frame) {
    AVCodecContext* enc = ost.encoder.get();
    ConfigureResampler(ost, frame);
    SwrContext* swr = ost.resampler.get();
    const int encRate = enc->sample_rate;
    const int decRate = frame.sample_rate;
    const int syncMethod = options_.AudioOptions().AudioSyncMethod();
    const int queued = av_audio_fifo_size(ost.queue.get());

    if (syncMethod != 0) {
        const double delta =
            SyncInputSeconds(ost) * encRate - static_cast<double>(ost.syncPosition) - queued;
        const AudioSyncDecision decision =
            DecideAudioSync(syncMethod, delta, encRate, decRate, ist.atStart,
                            options_.AudioOptions().AudioDriftThreshold());
        switch (decision.action) {
            case AudioSyncDecision::Action::None:
                break;
            case AudioSyncDecision::Action::Compensate:
                swr_set_compensation(swr, static_cast<int>(decision.samples), encRate);
                break;
            case AudioSyncDecision::Action::Drop: {
                const int64_t drop = std::min<int64_t>(decision.samples, frame.nb_samples);
                // Cut from the front of this chunk, counted in output samples.
                swr_drop_output(swr, static_cast<int>(drop * encRate / decRate));
                ist.atStart = false;
                if (drop >= frame.nb_samples) {
                    return;
                }
                break;
            }
            case AudioSyncDecision::Action::Pad:
                swr_inject_silence(swr, static_cast<int>(decision.samples));
                ist.atStart = false;
                break;
        }
    } else {
        ost.syncPosition = std::llround(SyncInputSeconds(ost) * encRate) - queued;
    }

    const int capacity = swr_get_out_samples(swr, frame.nb_samples);
    if (capacity < 0) {
        throw EAVError("Buffer sizes too large");
    }
    if (!ost.convertBuffer || ost.convertBuffer->nb_samples < capacity) {
        ost.convertBuffer = media::MakeFrame();
        ost.convertBuffer->format = enc->sample_fmt;
        av_channel_layout_copy(&ost.convertBuffer->ch_layout, &enc->ch_layout);
        ost.convertBuffer->nb_samples = std::max(capacity, 4096);
        if (av_frame_get_buffer(ost.convertBuffer.get(), 0) < 0) {
            throw EAVError("Out of memory in do_audio_out");
        }
    }
    const int converted =
        swr_convert(swr, ost.convertBuffer->extended_data, ost.convertBuffer->nb_samples,
                    const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    if (converted < 0) {
        throw EAVError("av_audio_convert() failed");
    }
    int keep = converted;
    if (const int64_t limitUs = OutputLimit(ost); limitUs != INT64_MAX) {
        const int64_t limit = av_rescale(limitUs, encRate, AV_TIME_BASE);
        const int64_t room = limit - ost.syncPosition - av_audio_fifo_size(ost.queue.get());
        keep = static_cast<int>(std::clamp<int64_t>(room, 0, converted));
    }
    if (keep > 0 && av_audio_fifo_write(ost.queue.get(),
                                        reinterpret_cast<void**>(ost.convertBuffer->extended_data),
                                        keep) < keep) {
        throw EAVError("av_fifo_realloc2() failed");
    }
    EncodeQueuedAudio(ost, false);
}

void ConversionRun::EncodeQueuedAudio(OutputStream& ost, bool final) {
    AVCodecContext* enc = ost.encoder.get();
    AVAudioFifo* queue = ost.queue.get();
    const bool wholeFrames =
        enc->frame_size > 1 && !(enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    while (true) {
        const int available = av_audio_fifo_size(queue);
        int samples = 0;
        if (!wholeFrames) {
            samples = available;
        } else if (available >= enc->frame_size) {
            samples = enc->frame_size;
        } else if (final && available > 0 &&
                   (enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
            samples = available;
        }
        if (samples <= 0) {
            // Encoders without short last frames cannot take the remainder.
            if (final) {
                av_audio_fifo_reset(queue);
            }
            return;
        }
        if (!ost.encodeFrame || ost.encodeFrame->nb_samples < samples ||
            av_frame_make_writable(ost.encodeFrame.get()) < 0) {
            ost.encodeFrame = media::MakeFrame();
            ost.encodeFrame->format = enc->sample_fmt;
            av_channel_layout_copy(&ost.encodeFrame->ch_layout, &enc->ch_layout);
            ost.encodeFrame->sample_rate = enc->sample_rate;
            ost.encodeFrame->nb_samples = std::max(samples, wholeFrames ? enc->frame_size : 0);
            if (av_frame_get_buffer(ost.encodeFrame.get(), 0) < 0) {
                throw EAVError("Out of memory in do_audio_out");
            }
        }
        AVFrame* frame = ost.encodeFrame.get();
        frame->nb_samples = samples;
        if (av_audio_fifo_read(queue, reinterpret_cast<void**>(frame->extended_data), samples) <
            samples) {
            throw EAVError("Internal error, buffer size too small");
        }
        // Encoded audio is stamped by the samples it holds, from where the stream began: the
        // sync position may follow a coarse source clock, the samples may not.
        if (ost.audioPts == AV_NOPTS_VALUE) {
            ost.audioPts = ost.syncPosition;
        }
        frame->pts = ost.audioPts;
        ost.audioPts += samples;
        ost.syncPosition += samples;
        SendToEncoder(ost, frame);
        // Keep the allocation for the next frame when the encoder did not keep a reference.
        frame->nb_samples = std::max(samples, wholeFrames ? enc->frame_size : 0);
    }
}

void ConversionRun::WriteVideo(OutputStream& ost, InputStream& /*ist*/, AVFrame& frame) {
    AVCodecContext* enc = ost.encoder.get();
    const double syncInput =
        (SyncInputSeconds(ost) + options_.Engine.PictureClockShift) / av_q2d(enc->time_base);
    const int method =
        PictureSyncMethod(ost.keepSourceTiming, options_.VideoOptions().VideoSyncMethod());
    int64_t frames = DecideVideoFrames(method, syncInput, &ost.syncPosition,
                                       ost.frameNumber == 0 && !options_.Engine.ContinuesPictures);
    frames = std::min<int64_t>(frames, options_.VideoOptions().MaxFrames() - ost.frameNumber);
    if (const int64_t limitUs = OutputLimit(ost); limitUs != INT64_MAX) {
        // Nothing is written past the length asked for, also not what the end of the run drains.
        const int64_t limit =
            av_rescale_q_rnd(limitUs, AV_TIME_BASE_Q, enc->time_base, AV_ROUND_UP);
        frames = std::min<int64_t>(frames, limit - ost.syncPosition);
    }
    if (frames <= 0) {
        return;
    }

    const TVideoOptions& video = options_.VideoOptions();
    const AVCodecContext* videoDefaults =
        const_cast<LibraryOptions&>(libraryOptions_).CodecDefaults(AVMEDIA_TYPE_VIDEO);
    const bool interlacedCoding =
        (videoDefaults->flags & (AV_CODEC_FLAG_INTERLACED_ME | AV_CODEC_FLAG_INTERLACED_DCT)) ||
        (enc->flags & (AV_CODEC_FLAG_INTERLACED_ME | AV_CODEC_FLAG_INTERLACED_DCT));
    if (interlacedCoding) {
        frame.top_field_first =
            video.TopFieldFirst() == -1 ? frame.top_field_first : video.TopFieldFirst();
    }
    if (video.SameQuality()) {
        frame.quality = inputStreams_[static_cast<size_t>(ost.source)]->quality;
    } else if (enc->flags & AV_CODEC_FLAG_QSCALE) {
        frame.quality = enc->global_quality;
    }
    if (video.MeThreshold() == 0) {
        frame.pict_type = AV_PICTURE_TYPE_NONE;
    }
    frame.sample_aspect_ratio = enc->sample_aspect_ratio;
    for (int64_t i = 0; i < frames; ++i) {
        // A long repeat (a gap in the source) answers pause and stop between its pictures, and
        // its figures keep coming; after a stop each picture is written once.
        if (i > 0) {
            if (!KeepGoing()) {
                break;
            }
            ReportProgress(false);
        }
        frame.pts = ost.syncPosition;
        SendToEncoder(ost, &frame);
        ++ost.syncPosition;
        ++ost.frameNumber;
    }
}

void ConversionRun::WriteSubtitle(OutputStream& ost, InputStream& ist, AVSubtitle& subtitle,
                                  int64_t pts) {
    if (pts == AV_NOPTS_VALUE) {
        throw EAVError("Subtitle packets must have a pts");
    }
    AVCodecContext* enc = ost.encoder.get();
    subtitleBuffer_.resize(kSubtitleBufferSize);
    const int count = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE ? 2 : 1;
    const int64_t start = av_rescale_q(pts, ist.stream->time_base, AV_TIME_BASE_Q) - runStartTime_;
    for (int i = 0; i < count; ++i) {
        subtitle.pts = start + static_cast<int64_t>(subtitle.start_display_time) * 1000;
        subtitle.end_display_time -= subtitle.start_display_time;
        subtitle.start_display_time = 0;
        if (i == 1) {
            // The second DVB packet clears the screen.
            subtitle.num_rects = 0;
        }
        const int size =
            avcodec_encode_subtitle(enc, subtitleBuffer_.data(), kSubtitleBufferSize, &subtitle);
        if (size < 0) {
            throw EAVError("Subtitle encoding failed");
        }
        media::PacketPtr packet = media::MakePacket();
        if (av_new_packet(packet.get(), size) < 0) {
            throw EAVError("no memory");
        }
        std::memcpy(packet->data, subtitleBuffer_.data(), static_cast<size_t>(size));
        packet->stream_index = ost.index;
        const AVRational timeBase = ost.chainInTimeBase;
        packet->pts = av_rescale_q(subtitle.pts, AV_TIME_BASE_Q, timeBase);
        packet->duration = av_rescale_q(subtitle.end_display_time, AVRational{1, 1000}, timeBase);
        if (count == 2) {
            packet->pts +=
                av_rescale_q(i == 0 ? subtitle.start_display_time : subtitle.end_display_time,
                             AVRational{1, 1000}, timeBase);
        }
        packet->dts = packet->pts;
        WritePacket(ost, *packet);
    }
}

void ConversionRun::SendToEncoder(OutputStream& ost, const AVFrame* frame) {
    AVCodecContext* enc = ost.encoder.get();
    const int sent = avcodec_send_frame(enc, frame);
    if (sent < 0 && !(frame == nullptr && sent == AVERROR_EOF)) {
        throw EAVError(ost.type == AVMEDIA_TYPE_VIDEO ? "Video encoding failed"
                                                      : "Audio encoding failed");
    }
    while (true) {
        const int received = avcodec_receive_packet(enc, encoded_.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            break;
        }
        if (received < 0) {
            throw EAVError(ost.type == AVMEDIA_TYPE_VIDEO ? "Video encoding failed"
                                                          : "Audio encoding failed");
        }
        if (ost.statsFile && enc->stats_out) {
            std::fputs(enc->stats_out, ost.statsFile.get());
        }
        encoded_->stream_index = ost.index;
        WritePacket(ost, *encoded_);
        if (ost.type == AVMEDIA_TYPE_AUDIO) {
            // Audio frames are counted as the encoder hands them out.
            ++ost.frameNumber;
        }
    }
    if (ost.statsFile && frame == nullptr && enc->stats_out) {
        // The encoder's closing statistics.
        std::fputs(enc->stats_out, ost.statsFile.get());
    }
}

void ConversionRun::WritePacket(OutputStream& ost, AVPacket& packet) {
    FilterAndMux(ost, packet, 0);
}

void ConversionRun::FilterAndMux(OutputStream& ost, AVPacket& packet, size_t filterIndex) {
    if (filterIndex >= ost.bitstreamFilters.size()) {
        Mux(ost, packet);
        return;
    }
    AVBSFContext* filter = ost.bitstreamFilters[filterIndex].get();
    if (av_bsf_send_packet(filter, &packet) < 0) {
        av_packet_unref(&packet);
        return;
    }
    AVPacket* out = ost.filteredPackets[filterIndex].get();
    while (av_bsf_receive_packet(filter, out) == 0) {
        FilterAndMux(ost, *out, filterIndex + 1);
    }
}

void ConversionRun::Mux(OutputStream& ost, AVPacket& packet) {
    packet.stream_index = ost.index;
    av_packet_rescale_ts(&packet, ost.chainOutTimeBase, ost.stream->time_base);
    if (packet.dts != AV_NOPTS_VALUE) {
        ost.lastDts = packet.dts + std::max<int64_t>(packet.duration, 0);
    } else if (packet.pts != AV_NOPTS_VALUE) {
        ost.lastDts = packet.pts + std::max<int64_t>(packet.duration, 0);
    }
    OutputFile& file = outputFiles_[static_cast<size_t>(ost.fileIndex)];
    file.bytesMuxed += packet.size;
    host_.WatchLibraryErrors();
    if (const int result = av_interleaved_write_frame(file.context.get(), &packet); result < 0) {
        // A failing byte layer has the system's reason: a full disk, a size limit.
        AVIOContext* pb = file.context->pb;
        throw ERunFailure(
            "av_interleaved_write_frame() ",
            pb && pb->error < 0 ? media::LibraryErrorText(pb->error) : LibraryReason(result),
            ERunFailure::Role::Target, outputNames_[static_cast<size_t>(ost.fileIndex)]);
    }
    ++file.packets;
}

}  // namespace tw::engine
