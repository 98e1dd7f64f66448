// The main loop of a run: which input to read next, timestamp correction, decoding, and the
// end of the run (draining, trailers).
#include <chrono>
#include <cmath>
#include <thread>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
}

#include "engine/conversion_run.h"
#include "media/library_error.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::engine {

void ConversionRun::Transcode() {
    Prepare();
    host_.LoopStarting();
    MainLoop();
    Finish();
}

double ConversionRun::OutputSeconds(const OutputStream& ost) const {
    if (ost.encodingNeeded && ost.type != AVMEDIA_TYPE_SUBTITLE) {
        return static_cast<double>(ost.syncPosition) * av_q2d(ost.encoder->time_base);
    }
    if (ost.lastDts == AV_NOPTS_VALUE) {
        return 0;
    }
    return static_cast<double>(ost.lastDts) * av_q2d(ost.stream->time_base);
}

const InputFile& ConversionRun::SourceFile(const OutputStream& ost) const {
    const InputStream& ist = *inputStreams_[static_cast<size_t>(ost.source)];
    return inputFiles_[static_cast<size_t>(ist.fileIndex)];
}

int64_t ConversionRun::OutputLimit(const OutputStream& ost) const {
    return std::min(options_.RecordingTime(), SourceFile(ost).lengthUs);
}

double ConversionRun::SyncInputSeconds(const OutputStream& ost) const {
    return static_cast<double>(ost.syncSource->pts - runStartTime_) / AV_TIME_BASE;
}

int ConversionRun::ChooseInput(bool* limitReached, double* outputMinimum) {
    double inputMinimum = 1e100;
    double streamMinimum = 1e100;  // over the sparse subtitle streams too, for the choice
    double mediaMinimum = 1e100;   // over the others, for progress and the recording limit
    int chosen = -1;
    const bool inputSync = options_.GrabOptions().InputSync();
    for (const auto& ost : outputStreams_) {
        const InputStream& ist = *inputStreams_[static_cast<size_t>(ost->source)];
        const InputFile& file = inputFiles_[static_cast<size_t>(ist.fileIndex)];
        if (file.noPacket) {
            continue;
        }
        if (!file.endOfFile) {
            const double ipts = static_cast<double>(ist.pts);
            const bool sparse = ost->type == AVMEDIA_TYPE_SUBTITLE;
            const double opts = sparse ? ipts / AV_TIME_BASE : OutputSeconds(*ost);
            if (ipts < inputMinimum) {
                inputMinimum = ipts;
                if (inputSync) {
                    chosen = ist.fileIndex;
                }
            }
            if (opts < streamMinimum) {
                streamMinimum = opts;
                if (!inputSync) {
                    chosen = ist.fileIndex;
                }
            }
            if (!sparse && opts < mediaMinimum) {
                mediaMinimum = opts;
            }
        }
        if (ost->frameNumber >= options_.MaxFrames(ost->type)) {
            *limitReached = true;
            return -1;
        }
    }
    *outputMinimum = mediaMinimum < 1e100 ? mediaMinimum : streamMinimum;
    return chosen;
}

