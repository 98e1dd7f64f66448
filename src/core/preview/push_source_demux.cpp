// The push source's demux thread: reading, decoding, filtering and queueing.
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "platform/message_service.h"
#include "platform/ui_dispatcher.h"
#include "preview/ff_push_source.h"

namespace tw::preview {

namespace {

// Past the read-ahead counts, a source whose streams are badly interleaved (or one stream of
// which ends early) could otherwise fill memory with pictures while waiting for sound.
constexpr size_t kMaxQueuedVideoBytes = size_t{256} << 20;
constexpr size_t kMaxQueuedAudioBytes = size_t{64} << 20;

bool IsS16Interleaved(const AVFrame& frame) {
    return frame.format == AV_SAMPLE_FMT_S16 &&
           (frame.ch_layout.nb_channels == 1 || frame.ch_layout.nb_channels == 2);
}

}  // namespace

void TFFPushSource::DemuxLoop() {
    try {
        while (WaitForWork()) {
            bool seek = false;
            {
                std::lock_guard lock(seekMutex_);
                seek = seekRequested_;
            }
            if (seek) {
                PerformSeek();
            } else {
                ReadPacket();
            }
        }
    } catch (const std::exception& error) {
        {
            std::lock_guard lock(seekMutex_);
            endOfStream_ = true;
            demuxRunning_ = false;
        }
        seekDone_.notify_all();
        // Posted, never waited for: the UI thread may be closing this source and joining us.
        platform::Dispatcher().Post(
            [message = std::string(error.what())] { platform::Messages().ShowError(message); });
        return;
    }
    {
        std::lock_guard lock(seekMutex_);
        demuxRunning_ = false;
    }
    seekDone_.notify_all();
}

bool TFFPushSource::WaitForWork() {
    std::unique_lock lock(seekMutex_);
    wake_.wait(lock,
               [this] { return terminate_ || seekRequested_ || (!endOfStream_ && ShouldRead()); });
    return !terminate_;
}

bool TFFPushSource::ShouldRead() const {
    std::scoped_lock pins(videoPin_.mutex, audioPin_.mutex);
    if (videoPin_.bytes >= kMaxQueuedVideoBytes || audioPin_.bytes >= kMaxQueuedAudioBytes) {
        return false;
    }
    if (!producesVideo_ && !producesAudio_) {
        // Nothing to wait for (a switch to a stream no decoder takes): read on to the end, so
        // that the consumers hear of it instead of waiting for samples that never come.
        return true;
    }
    const bool videoFull = !producesVideo_ || videoPin_.samples.size() >= kReadAhead;
    const bool audioFull = !producesAudio_ || audioPin_.samples.size() >= kReadAhead;
    return !(videoFull && audioFull);
}

void TFFPushSource::ReadPacket() {
    std::lock_guard stream(streamMutex_);
    const int result = av_read_frame(format_.get(), packet_.get());
    if (result == AVERROR(EAGAIN)) {
        return;
    }
    if (result < 0) {
        EndOfFile();
        return;
    }
    const int index = packet_->stream_index;
    if (index == video_.streamIndex && HasVideo()) {
        HandleVideo(packet_.get());
    } else if (index == subtitle_.streamIndex && HasSubtitle()) {
        HandleSubtitle(packet_.get());
    } else if (index == audio_.streamIndex && HasAudio()) {
        HandleAudio(packet_.get());
    }
    av_packet_unref(packet_.get());
}

void TFFPushSource::EndOfFile() {
    // The decoders and the deinterlacer hold the last pictures and sound back until drained.
    HandleVideo(nullptr);
    HandleAudio(nullptr);
    if (graph_.Built() && graph_.Push(nullptr) >= 0) {
        while (graph_.Pull(filtered_.get()) >= 0) {
            media::FramePtr picture = media::MakeFrame();
            av_frame_move_ref(picture.get(), filtered_.get());
            QueuePicture(std::move(picture));
        }
    }
    if (++loopIndex_ < loopCount_) {
        RestartLoop();
        return;
    }
    std::lock_guard lock(seekMutex_);
    endOfStream_ = true;
}

double TFFPushSource::StreamSeconds(int64_t stamp, AVRational timeBase) const {
    return static_cast<double>(stamp) * av_q2d(timeBase) - startTimeUs_ / 1e6;
}

bool TFFPushSource::PastSpan(double seconds) const {
    return spanSeconds_ > 0 && seconds >= spanSeconds_;
}

double TFFPushSource::LoopOffset() const {
    return static_cast<double>(fileDuration_) * loopIndex_ / 1e7;
}

void TFFPushSource::HandleVideo(const AVPacket* packet) {
    AVCodecContext* decoder = video_.context.get();
    if (!decoder || avcodec_send_packet(decoder, packet) < 0) {
        return;
    }
    while (avcodec_receive_frame(decoder, decoded_.get()) >= 0) {
        FilterPicture(decoded_.get());
        av_frame_unref(decoded_.get());
    }
}

void TFFPushSource::FilterPicture(AVFrame* picture) {
    // The decoder's best guess follows the stamp that has gone backwards less often.
    picture->pts = picture->best_effort_timestamp;
    PictureShape shape = graph_.Built() ? graph_.Shape() : DecoderShape();
    shape.width = picture->width;
    shape.height = picture->height;
    shape.pixelFormat = picture->format;
    if (picture->sample_aspect_ratio.num > 0) {
        shape.sampleAspect = picture->sample_aspect_ratio;
    }
    shape.deinterlace =
        shape.deinterlace || (picture->interlaced_frame && !picture->top_field_first);
    if (!graph_.Built() || !(shape == graph_.Shape())) {
        RebuildGraph(shape);
    }
    if (graph_.Push(picture) < 0) {
        return;
    }
    while (graph_.Pull(filtered_.get()) >= 0) {
        media::FramePtr filtered = media::MakeFrame();
        av_frame_move_ref(filtered.get(), filtered_.get());
        QueuePicture(std::move(filtered));
    }
}

void TFFPushSource::QueuePicture(media::FramePtr picture) {
    const AVStream* stream = format_->streams[video_.streamIndex];
    int64_t stamp = picture->pts;
    const AVRational graphBase = graph_.OutputTimeBase();
    if (stamp != AV_NOPTS_VALUE && av_cmp_q(graphBase, stream->time_base) != 0) {
        stamp = av_rescale_q(stamp, graphBase, stream->time_base);
    }
    const double time =
        stamp != AV_NOPTS_VALUE ? StreamSeconds(stamp, stream->time_base) : videoClock_;
    videoClock_ = time;
    double duration = 0.0;
    if (picture->pkt_duration > 0) {
        duration = static_cast<double>(picture->pkt_duration) * av_q2d(stream->time_base);
    } else {
        AVRational rate = stream->avg_frame_rate;
        if (rate.num <= 0 || rate.den <= 0) {
            rate = stream->r_frame_rate;
        }
        const double interval = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate))
                                                             : av_q2d(video_.context->time_base);
        duration = interval * (1.0 + 0.5 * picture->repeat_pict);
    }
    videoClock_ += duration;
    const double offset = LoopOffset();
    if (offset + videoClock_ <= videoSkipUntil_ || PastSpan(time)) {
        return;
    }
    videoWidth_ = picture->width;
    videoHeight_ = picture->height;
    auto sample =
        std::make_unique<TFFSample>(std::move(picture), offset + time, offset + videoClock_);
    std::lock_guard lock(videoPin_.mutex);
    videoPin_.bytes += static_cast<size_t>(sample->Size());
    videoPin_.samples.push_back(std::move(sample));
}

