// Preparation of a run: mapping output streams to input streams, codec parameters, encoders
// and decoders, chapters and headers.
#include <cmath>
#include <cstring>
#include <filesystem>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
}

#include <algorithm>
#include <tuple>
#include <utility>

#include "engine/conversion_run.h"
#include "engine/picture_clock.h"
#include "engine/two_pass_log.h"
#include "filters/filter_chain_translation.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::engine {

namespace {

// The stream the library itself would pick as the main one of its kind in its file.
bool IsBestOfFile(AVFormatContext* file, const AVStream* stream) {
    const int best = av_find_best_stream(file, stream->codecpar->codec_type, -1, -1, nullptr, 0);
    return best == stream->index;
}

// The size a picture shown displayAspect wide to 1 high takes inside a frame whose pixels are
// sampleAspect wide to 1 high: as large as fits without changing its shape, in whole chroma
// samples of format.
std::pair<int, int> FitInside(double displayAspect, int frameWidth, int frameHeight,
                              AVRational sampleAspect, AVPixelFormat format) {
    const double pixel = sampleAspect.num > 0 && sampleAspect.den > 0 ? av_q2d(sampleAspect) : 1.0;
    double width = frameWidth;
    double height = frameHeight;
    if (displayAspect > frameWidth * pixel / frameHeight) {
        height = frameWidth * pixel / displayAspect;
    } else {
        width = frameHeight * displayAspect / pixel;
    }
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    const auto whole = [](double size, int step, int limit) {
        return std::clamp(static_cast<int>(std::lround(size / step)) * step, step, limit);
    };
    return {whole(width, descriptor ? 1 << descriptor->log2_chroma_w : 1, frameWidth),
            whole(height, descriptor ? 1 << descriptor->log2_chroma_h : 1, frameHeight)};
}

}  // namespace

void ConversionRun::Prepare() {
    const bool rateEmulation = options_.Engine.RateEmulation;
    for (auto& ist : inputStreams_) {
        if (rateEmulation) {
            ist->start = av_gettime();
        }
    }
    for (const OutputFile& file : outputFiles_) {
        if (file.context->nb_streams == 0) {
            throw EAVError("Output file does not contain any stream");
        }
    }
    if (!streamMaps_.empty() && streamMaps_.size() != outputStreams_.size()) {
        throw EAVError("Number of stream maps must match number of output streams");
    }
    for (const StreamMapEntry& map : streamMaps_) {
        const auto exists = [this](int file, int stream) {
            return file >= 0 && file < static_cast<int>(inputFiles_.size()) && stream >= 0 &&
                   stream < inputFiles_[static_cast<size_t>(file)].streamCount;
        };
        if (!exists(map.file, map.stream)) {
            throw EAVError(
                FormatPrintf("Could not find input stream #%d.%d", map.file, map.stream));
        }
        if (!exists(map.syncFile, map.syncStream)) {
            throw EAVError(
                FormatPrintf("Could not find sync stream #%d.%d", map.syncFile, map.syncStream));
        }
    }

    for (size_t k = 0; k < outputStreams_.size(); ++k) {
        OutputStream& ost = *outputStreams_[k];
        ost.source = MapSource(ost, static_cast<int>(k));
        InputStream& ist = *inputStreams_[static_cast<size_t>(ost.source)];
        ist.discard = false;
        if (streamMaps_.empty()) {
            ost.syncSource = &ist;
        } else {
            const StreamMapEntry& map = streamMaps_[k];
            ost.syncSource =
                inputStreams_[static_cast<size_t>(
                                  inputFiles_[static_cast<size_t>(map.syncFile)].firstStream +
                                  map.syncStream)]
                    .get();
        }
    }

    for (size_t k = 0; k < outputStreams_.size(); ++k) {
        OutputStream& ost = *outputStreams_[k];
        InputStream& ist = *inputStreams_[static_cast<size_t>(ost.source)];
        av_dict_copy(&ost.stream->metadata, ist.stream->metadata, AV_DICT_DONT_OVERWRITE);
        ost.stream->disposition = ist.stream->disposition;
        ost.encoder->bits_per_raw_sample = ist.decoder->bits_per_raw_sample;
        ost.encoder->chroma_sample_location = ist.decoder->chroma_sample_location;
        if (ost.copy) {
            SetupCopiedStream(ost, ist);
        } else {
            SetupEncodedStream(ost, ist, static_cast<int>(k));
        }
    }

    OpenCodecs();

    for (auto& ist : inputStreams_) {
        const AVRational rate = ist->stream->avg_frame_rate;
        ist->pts = 0;
        if (rate.num != 0 && rate.den != 0) {
            ist->pts = -std::llround(ist->decoder->has_b_frames * 1000000.0 / av_q2d(rate));
        }
        ist->nextPts = AV_NOPTS_VALUE;
        ist->atStart = true;
    }

    for (size_t i = 0; i < inputFiles_.size(); ++i) {
        if (inputFiles_[i].context->nb_chapters == 0) {
            continue;
        }
        for (size_t o = 0; o < outputFiles_.size(); ++o) {
            CopyChapters(static_cast<int>(i), static_cast<int>(o));
        }
    }
    WriteHeaders();
}