void ConversionRun::MainLoop() {
    const double recordingSeconds = static_cast<double>(options_.RecordingTime()) / AV_TIME_BASE;
    while (true) {
        if (!KeepGoing()) {
            break;
        }
        bool limitReached = false;
        double outputMinimum = 0;
        const int chosen = ChooseInput(&limitReached, &outputMinimum);
        if (chosen < 0) {
            limitReached_ = limitReached;
            if (limitReached || noPacketCount_ == 0) {
                break;
            }
            noPacketCount_ = 0;
            for (InputFile& file : inputFiles_) {
                file.noPacket = false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (outputMinimum < 1e100) {
            host_.SetConvertedDuration(outputMinimum);
        }
        if (recordingSeconds <= outputMinimum) {
            limitReached_ = true;
            break;
        }
        if (options_.Engine.FileSizeLimit != 0 && outputFiles_[0].context->pb &&
            avio_tell(outputFiles_[0].context->pb) >= options_.Engine.FileSizeLimit) {
            limitReached_ = true;
            break;
        }

        InputFile& file = inputFiles_[static_cast<size_t>(chosen)];
        host_.WatchLibraryErrors();
        const int result = av_read_frame(file.context.get(), packet_.get());
        if (result == AVERROR(EAGAIN)) {
            file.noPacket = true;
            ++noPacketCount_;
            continue;
        }
        if (result < 0) {
            // What was read is still finished into a whole file before the run fails.
            readFailure_ = ReadFailure(chosen, result);
            if (readFailure_) {
                break;
            }
            file.endOfFile = true;
            if (options_.Engine.Shortest) {
                limitReached_ = true;
                break;
            }
            continue;
        }
        noPacketCount_ = 0;
        for (InputFile& f : inputFiles_) {
            f.noPacket = false;
        }

        if (packet_->stream_index >= file.streamCount) {
            av_packet_unref(packet_.get());
            continue;
        }
        const int index = file.firstStream + packet_->stream_index;
        InputStream& ist = *inputStreams_[static_cast<size_t>(index)];
        if (ist.discard) {
            av_packet_unref(packet_.get());
            continue;
        }
        CorrectTimestamps(file, ist, *packet_);
        ProcessPacket(index, packet_.get());
        av_packet_unref(packet_.get());
        ReportProgress(false);
    }
}

std::optional<ERunFailure> ConversionRun::ReadFailure(int index, int result) const {
    const InputFile& file = inputFiles_[static_cast<size_t>(index)];
    const std::string& name = inputNames_[static_cast<size_t>(index)];
    AVIOContext* pb = file.context->pb;
    // A clean end of the file leaves no error in its byte layer; where it holds one, the
    // system's reason says more than the demuxer's complaint that followed.
    if (pb && pb->error < 0) {
        return ERunFailure("Could not read the source", media::LibraryErrorText(pb->error),
                           ERunFailure::Role::Source, name);
    }
    if (result != AVERROR_EOF) {
        return ERunFailure("Could not read the source", LibraryReason(result),
                           ERunFailure::Role::Source, name);
    }
    // Shortened while it was read (overwritten, or a download started again): what came out is
    // neither the source as it was nor as it is.
    const int64_t bytesNow = pb ? avio_size(pb) : -1;
    if (file.bytesAtOpen > 0 && bytesNow >= 0 && bytesNow < file.bytesAtOpen) {
        const std::string line = host_.WatchedLibraryError();
        return ERunFailure("The source was cut short while it was read",
                           line.empty() ? FormatPrintf("it holds %lld of the %lld bytes it had",
                                                       static_cast<long long>(bytesNow),
                                                       static_cast<long long>(file.bytesAtOpen))
                                        : line,
                           ERunFailure::Role::Source, name);
    }
    return std::nullopt;
}

bool ConversionRun::KeepGoing() {
    if (!stopped_ && !host_.Pass()) {
        stopped_ = true;
    }
    return !stopped_;
}

void ConversionRun::CorrectTimestamps(InputFile& file, InputStream& ist, AVPacket& packet) {
    const AVRational timeBase = ist.stream->time_base;
    const int64_t offset = av_rescale_q(file.timestampOffset, AV_TIME_BASE_Q, timeBase);
    if (packet.dts != AV_NOPTS_VALUE) {
        packet.dts += offset;
    }
    if (packet.pts != AV_NOPTS_VALUE) {
        packet.pts += offset;
    }
    if (ist.timestampScale != 0) {
        if (packet.dts != AV_NOPTS_VALUE) {
            packet.dts = std::llround(static_cast<double>(packet.dts) * ist.timestampScale);
        }
        if (packet.pts != AV_NOPTS_VALUE) {
            packet.pts = std::llround(static_cast<double>(packet.pts) * ist.timestampScale);
        }
    }
    if (packet.dts != AV_NOPTS_VALUE && ist.nextPts != AV_NOPTS_VALUE &&
        (file.context->iformat->flags & AVFMT_TS_DISCONT)) {
        const int64_t dtsUs = av_rescale_q(packet.dts, timeBase, AV_TIME_BASE_Q);
        const int64_t delta = dtsUs - ist.nextPts;
        const double threshold = static_cast<double>(options_.DtsDeltaThreshold) * AV_TIME_BASE;
        if ((std::fabs(static_cast<double>(delta)) > threshold || dtsUs + 1 < ist.pts) &&
            !options_.Engine.CopyTimestamps) {
            file.timestampOffset -= delta;
            const int64_t shift = av_rescale_q(delta, AV_TIME_BASE_Q, timeBase);
            packet.dts -= shift;
            if (packet.pts != AV_NOPTS_VALUE) {
                packet.pts -= shift;
            }
        }
    }
}

int ConversionRun::ProcessPacket(int inputStream, const AVPacket* packet) {
    InputStream& ist = *inputStreams_[static_cast<size_t>(inputStream)];
    const AVRational timeBase = ist.stream->time_base;
    if (ist.nextPts == AV_NOPTS_VALUE) {
        ist.nextPts = ist.pts;
    }
    if (packet && packet->dts != AV_NOPTS_VALUE) {
        ist.nextPts = ist.pts = av_rescale_q(packet->dts, timeBase, AV_TIME_BASE_Q);
    }
    if (ist.decodingNeeded && ist.decoderOpen) {
        DecodeAndOutput(ist, inputStream, packet);
    }
    if (!packet) {
        return 0;
    }
    bool copied = false;
    for (auto& ost : outputStreams_) {
        if (ost->source == inputStream && !ost->encodingNeeded) {
            copied = true;
        }
    }
    if (!copied) {
        return 0;
    }
    if (!ist.decodingNeeded) {
        // Copied only: advance the stream clock by one packet.
        ist.pts = ist.nextPts;
        const AVCodecParameters* par = ist.stream->codecpar;
        if (packet->duration > 0) {
            ist.nextPts += av_rescale_q(packet->duration, timeBase, AV_TIME_BASE_Q);
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0 &&
                   par->frame_size > 0) {
            ist.nextPts += static_cast<int64_t>(AV_TIME_BASE) * par->frame_size / par->sample_rate;
        } else if (par->codec_type == AVMEDIA_TYPE_VIDEO && ist.stream->avg_frame_rate.num > 0) {
            ist.nextPts += av_rescale_q(1, av_inv_q(ist.stream->avg_frame_rate), AV_TIME_BASE_Q);
        }
        EmulateRate(ist);
    }
    for (auto& ost : outputStreams_) {
        if (ost->source == inputStream && !ost->encodingNeeded) {
            CopyPacket(*ost, ist, *packet);
        }
    }
    return 0;
}

void ConversionRun::EmulateRate(const InputStream& ist) const {
    if (!options_.Engine.RateEmulation) {
        return;
    }
    // In slices, so that a stop ends even the wait for a picture far ahead.
    constexpr int64_t kSliceUs = 100000;
    for (int64_t ahead = ist.pts - (av_gettime() - ist.start); ahead > 0 && !host_.StopRequested();
         ahead = ist.pts - (av_gettime() - ist.start)) {
        std::this_thread::sleep_for(std::chrono::microseconds(std::min(ahead, kSliceUs)));
    }
}

void ConversionRun::DecodeAndOutput(InputStream& ist, int inputStream, const AVPacket* packet) {
    AVCodecContext* dec = ist.decoder.get();
    if (dec->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        HandleSubtitlePacket(ist, inputStream, packet);
        return;
    }
    // A packet the decoder refuses is dropped; the run goes on.
    const int sent = avcodec_send_packet(dec, packet);
    if (sent < 0 && sent != AVERROR_EOF) {
        return;
    }
    while (avcodec_receive_frame(dec, frame_.get()) == 0) {
        if (dec->codec_type == AVMEDIA_TYPE_VIDEO) {
            HandleVideoFrame(ist, inputStream, *frame_);
        } else if (dec->codec_type == AVMEDIA_TYPE_AUDIO) {
            HandleAudioFrame(ist, inputStream, *frame_);
        }
        av_frame_unref(frame_.get());
    }
}

void ConversionRun::HandleVideoFrame(InputStream& ist, int inputStream, AVFrame& frame) {
    const AVRational timeBase = ist.stream->time_base;
    const int64_t best = frame.best_effort_timestamp;
    if (best != AV_NOPTS_VALUE) {
        ist.pts = ist.nextPts = av_rescale_q(best, timeBase, AV_TIME_BASE_Q);
    } else {
        ist.pts = ist.nextPts;
    }
    frame.pts = av_rescale_q(ist.pts, AV_TIME_BASE_Q, timeBase);
    const AVCodecContext* dec = ist.decoder.get();
    if (frame.pkt_duration > 0) {
        ist.nextPts += av_rescale_q(frame.pkt_duration, timeBase, AV_TIME_BASE_Q);
    } else if (dec->framerate.num > 0) {
        ist.nextPts += std::llround(AV_TIME_BASE * av_q2d(av_inv_q(dec->framerate)) *
                                    (1.0 + frame.repeat_pict * 0.5));
    } else if (ist.stream->avg_frame_rate.num > 0) {
        ist.nextPts += av_rescale_q(1, av_inv_q(ist.stream->avg_frame_rate), AV_TIME_BASE_Q);
    }
    ist.quality = frame.quality;
    EmulateRate(ist);
    // A cut starts at a key frame before its start; what lies wholly before it is not wanted.
    if (inputFiles_[static_cast<size_t>(ist.fileIndex)].trimStart && ist.nextPts <= 0) {
        return;
    }

    for (auto& ost : outputStreams_) {
        if (ost->source != inputStream || !ost->encodingNeeded) {
            continue;
        }
        if ((frame.width != ost->sourceWidth || frame.height != ost->sourceHeight ||
             frame.format != ost->sourcePixelFormat) &&
            !ost->resize) {
            const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame.format));
            throw EAVError(FormatPrintf("Input Stream #%d.%d frame size changed to %dx%d, %s",
                                        ist.fileIndex, ist.streamIndex, frame.width, frame.height,
                                        name ? name : "none"));
        }
        if (ost->filters->Push(&frame) < 0) {
            continue;
        }
        while (ost->filters->Pull(filtered_.get()) == 0) {
            if (filtered_->pts != AV_NOPTS_VALUE) {
                ist.pts =
                    av_rescale_q(filtered_->pts, ost->filters->OutputTimeBase(), AV_TIME_BASE_Q);
            }
            WriteVideo(*ost, ist, *filtered_);
            av_frame_unref(filtered_.get());
        }
    }
}