void TFFPushSource::HandleSubtitle(const AVPacket* packet) {
    AVCodecContext* decoder = subtitle_.context.get();
    if (!decoder || !packet) {
        return;
    }
    const AVStream* stream = format_->streams[subtitle_.streamIndex];
    const double time =
        packet->pts != AV_NOPTS_VALUE ? StreamSeconds(packet->pts, stream->time_base) : 0.0;
    auto subtitle = std::make_unique<TFFSubtitle>();
    int got = 0;
    if (avcodec_decode_subtitle2(decoder, &subtitle->Subtitle(), &got,
                                 const_cast<AVPacket*>(packet)) < 0 ||
        !got || subtitle->Subtitle().format != 0) {
        return;
    }
    subtitle->SetTime(time + LoopOffset());
    // Read again after a stream switch: queued already.
    if (subtitle->Time() <= lastSubtitle_) {
        return;
    }
    lastSubtitle_ = subtitle->Time();
    std::lock_guard lock(videoPin_.mutex);
    subtitles_.push_back(std::move(subtitle));
}

void TFFPushSource::HandleAudio(const AVPacket* packet) {
    AVCodecContext* decoder = audio_.context.get();
    if (!decoder || avcodec_send_packet(decoder, packet) < 0) {
        return;
    }
    while (avcodec_receive_frame(decoder, decoded_.get()) >= 0) {
        QueueAudio(decoded_.get());
        av_frame_unref(decoded_.get());
    }
}