int ConversionRun::MapSource(const OutputStream& ost, int mapIndex) const {
    const AVMediaType type = ost.type;
    if (!streamMaps_.empty()) {
        const StreamMapEntry& map = streamMaps_[static_cast<size_t>(mapIndex)];
        const int source = inputFiles_[static_cast<size_t>(map.file)].firstStream + map.stream;
        if (inputStreams_[static_cast<size_t>(source)]->stream->codecpar->codec_type != type) {
            throw EAVError(FormatPrintf("Codec type mismatch for mapping #%d.%d -> #%d.%d",
                                        map.file, map.stream, ost.fileIndex, ost.index));
        }
        return source;
    }
    if (ost.chosenSource >= 0) {
        return ost.chosenSource;
    }

    const int program = options_.Engine.ProgramNumber;
    const auto inProgram = [&](const InputStream& ist) {
        if (program == 0) {
            return true;
        }
        AVFormatContext* file = inputFiles_[static_cast<size_t>(ist.fileIndex)].context.get();
        for (unsigned p = 0; p < file->nb_programs; ++p) {
            const AVProgram* prog = file->programs[p];
            if (prog->id != program) {
                continue;
            }
            for (unsigned s = 0; s < prog->nb_stream_indexes; ++s) {
                if (static_cast<int>(prog->stream_index[s]) == ist.streamIndex) {
                    return true;
                }
            }
        }
        return false;
    };

    // The analysis frame counts are the library's own business now; its choice of the main
    // stream of a kind (frames seen, then bit rate, then the default flag) ranks the candidates.
    int chosen = -1;
    int chosenRank = -1;
    for (size_t s = 0; s < inputStreams_.size(); ++s) {
        const InputStream& ist = *inputStreams_[s];
        if (!ist.discard || ist.stream->discard == AVDISCARD_ALL || !inProgram(ist) ||
            ist.stream->codecpar->codec_type != type) {
            continue;
        }
        const int rank =
            IsBestOfFile(inputFiles_[static_cast<size_t>(ist.fileIndex)].context.get(), ist.stream)
                ? 1
                : 0;
        if (rank > chosenRank) {
            chosen = static_cast<int>(s);
            chosenRank = rank;
        }
    }
    if (chosen < 0 && program == 0) {
        for (size_t s = inputStreams_.size(); s-- > 0;) {
            const InputStream& ist = *inputStreams_[s];
            if (ist.stream->codecpar->codec_type == type && ist.stream->discard != AVDISCARD_ALL) {
                chosen = static_cast<int>(s);
                break;
            }
        }
    }
    if (chosen < 0) {
        throw EAVError("Could not find input stream matching output stream ");
    }
    return chosen;
}

