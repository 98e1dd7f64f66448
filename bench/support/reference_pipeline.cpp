#include "reference_pipeline.h"

#include <cmath>
#include <stdexcept>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

#include "media/av_ptr.h"

namespace tw::bench {

namespace {

using media::AudioFifoPtr;
using media::CodecContextPtr;
using media::FilterGraphPtr;
using media::FramePtr;
using media::PacketPtr;
using media::SwrPtr;

void Check(int result, const std::string& what) {
    if (result < 0) {
        char reason[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(result, reason, sizeof reason);
        throw std::runtime_error(what + ": " + reason);
    }
}

media::DictionaryPtr Dictionary(const OptionList& options) {
    AVDictionary* dictionary = nullptr;
    for (const auto& [name, value] : options) {
        av_dict_set(&dictionary, name.c_str(), value.c_str(), 0);
    }
    return media::DictionaryPtr(dictionary);
}

void OpenWithOptions(AVCodecContext* context, const AVCodec* codec, const OptionList& options,
                     const std::string& what) {
    AVDictionary* dictionary = Dictionary(options).release();
    const int result = avcodec_open2(context, codec, &dictionary);
    media::DictionaryPtr left(dictionary);
    if (av_dict_count(left.get()) > 0) {
        throw std::runtime_error(what + ": option not taken: " +
                                 av_dict_get(left.get(), "", nullptr, AV_DICT_IGNORE_SUFFIX)->key);
    }
    Check(result, what);
}

// One stream's decoder.
CodecContextPtr OpenDecoder(AVStream* stream, int threads) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        throw std::runtime_error("no decoder");
    }
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    Check(avcodec_parameters_to_context(decoder.get(), stream->codecpar), "decoder parameters");
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = threads;
    Check(avcodec_open2(decoder.get(), codec, nullptr), "open decoder");
    return decoder;
}

class Pipeline {
public:
    Pipeline(const std::string& input, const std::string& output, const ReferenceJob& job)
        : job_(job),
          packet_(media::MakePacket()),
          frame_(media::MakeFrame()),
          filtered_(media::MakeFrame()),
          encoded_(media::MakePacket()) {
        AVFormatContext* in = nullptr;
        Check(avformat_open_input(&in, input.c_str(), nullptr, nullptr), "open " + input);
        in_.reset(in);
        Check(avformat_find_stream_info(in_.get(), nullptr), "stream info");
        startUs_ = in_->start_time == AV_NOPTS_VALUE ? 0 : in_->start_time;

        AVFormatContext* out = nullptr;
        Check(avformat_alloc_output_context2(
                  &out, nullptr, job.format.empty() ? nullptr : job.format.c_str(), output.c_str()),
              "output format");
        out_.reset(out);
        if (job.hasVideo) {
            videoIn_ = av_find_best_stream(in_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
            Check(videoIn_, "video stream");
            if (job.copyVideo) {
                videoOut_ = AddCopiedStream(videoIn_);
            } else {
                SetUpVideo();
            }
        }
        if (job.hasAudio) {
            audioIn_ = av_find_best_stream(in_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
            Check(audioIn_, "audio stream");
            if (job.copyAudio) {
                audioOut_ = AddCopiedStream(audioIn_);
            } else {
                SetUpAudio();
            }
        }
        Check(avio_open(&out_->pb, output.c_str(), AVIO_FLAG_WRITE), "open " + output);
        AVDictionary* muxerOptions = Dictionary(job.muxerOptions).release();
        const int written = avformat_write_header(out_.get(), &muxerOptions);
        av_dict_free(&muxerOptions);
        Check(written, "write header");
    }

    void Run() {
        while (av_read_frame(in_.get(), packet_.get()) >= 0) {
            const int index = packet_->stream_index;
            if (index == videoIn_) {
                job_.copyVideo ? Copy(videoIn_, videoOut_) : DecodeVideo(packet_.get());
            } else if (index == audioIn_) {
                job_.copyAudio ? Copy(audioIn_, audioOut_) : DecodeAudio(packet_.get());
            }
            av_packet_unref(packet_.get());
        }
        if (videoDecoder_) {
            DecodeVideo(nullptr);
            Check(av_buffersrc_add_frame(source_, nullptr), "end of filter input");
            PullPictures();
            Encode(videoEncoder_.get(), nullptr, videoOut_);
        }
        if (audioDecoder_) {
            DecodeAudio(nullptr);
            EncodeQueuedSound(true);
            Encode(audioEncoder_.get(), nullptr, audioOut_);
        }
        Check(av_write_trailer(out_.get()), "write trailer");
    }

private:
    int AddCopiedStream(int inputIndex) {
        const AVStream* source = in_->streams[inputIndex];
        AVStream* stream = avformat_new_stream(out_.get(), nullptr);
        Check(avcodec_parameters_copy(stream->codecpar, source->codecpar), "copy parameters");
        stream->codecpar->codec_tag = 0;
        stream->time_base = source->time_base;
        stream->avg_frame_rate = source->avg_frame_rate;
        return stream->index;
    }

    AVStream* AddEncodedStream(AVCodecContext* encoder) {
        AVStream* stream = avformat_new_stream(out_.get(), nullptr);
        Check(avcodec_parameters_from_context(stream->codecpar, encoder), "stream parameters");
        stream->time_base = encoder->time_base;
        return stream;
    }

    void SetUpVideo() {
        const ReferenceVideo& v = job_.video;
        AVStream* in = in_->streams[videoIn_];
        videoDecoder_ = OpenDecoder(in, job_.threads);
        videoTimeBase_ = in->time_base;

        graph_.reset(avfilter_graph_alloc());
        graph_->nb_threads = job_.threads;
        const AVCodecContext* d = videoDecoder_.get();
        char args[256];
        std::snprintf(args, sizeof args,
                      "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d:"
                      "frame_rate=%d/%d",
                      d->width, d->height, d->pix_fmt, in->time_base.num, in->time_base.den,
                      std::max(in->sample_aspect_ratio.num, 0),
                      std::max(in->sample_aspect_ratio.den, 1), in->avg_frame_rate.num,
                      in->avg_frame_rate.den);
        Check(avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "src", args,
                                           nullptr, graph_.get()),
              "buffer source");
        Check(avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out",
                                           nullptr, nullptr, graph_.get()),
              "buffer sink");
        const AVPixelFormat formats[] = {v.pixelFormat, AV_PIX_FMT_NONE};
        Check(av_opt_set_int_list(sink_, "pix_fmts", formats, AV_PIX_FMT_NONE,
                                  AV_OPT_SEARCH_CHILDREN),
              "sink format");
        char scale[128];
        std::snprintf(scale, sizeof scale, "flags=0x%X:threads=%d",
                      static_cast<unsigned>(v.scalerFlags), job_.threads);
        av_opt_set(graph_.get(), "scale_sws_opts", scale, 0);
        std::string description;
        if (v.width != d->width || v.height != d->height) {
            std::snprintf(scale, sizeof scale, "scale=%d:%d:flags=0x%X:threads=%d", v.width,
                          v.height, static_cast<unsigned>(v.scalerFlags), job_.threads);
            description = scale;
        }
        if (!v.filters.empty()) {
            description += (description.empty() ? "" : ",") + v.filters;
        }
        if (description.empty()) {
            description = "null";
        }
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source_;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink_;
        const int parsed =
            avfilter_graph_parse_ptr(graph_.get(), description.c_str(), &inputs, &outputs, nullptr);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        Check(parsed, "filters");
        Check(avfilter_graph_config(graph_.get(), nullptr), "configure filters");

        const AVCodec* codec = avcodec_find_encoder_by_name(v.encoder.c_str());
        if (!codec) {
            throw std::runtime_error("no encoder " + v.encoder);
        }
        videoEncoder_.reset(avcodec_alloc_context3(codec));
        AVCodecContext* e = videoEncoder_.get();
        e->width = av_buffersink_get_w(sink_);
        e->height = av_buffersink_get_h(sink_);
        e->pix_fmt = v.pixelFormat;
        e->framerate = v.frameRate;
        e->time_base = av_inv_q(v.frameRate);
        e->sample_aspect_ratio = v.sampleAspect;
        e->thread_count = job_.threads;
        if (out_->oformat->flags & AVFMT_GLOBALHEADER) {
            e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        OpenWithOptions(e, codec, v.options, "open video encoder");
        AVStream* stream = AddEncodedStream(e);
        stream->avg_frame_rate = e->framerate;
        stream->sample_aspect_ratio = e->sample_aspect_ratio;
        videoOut_ = stream->index;
    }

    void SetUpAudio() {
        const ReferenceAudio& a = job_.audio;
        audioDecoder_ = OpenDecoder(in_->streams[audioIn_], job_.threads);
        const AVCodec* codec = avcodec_find_encoder_by_name(a.encoder.c_str());
        if (!codec) {
            throw std::runtime_error("no encoder " + a.encoder);
        }
        audioEncoder_.reset(avcodec_alloc_context3(codec));
        AVCodecContext* e = audioEncoder_.get();
        e->sample_rate = a.sampleRate;
        // The decoder's own sample format where the encoder takes it: no conversion needed.
        e->sample_fmt = audioDecoder_->sample_fmt;
        if (codec->sample_fmts) {
            const AVSampleFormat* f = codec->sample_fmts;
            while (*f != AV_SAMPLE_FMT_NONE && *f != e->sample_fmt) {
                ++f;
            }
            e->sample_fmt = *f == AV_SAMPLE_FMT_NONE ? codec->sample_fmts[0] : *f;
        }
        av_channel_layout_default(&e->ch_layout, a.channels);
        e->time_base = AVRational{1, a.sampleRate};
        e->thread_count = job_.threads;
        if (out_->oformat->flags & AVFMT_GLOBALHEADER) {
            e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        OpenWithOptions(e, codec, a.options, "open audio encoder");
        audioOut_ = AddEncodedStream(e)->index;

        const AVCodecContext* d = audioDecoder_.get();
        SwrContext* swr = nullptr;
        AVChannelLayout inLayout{};
        av_channel_layout_copy(&inLayout, &d->ch_layout);
        const int made = swr_alloc_set_opts2(&swr, &e->ch_layout, e->sample_fmt, e->sample_rate,
                                             &inLayout, d->sample_fmt, d->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        Check(made, "resampler");
        resampler_.reset(swr);
        av_opt_set_int(swr, "filter_size", 16, 0);
        av_opt_set_int(swr, "phase_shift", 10, 0);
        av_opt_set_double(swr, "cutoff", 0.8, 0);
        Check(swr_init(swr), "resampler");
        queue_.reset(av_audio_fifo_alloc(e->sample_fmt, e->ch_layout.nb_channels, 4096));
        converted_ = media::MakeFrame();
        sound_ = media::MakeFrame();
        sound_->format = e->sample_fmt;
        av_channel_layout_copy(&sound_->ch_layout, &e->ch_layout);
        sound_->sample_rate = e->sample_rate;
        sound_->nb_samples = e->frame_size > 0 ? e->frame_size : 1024;
        Check(av_frame_get_buffer(sound_.get(), 0), "sound buffer");
    }

    void Copy(int inputIndex, int outputIndex) {
        AVStream* out = out_->streams[outputIndex];
        av_packet_rescale_ts(packet_.get(), in_->streams[inputIndex]->time_base, out->time_base);
        const int64_t start = av_rescale_q(startUs_, AV_TIME_BASE_Q, out->time_base);
        if (packet_->pts != AV_NOPTS_VALUE) {
            packet_->pts -= start;
        }
        if (packet_->dts != AV_NOPTS_VALUE) {
            packet_->dts -= start;
        }
        packet_->stream_index = outputIndex;
        packet_->pos = -1;
        Check(av_interleaved_write_frame(out_.get(), packet_.get()), "write");
    }

    void DecodeVideo(const AVPacket* packet) {
        if (avcodec_send_packet(videoDecoder_.get(), packet) < 0) {
            return;
        }
        while (avcodec_receive_frame(videoDecoder_.get(), frame_.get()) == 0) {
            frame_->pts = frame_->best_effort_timestamp;
            Check(av_buffersrc_add_frame(source_, frame_.get()), "filter input");
            PullPictures();
        }
    }

    void PullPictures() {
        const AVRational filteredBase = av_buffersink_get_time_base(sink_);
        const AVRational encoderBase = videoEncoder_->time_base;
        while (av_buffersink_get_frame(sink_, filtered_.get()) >= 0) {
            // Repeats or drops pictures so that the output keeps its steady rate.
            const double seconds =
                static_cast<double>(av_rescale_q(filtered_->pts, filteredBase, AV_TIME_BASE_Q) -
                                    startUs_) /
                AV_TIME_BASE;
            const double delta = seconds / av_q2d(encoderBase) - static_cast<double>(nextFrame_);
            int64_t count = 1;
            if (delta < -1.1) {
                count = 0;
            } else if (nextFrame_ == 0 && delta > 0.5) {
                count = std::llrint(delta) + 1;
            } else if (delta > 1.1) {
                count = std::llrint(delta);
            }
            filtered_->pict_type = AV_PICTURE_TYPE_NONE;
            filtered_->sample_aspect_ratio = videoEncoder_->sample_aspect_ratio;
            for (int64_t i = 0; i < count; ++i) {
                filtered_->pts = nextFrame_++;
                Encode(videoEncoder_.get(), filtered_.get(), videoOut_);
            }
            av_frame_unref(filtered_.get());
        }
    }

    void DecodeAudio(const AVPacket* packet) {
        if (avcodec_send_packet(audioDecoder_.get(), packet) < 0) {
            return;
        }
        while (avcodec_receive_frame(audioDecoder_.get(), frame_.get()) == 0) {
            const int capacity = swr_get_out_samples(resampler_.get(), frame_->nb_samples);
            if (converted_->nb_samples < capacity) {
                av_frame_unref(converted_.get());
                converted_->format = audioEncoder_->sample_fmt;
                av_channel_layout_copy(&converted_->ch_layout, &audioEncoder_->ch_layout);
                converted_->nb_samples = std::max(capacity, 4096);
                Check(av_frame_get_buffer(converted_.get(), 0), "sound buffer");
            }
            const int got =
                swr_convert(resampler_.get(), converted_->extended_data, converted_->nb_samples,
                            const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
            Check(got, "resample");
            av_audio_fifo_write(queue_.get(), reinterpret_cast<void**>(converted_->extended_data),
                                got);
            av_frame_unref(frame_.get());
            EncodeQueuedSound(false);
        }
    }

    void EncodeQueuedSound(bool last) {
        AVCodecContext* e = audioEncoder_.get();
        const int frameSize = e->frame_size > 0 ? e->frame_size : 1024;
        while (true) {
            const int available = av_audio_fifo_size(queue_.get());
            int samples = std::min(available, frameSize);
            if (available < frameSize &&
                !(last && (e->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME))) {
                samples = 0;
            }
            if (samples <= 0) {
                return;
            }
            Check(av_frame_make_writable(sound_.get()), "sound buffer");
            sound_->nb_samples = samples;
            av_audio_fifo_read(queue_.get(), reinterpret_cast<void**>(sound_->extended_data),
                               samples);
            sound_->pts = nextSample_;
            nextSample_ += samples;
            Encode(e, sound_.get(), audioOut_);
        }
    }

    void Encode(AVCodecContext* encoder, const AVFrame* frame, int outputIndex) {
        const int sent = avcodec_send_frame(encoder, frame);
        if (sent < 0 && !(frame == nullptr && sent == AVERROR_EOF)) {
            Check(sent, "encode");
        }
        AVStream* stream = out_->streams[outputIndex];
        while (avcodec_receive_packet(encoder, encoded_.get()) == 0) {
            av_packet_rescale_ts(encoded_.get(), encoder->time_base, stream->time_base);
            encoded_->stream_index = outputIndex;
            Check(av_interleaved_write_frame(out_.get(), encoded_.get()), "write");
        }
    }

    const ReferenceJob& job_;
    media::InputFormatPtr in_;
    media::OutputFormatPtr out_;
    int64_t startUs_ = 0;
    PacketPtr packet_;
    FramePtr frame_;
    FramePtr filtered_;
    PacketPtr encoded_;

    int videoIn_ = -1;
    int videoOut_ = -1;
    AVRational videoTimeBase_{1, 1};
    CodecContextPtr videoDecoder_;
    CodecContextPtr videoEncoder_;
    FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    int64_t nextFrame_ = 0;

    int audioIn_ = -1;
    int audioOut_ = -1;
    CodecContextPtr audioDecoder_;
    CodecContextPtr audioEncoder_;
    SwrPtr resampler_;
    AudioFifoPtr queue_;
    FramePtr converted_;
    FramePtr sound_;
    int64_t nextSample_ = 0;
};

}  // namespace

void RunReference(const std::string& input, const std::string& output, const ReferenceJob& job) {
    Pipeline pipeline(input, output, job);
    pipeline.Run();
}

}  // namespace tw::bench