void TFFPushSource::QueueAudio(AVFrame* decoded) {
    const AVStream* stream = format_->streams[audio_.streamIndex];
    if (decoded->best_effort_timestamp != AV_NOPTS_VALUE) {
        audioClock_ = StreamSeconds(decoded->best_effort_timestamp, stream->time_base);
    }
    const int rate = decoded->sample_rate > 0 ? decoded->sample_rate : audioSampleRate_;
    if (rate <= 0 || decoded->nb_samples <= 0) {
        return;
    }

    media::FramePtr block = media::MakeFrame();
    if (IsS16Interleaved(*decoded) && decoded->ch_layout.nb_channels == audioChannels_) {
        // Already in the output form: the block shares the decoder's buffer.
        if (av_frame_ref(block.get(), decoded) < 0) {
            return;
        }
    } else {
        if (!resampler_ || resamplerFormat_ != decoded->format || resamplerRate_ != rate ||
            av_channel_layout_compare(&resamplerLayout_, &decoded->ch_layout) != 0) {
            AVChannelLayout output{};
            av_channel_layout_default(&output, audioChannels_);
            SwrContext* raw = nullptr;
            const int made =
                swr_alloc_set_opts2(&raw, &output, AV_SAMPLE_FMT_S16, rate, &decoded->ch_layout,
                                    static_cast<AVSampleFormat>(decoded->format), rate, 0, nullptr);
            media::SwrPtr resampler(raw);
            if (made < 0 || swr_init(resampler.get()) < 0) {
                return;
            }
            resampler_ = std::move(resampler);
            resamplerFormat_ = decoded->format;
            resamplerRate_ = rate;
            av_channel_layout_uninit(&resamplerLayout_);
            av_channel_layout_copy(&resamplerLayout_, &decoded->ch_layout);
        }
        block->format = AV_SAMPLE_FMT_S16;
        block->sample_rate = rate;
        av_channel_layout_default(&block->ch_layout, audioChannels_);
        block->nb_samples = swr_get_out_samples(resampler_.get(), decoded->nb_samples);
        if (block->nb_samples <= 0 || av_frame_get_buffer(block.get(), 0) < 0) {
            return;
        }
        const int converted =
            swr_convert(resampler_.get(), block->data, block->nb_samples,
                        const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
        if (converted <= 0) {
            return;
        }
        block->nb_samples = converted;
    }

    double start = audioClock_;
    audioClock_ += static_cast<double>(block->nb_samples) / rate;
    const double offset = LoopOffset();
    if (offset + audioClock_ <= audioSkipUntil_ || PastSpan(start)) {
        return;
    }
    if (PastSpan(audioClock_)) {
        block->nb_samples = static_cast<int>(std::lround((spanSeconds_ - start) * rate));
        audioClock_ = start + static_cast<double>(block->nb_samples) / rate;
    }
    if (offset + start < audioSkipUntil_) {
        // The block straddles a seek target: only the sound from the target on is kept.
        const int skip = static_cast<int>(std::lround((audioSkipUntil_ - offset - start) * rate));
        if (skip > 0 && skip < block->nb_samples && av_frame_make_writable(block.get()) >= 0) {
            const int frameBytes = block->ch_layout.nb_channels * 2;
            std::memmove(block->data[0], block->data[0] + skip * frameBytes,
                         static_cast<size_t>((block->nb_samples - skip) * frameBytes));
            block->nb_samples -= skip;
            start += static_cast<double>(skip) / rate;
        }
    }
    auto sample =
        std::make_unique<TFFSample>(std::move(block), offset + start, offset + audioClock_);
    std::lock_guard lock(audioPin_.mutex);
    audioPin_.bytes += static_cast<size_t>(sample->Size());
    audioPin_.samples.push_back(std::move(sample));
}

}  // namespace tw::preview