void ConversionRun::SetupCopiedStream(OutputStream& ost, InputStream& ist) {
    AVCodecParameters* out = ost.stream->codecpar;
    const AVCodecParameters* in = ist.stream->codecpar;
    AVFormatContext* context = outputFiles_[static_cast<size_t>(ost.fileIndex)].context.get();
    if (in->codec_type == AVMEDIA_TYPE_AUDIO && options_.AudioOptions().AudioVolume() != 256) {
        throw EAVError("-acodec copy and -vol are incompatible (frames are not decoded)");
    }
    if (in->codec_type != AVMEDIA_TYPE_AUDIO && in->codec_type != AVMEDIA_TYPE_VIDEO &&
        in->codec_type != AVMEDIA_TYPE_SUBTITLE) {
        throw EAVError("unknown codec type");
    }
    const unsigned forcedTag = ost.encoder->codec_tag;
    if (avcodec_parameters_copy(out, in) < 0) {
        throw EAVError("failed to allocate extradata");
    }
    // The source's tag goes along only where the container accepts it for this codec.
    out->codec_tag = forcedTag;
    if (forcedTag == 0) {
        const AVCodecTag* const* tags = context->oformat->codec_tag;
        if (!tags || av_codec_get_id(tags, in->codec_tag) == in->codec_id ||
            av_codec_get_tag(tags, in->codec_id) == 0) {
            out->codec_tag = in->codec_tag;
        }
    }
    if (in->codec_type == AVMEDIA_TYPE_AUDIO) {
        if ((in->codec_id == AV_CODEC_ID_MP3 && in->block_align == 1) ||
            in->codec_id == AV_CODEC_ID_AC3) {
            out->block_align = 0;
        }
    }
    // Copied time base: one frame when the container's clock is finer than a millisecond and
    // the frame is longer than one tick, otherwise the source stream's.
    const AVRational frameTimeBase =
        in->codec_type == AVMEDIA_TYPE_VIDEO && ist.stream->avg_frame_rate.num > 0
            ? av_inv_q(ist.stream->avg_frame_rate)
            : AVRational{0, 1};
    const AVRational streamTimeBase = ist.stream->time_base;
    if (frameTimeBase.num > 0 && av_q2d(frameTimeBase) > av_q2d(streamTimeBase) &&
        av_q2d(streamTimeBase) < 0.001) {
        av_reduce(&ost.stream->time_base.num, &ost.stream->time_base.den, frameTimeBase.num,
                  frameTimeBase.den, INT32_MAX);
    } else {
        ost.stream->time_base = streamTimeBase;
    }
    if (in->codec_type == AVMEDIA_TYPE_VIDEO && ost.stream->sample_aspect_ratio.num == 0) {
        ost.stream->sample_aspect_ratio = ist.stream->sample_aspect_ratio;
    }
    ost.stream->avg_frame_rate = ist.stream->avg_frame_rate;
    ost.stream->r_frame_rate = ist.stream->r_frame_rate;
}