void ConversionRun::HandleAudioFrame(InputStream& ist, int inputStream, AVFrame& frame) {
    ist.pts = ist.nextPts;
    if (frame.sample_rate > 0) {
        ist.nextPts += static_cast<int64_t>(AV_TIME_BASE) * frame.nb_samples / frame.sample_rate;
    }
    if (inputFiles_[static_cast<size_t>(ist.fileIndex)].trimStart && ist.pts < 0 &&
        frame.sample_rate > 0) {
        // The samples before the start of a cut are left out.
        const int64_t early = av_rescale(-ist.pts, frame.sample_rate, AV_TIME_BASE);
        if (early >= frame.nb_samples) {
            return;
        }
        SkipSamples(frame, static_cast<int>(early));
        ist.pts = 0;
    }
    if (options_.AudioOptions().AudioVolume() != 256) {
        ApplyVolume(frame);
    }
    EmulateRate(ist);
    for (auto& ost : outputStreams_) {
        if (ost->source == inputStream && ost->encodingNeeded) {
            WriteAudio(*ost, ist, frame);
        }
    }
}

void ConversionRun::SkipSamples(AVFrame& frame, int count) {
    // The frame's buffers stay referenced as they are; only the view of them moves on.
    const AVSampleFormat format = static_cast<AVSampleFormat>(frame.format);
    const int bytes = av_get_bytes_per_sample(format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = frame.ch_layout.nb_channels;
    const int planes = planar ? channels : 1;
    const int step = count * bytes * (planar ? 1 : channels);
    for (int p = 0; p < planes; ++p) {
        frame.extended_data[p] += step;
        if (p < AV_NUM_DATA_POINTERS) {
            frame.data[p] = frame.extended_data[p];
        }
    }
    frame.nb_samples -= count;
}

void ConversionRun::ApplyVolume(AVFrame& frame) const {
    const int volume = options_.AudioOptions().AudioVolume();
    if (av_frame_make_writable(&frame) < 0) {
        return;
    }
    const AVSampleFormat format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = frame.ch_layout.nb_channels;
    const int planes = planar ? channels : 1;
    const int perPlane = frame.nb_samples * (planar ? 1 : channels);
    for (int p = 0; p < planes; ++p) {
        uint8_t* data = frame.extended_data[p];
        switch (av_get_packed_sample_fmt(format)) {
            case AV_SAMPLE_FMT_S16: {
                auto* samples = reinterpret_cast<int16_t*>(data);
                for (int i = 0; i < perPlane; ++i) {
                    // Rounded, with the sign kept, and limited to the 16-bit range.
                    const int v = (samples[i] * volume + 128) >> 8;
                    samples[i] = static_cast<int16_t>(std::clamp(v, -32768, 32767));
                }
                break;
            }
            case AV_SAMPLE_FMT_S32: {
                auto* samples = reinterpret_cast<int32_t*>(data);
                for (int i = 0; i < perPlane; ++i) {
                    const int64_t v = (static_cast<int64_t>(samples[i]) * volume + 128) >> 8;
                    samples[i] = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
                }
                break;
            }
            case AV_SAMPLE_FMT_FLT: {
                auto* samples = reinterpret_cast<float*>(data);
                for (int i = 0; i < perPlane; ++i) {
                    samples[i] = std::clamp(samples[i] * volume / 256.0f, -1.0f, 1.0f);
                }
                break;
            }
            case AV_SAMPLE_FMT_DBL: {
                auto* samples = reinterpret_cast<double*>(data);
                for (int i = 0; i < perPlane; ++i) {
                    samples[i] = std::clamp(samples[i] * volume / 256.0, -1.0, 1.0);
                }
                break;
            }
            case AV_SAMPLE_FMT_U8: {
                for (int i = 0; i < perPlane; ++i) {
                    const int v = (((data[i] - 128) * volume + 128) >> 8) + 128;
                    data[i] = static_cast<uint8_t>(std::clamp(v, 0, 255));
                }
                break;
            }
            default:
                break;
        }
    }
}

void ConversionRun::HandleSubtitlePacket(InputStream& ist, int inputStream,
                                         const AVPacket* packet) {
    if (!packet) {
        return;
    }
    AVSubtitle subtitle{};
    int gotSubtitle = 0;
    AVPacket* mutablePacket = const_cast<AVPacket*>(packet);
    if (avcodec_decode_subtitle2(ist.decoder.get(), &subtitle, &gotSubtitle, mutablePacket) < 0 ||
        !gotSubtitle) {
        return;
    }
    struct Release {
        AVSubtitle* s;
        ~Release() { avsubtitle_free(s); }
    } release{&subtitle};
    for (auto& ost : outputStreams_) {
        if (ost->source == inputStream && ost->encodingNeeded) {
            WriteSubtitle(*ost, ist, subtitle, packet->pts);
        }
    }
}

void ConversionRun::CopyPacket(OutputStream& ost, InputStream& ist, const AVPacket& packet) {
    if (ost.frameNumber == 0 && !(packet.flags & AV_PKT_FLAG_KEY) &&
        !options_.Engine.CopyInitialNonKeyFrames) {
        return;
    }
    const AVRational in = ist.stream->time_base;
    const AVRational out = ost.chainInTimeBase;
    const int64_t limit = OutputLimit(ost);
    if (limit != INT64_MAX && packet.pts != AV_NOPTS_VALUE &&
        av_rescale_q(packet.pts, in, AV_TIME_BASE_Q) >= limit) {
        return;
    }
    const int64_t startOffset = av_rescale_q(runStartTime_, AV_TIME_BASE_Q, out);
    // The copy shares the packet's data; muxing leaves the reused packet empty again.
    AVPacket* copy = copied_.get();
    if (av_packet_ref(copy, &packet) < 0) {
        throw EAVError("no memory");
    }
    copy->stream_index = ost.index;
    copy->pts = packet.pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE
                                             : av_rescale_q(packet.pts, in, out) - startOffset;
    copy->dts = (packet.dts == AV_NOPTS_VALUE ? av_rescale_q(ist.pts, AV_TIME_BASE_Q, out)
                                              : av_rescale_q(packet.dts, in, out)) -
                startOffset;
    copy->duration = av_rescale_q(packet.duration, in, out);
    WritePacket(ost, *copy);
    ++ost.frameNumber;
}

void ConversionRun::Drain(int inputStream) {
    ProcessPacket(inputStream, nullptr);
    for (auto& ost : outputStreams_) {
        if (ost->source == inputStream && ost->encodingNeeded) {
            FlushEncoder(*ost);
        }
    }
}

void ConversionRun::FlushEncoder(OutputStream& ost) {
    if (ost.flushed || !ost.encoderOpen) {
        return;
    }
    ost.flushed = true;
    InputStream& ist = *inputStreams_[static_cast<size_t>(ost.source)];
    switch (ost.type) {
        case AVMEDIA_TYPE_VIDEO:
            if (ost.filters->Push(nullptr) >= 0) {
                while (ost.filters->Pull(filtered_.get()) == 0) {
                    if (filtered_->pts != AV_NOPTS_VALUE) {
                        ist.pts = av_rescale_q(filtered_->pts, ost.filters->OutputTimeBase(),
                                               AV_TIME_BASE_Q);
                    }
                    WriteVideo(ost, ist, *filtered_);
                    av_frame_unref(filtered_.get());
                }
            }
            SendToEncoder(ost, nullptr);
            break;
        case AVMEDIA_TYPE_AUDIO:
            EncodeQueuedAudio(ost, true);
            SendToEncoder(ost, nullptr);
            break;
        default:
            break;
    }
}

void ConversionRun::Finish() {
    for (size_t s = 0; s < inputStreams_.size(); ++s) {
        if (inputStreams_[s]->decodingNeeded) {
            Drain(static_cast<int>(s));
        }
    }
    // The trailer also writes out what the byte layer still holds, so a disk that fills up at
    // the end shows here; a file left without its end is a failed run, whatever came before.
    std::optional<ERunFailure> failure;
    for (size_t i = 0; i < outputFiles_.size(); ++i) {
        OutputFile& file = outputFiles_[i];
        if (!file.headerWritten) {
            continue;
        }
        int result = av_write_trailer(file.context.get());
        if (result >= 0 && file.context->pb) {
            avio_flush(file.context->pb);
            result = file.context->pb->error;
        }
        file.finished = result >= 0;
        if (result < 0 && !failure) {
            failure = ERunFailure(
                FormatPrintf("Could not finish the output file %s: %s", outputNames_[i].c_str(),
                             media::LibraryErrorText(result).c_str()),
                "", ERunFailure::Role::Target, outputNames_[i]);
        }
    }
    // Every write succeeds into a file whose name (or folder) was removed meanwhile, yet the
    // user would find nothing: such a run has failed.
    for (size_t i = 0; i < outputFiles_.size() && !failure; ++i) {
        const auto& written = outputFiles_[i].written;
        if (written && !written->StillThere()) {
            failure =
                ERunFailure(FormatPrintf("The output file %s was removed while it was written",
                                         outputNames_[i].c_str()),
                            "", ERunFailure::Role::Target, outputNames_[i]);
        }
    }
    if (!failure) {
        failure = readFailure_;
    }
    if (failure) {
        throw *failure;
    }
    if (!stopped_) {
        RefuseEmptyOutputs();
        ReportConvertedSpan();
    }
    ReportProgress(true);
}

void ConversionRun::RefuseEmptyOutputs() const {
    int64_t packets = 0;
    for (const OutputFile& file : outputFiles_) {
        packets += file.packets;
    }
    if (packets == 0 && !inputNames_.empty()) {
        // An empty container is no conversion, however cleanly it was closed.
        const int64_t start = options_.StartTime();
        throw ERunFailure("Nothing was converted",
                          start > 0
                              ? FormatPrintf("the source holds no picture or sound from %.1f s on",
                                             static_cast<double>(start) / AV_TIME_BASE)
                              : "the source gave no picture or sound that could be decoded",
                          ERunFailure::Role::Source, inputNames_.front());
    }
}

void ConversionRun::ReportConvertedSpan() {
    // The longest stream written against what the sources' headers say is there to convert.
    double converted = 0;
    int64_t expectedUs = 0;
    for (const auto& ost : outputStreams_) {
        if (ost->type == AVMEDIA_TYPE_SUBTITLE) {
            continue;
        }
        converted = std::max(converted, OutputSeconds(*ost));
        // The stream's own length where the header gives one: a sound track that ends before
        // the pictures does not make an audio target short. A part of a disc is as long as
        // the part.
        const InputFile& file = SourceFile(*ost);
        int64_t statedUs = file.statedDurationUs;
        if (statedUs != INT64_MAX && file.lengthUs == INT64_MAX) {
            statedUs = std::min(statedUs,
                                inputStreams_[static_cast<size_t>(ost->source)]->statedDurationUs);
        }
        if (statedUs != INT64_MAX) {
            expectedUs = std::max(
                expectedUs, std::min(options_.RecordingTime(), statedUs - options_.StartTime()));
        }
    }
    const double expected = static_cast<double>(expectedUs) / AV_TIME_BASE;
    // Streams end a little apart and headers round their lengths: only a clear shortfall of a
    // run that no limit ended counts.
    if (!limitReached_ && expected - converted > std::max(0.5, expected * 0.02)) {
        host_.EndedEarly(converted, expected);
    } else {
        host_.Converted();
    }
}

void ConversionRun::ReportProgress(bool last) {
    if (!host_.ReportDue(last)) {
        return;
    }
    double seconds = 10000000000.0;
    for (const auto& ost : outputStreams_) {
        const double t = OutputSeconds(*ost);
        if (t > 0 && t < seconds) {
            seconds = t;
        }
    }
    if (seconds < 0.01) {
        seconds = 0.01;
    }
    host_.Report(OutputSize(), InputSize(), seconds);
}

}  // namespace tw::engine