void ConversionRun::SetupEncodedStream(OutputStream& ost, InputStream& ist, int position) {
    AVCodecContext* enc = ost.encoder.get();
    AVCodecContext* dec = ist.decoder.get();
    ist.decodingNeeded = true;
    ost.encodingNeeded = true;
    switch (ost.type) {
        case AVMEDIA_TYPE_AUDIO:
            // The queue is made once the encoder is open and its sample format settled.
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            break;
        case AVMEDIA_TYPE_VIDEO: {
            // A source whose pictures the analysis could not decode has no pixel format either.
            if (enc->pix_fmt == AV_PIX_FMT_NONE || dec->pix_fmt == AV_PIX_FMT_NONE) {
                throw EAVError("Video pixel format is unknown, stream can not be decoded");
            }
            ost.resize = enc->width != dec->width || enc->height != dec->height ||
                         enc->pix_fmt != dec->pix_fmt || ist.rotation != 0 || !crop_.Empty();
            if (ist.rotation != 0) {
                // The pictures are turned upright, so no player must turn them again.
                av_dict_set(&ost.stream->metadata, "rotate", nullptr, 0);
            }
            ost.sourceHeight = dec->height;
            ost.sourceWidth = dec->width;
            ost.sourcePixelFormat = dec->pix_fmt;
            if (ost.keepSourceTiming) {
                // The source's own clock where it is finer; the rate stays the encoder's guide
                // for its bit budget.
                const AVRational clock = SourceTimingClock(ist.stream->time_base, enc->time_base);
                if (clock.num <= 0) {
                    ost.keepSourceTiming = false;
                } else if (av_cmp_q(clock, enc->time_base) != 0) {
                    const AVRational frame = enc->time_base;
                    enc->time_base = clock;
                    enc->ticks_per_frame =
                        std::max(1, static_cast<int>(std::lround(av_q2d(frame) / av_q2d(clock))));
                }
            }

            VideoFilterGraphParams params;
            params.width = dec->width;
            params.height = dec->height;
            params.pixelFormat = dec->pix_fmt;
            params.timeBase = ist.stream->time_base;
            params.sampleAspect = ist.stream->sample_aspect_ratio.num
                                      ? ist.stream->sample_aspect_ratio
                                      : dec->sample_aspect_ratio;
            params.frameRate = ist.stream->avg_frame_rate;
            params.outWidth = enc->width;
            params.outHeight = enc->height;
            params.outPixelFormat = enc->pix_fmt;
            // A device's frame with a display shape of its own: the picture keeps its shape
            // (as shown, turned upright) inside it instead of being stretched over it.
            const TVideoOptions& video = options_.VideoOptions();
            if (video.KeepPictureShape() && video.FrameWidth() > 0 && video.FrameHeight() > 0 &&
                requestedAspect_ > 0) {
                const bool quarterTurn = ist.rotation == 90 || ist.rotation == 270;
                const int keptWidth =
                    (quarterTurn ? dec->height : dec->width) - crop_.left - crop_.right;
                const int keptHeight =
                    (quarterTurn ? dec->width : dec->height) - crop_.top - crop_.bottom;
                // As stored: the pixel shape below applies before the turn.
                double shape = quarterTurn ? static_cast<double>(keptHeight) / keptWidth
                                           : static_cast<double>(keptWidth) / keptHeight;
                if (params.sampleAspect.num > 0 && params.sampleAspect.den > 0) {
                    shape *= av_q2d(params.sampleAspect);
                }
                if (quarterTurn) {
                    shape = 1 / shape;
                }
                std::tie(params.pictureWidth, params.pictureHeight) = FitInside(
                    shape, enc->width, enc->height, enc->sample_aspect_ratio, enc->pix_fmt);
            }
            params.palettePerPicture = enc->pix_fmt == AV_PIX_FMT_PAL8;
            params.scalerFlags = libraryOptions_.ScalerFlags();
            params.deinterlace = options_.VideoOptions().Deinterlace();
            params.deinterlaceAuto = options_.VideoOptions().DeinterlaceAuto();
            params.rotation = ist.rotation;
            params.crop = crop_;
            params.threads = options_.ThreadCount();
            params.userFilters =
                filters::TranslateFilterChain(options_.FilterOptions().VideoFilters());
            ost.filters = std::make_unique<VideoFilterGraph>();
            host_.WatchLibraryErrors();
            // A filter that reads a file (subtitles, a logo) names it in its own error line.
            if (const int result = ost.filters->BuildVideoFilterGraph(params); result != 0) {
                throw ERunFailure("Error opening filters!", LibraryReason(result));
            }
            enc->width = ost.filters->OutputWidth();
            enc->height = ost.filters->OutputHeight();
            if (enc->sample_aspect_ratio.num == 0) {
                enc->sample_aspect_ratio = ost.filters->OutputSampleAspect();
                ost.stream->sample_aspect_ratio = enc->sample_aspect_ratio;
            }
            break;
        }
        default:
            throw EAVError("unknown codec type");
    }
    if (enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) {
        SetupTwoPass(ost, position);
    }
}

void ConversionRun::SetupTwoPass(OutputStream& ost, int position) {
    const std::string path =
        TwoPassLogPath(outputNames_[static_cast<size_t>(ost.fileIndex)], position);
    // Encoders that keep statistics of their own (x264) keep them beside ours: in the current
    // folder, which they would take by default, every other two-pass run would share them.
    const AVCodec* codec = ost.codec;
    if (codec && codec->priv_class &&
        av_opt_find(const_cast<void*>(static_cast<const void*>(&codec->priv_class)), "stats",
                    nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ)) {
        AVDictionary* options = ost.encoderOptions.release();
        av_dict_set(&options, "stats", (path + ".encoder").c_str(), AV_DICT_DONT_OVERWRITE);
        ost.encoderOptions.reset(options);
    }
    if (ost.encoder->flags & AV_CODEC_FLAG_PASS1) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ost.statsFile.reset(std::fopen(path.c_str(), "wb"));
        if (!ost.statsFile) {
            throw EAVError(FormatPrintf("Cannot write file %s", path.c_str()));
        }
    } else {
        ost.statsIn = ReadTwoPassLog(path);
        ost.encoder->stats_in = ost.statsIn.data();
    }
}

void ConversionRun::OpenCodecs() {
    // Decoders first: text subtitle encoders take their header from the decoder.
    for (auto& ist : inputStreams_) {
        if (!ist->decodingNeeded) {
            continue;
        }
        const AVCodec* decoder = avcodec_find_decoder(ist->decoder->codec_id);
        if (!decoder) {
            throw EAVError("Unsupported codec for input stream ");
        }
        if (avcodec_open2(ist->decoder.get(), decoder, nullptr) < 0) {
            throw EAVError("Error while opening codec for input stream ");
        }
        ist->decoderOpen = true;
    }
    for (auto& ost : outputStreams_) {
        if (!ost->encodingNeeded) {
            continue;
        }
        AVCodecContext* enc = ost->encoder.get();
        const AVCodec* encoder = ost->codec ? ost->codec : avcodec_find_encoder(enc->codec_id);
        if (!encoder) {
            throw EAVError("Unsupported codec for output stream ");
        }
        if (ost->type == AVMEDIA_TYPE_SUBTITLE) {
            const AVCodecContext* dec =
                inputStreams_[static_cast<size_t>(ost->source)]->decoder.get();
            if (dec->subtitle_header && !enc->subtitle_header) {
                enc->subtitle_header = static_cast<uint8_t*>(
                    av_mallocz(static_cast<size_t>(dec->subtitle_header_size) + 1));
                if (!enc->subtitle_header) {
                    throw EAVError("no memory");
                }
                memcpy(enc->subtitle_header, dec->subtitle_header,
                       static_cast<size_t>(dec->subtitle_header_size));
                enc->subtitle_header_size = dec->subtitle_header_size;
            }
            enc->time_base = AV_TIME_BASE_Q;
            if (enc->width == 0) {
                enc->width = dec->width;
                enc->height = dec->height;
            }
        }
        AVDictionary* encoderOptions = ost->encoderOptions.release();
        host_.WatchLibraryErrors();
        const int result = avcodec_open2(enc, encoder, &encoderOptions);
        ost->encoderOptions.reset(encoderOptions);
        if (result < 0) {
            throw ERunFailure(
                "Error while opening codec for output stream - maybe incorrect parameters such "
                "as bit_rate, rate, width or height",
                LibraryReason(result), ERunFailure::Role::Target,
                outputNames_[static_cast<size_t>(ost->fileIndex)]);
        }
        ost->encoderOpen = true;
        if (avcodec_parameters_from_context(ost->stream->codecpar, enc) < 0) {
            throw EAVError("no memory");
        }
        // Subtitle packets are made in microseconds; the muxer picks its own base anyway.
        ost->stream->time_base =
            ost->type == AVMEDIA_TYPE_SUBTITLE ? AV_TIME_BASE_Q : enc->time_base;
        if (ost->type == AVMEDIA_TYPE_VIDEO) {
            ost->stream->avg_frame_rate = enc->framerate;
        }
        if (ost->type == AVMEDIA_TYPE_AUDIO) {
            // The queue holds samples in the format the encoder was finally opened with.
            ost->queue.reset(
                av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, 1024));
            if (!ost->queue) {
                throw EAVError("no memory");
            }
        }
    }
}

void ConversionRun::CopyChapters(int inputIndex, int outputIndex) {
    const InputFile& in = inputFiles_[static_cast<size_t>(inputIndex)];
    AVFormatContext* out = outputFiles_[static_cast<size_t>(outputIndex)].context.get();
    const int64_t recording = options_.RecordingTime();
    for (unsigned i = 0; i < in.context->nb_chapters; ++i) {
        const AVChapter* chapter = in.context->chapters[i];
        const int64_t t0 =
            av_rescale_q(runStartTime_ - in.timestampOffset, AV_TIME_BASE_Q, chapter->time_base);
        const int64_t rt = recording == INT64_MAX
                               ? INT64_MAX
                               : av_rescale_q(recording, AV_TIME_BASE_Q, chapter->time_base);
        // A chapter that ends where the cut begins, or begins where it ends, has nothing of it
        // inside: it is left out rather than kept without length.
        if (chapter->end <= t0) {
            continue;
        }
        if (rt != INT64_MAX && t0 + rt <= chapter->start) {
            break;
        }
        auto* copy = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!copy) {
            throw EAVError("Copy chapters failed");
        }
        copy->id = chapter->id;
        copy->time_base = chapter->time_base;
        copy->start = std::max<int64_t>(0, chapter->start - t0);
        copy->end = std::min(rt, chapter->end - t0);
        av_dict_copy(&copy->metadata, chapter->metadata, 0);
        if (av_dynarray_add_nofree(&out->chapters, reinterpret_cast<int*>(&out->nb_chapters),
                                   copy) < 0) {
            av_dict_free(&copy->metadata);
            av_free(copy);
            throw EAVError("Copy chapters failed");
        }
    }
}

void ConversionRun::InitBitstreamFilters(OutputStream& ost) {
    AVCodecParameters* current = ost.stream->codecpar;
    AVRational timeBase = ost.encodingNeeded && ost.type != AVMEDIA_TYPE_SUBTITLE
                              ? ost.encoder->time_base
                              : ost.stream->time_base;
    ost.chainInTimeBase = timeBase;
    for (auto& filter : ost.bitstreamFilters) {
        if (avcodec_parameters_copy(filter->par_in, current) < 0) {
            throw EAVError("no memory");
        }
        filter->time_base_in = timeBase;
        if (av_bsf_init(filter.get()) < 0) {
            throw EAVError(
                FormatPrintf("Error initializing bitstream filter: %s", filter->filter->name));
        }
        current = filter->par_out;
        timeBase = filter->time_base_out;
        ost.filteredPackets.push_back(media::MakePacket());
    }
    if (!ost.bitstreamFilters.empty()) {
        avcodec_parameters_copy(ost.stream->codecpar, current);
    }
    ost.chainOutTimeBase = timeBase;
}

void ConversionRun::WriteHeaders() {
    for (auto& ost : outputStreams_) {
        InitBitstreamFilters(*ost);
    }
    for (size_t i = 0; i < outputFiles_.size(); ++i) {
        OutputFile& file = outputFiles_[i];
        AVDictionary* muxerOptions = file.muxerOptions.release();
        host_.WatchLibraryErrors();
        const int result = avformat_write_header(file.context.get(), &muxerOptions);
        file.muxerOptions.reset(muxerOptions);
        if (result < 0) {
            throw ERunFailure(
                "Could not write header for output file  (incorrect codec parameters ?)",
                LibraryReason(result), ERunFailure::Role::Target, outputNames_[i]);
        }
        file.headerWritten = true;
    }
    WriteCoverArt();
}

void ConversionRun::WriteCoverArt() {
    for (const CoverArt& cover : coverArt_) {
        AVPacket* packet = copied_.get();
        if (av_packet_ref(packet, &cover.source->attached_pic) < 0) {
            throw EAVError("no memory");
        }
        packet->stream_index = cover.stream->index;
        packet->pts = packet->dts = 0;
        packet->duration = 0;
        packet->flags |= AV_PKT_FLAG_KEY;
        AVFormatContext* context = outputFiles_[static_cast<size_t>(cover.fileIndex)].context.get();
        if (av_interleaved_write_frame(context, packet) < 0) {
            throw EAVError("av_interleaved_write_frame() ");
        }
    }
}

}  // namespace tw::engine
