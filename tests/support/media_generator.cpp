#include "support/media_generator.h"

#include "support/av_handles.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace tw::test {
namespace {

// Minimal style sheet for the text-subtitle encoders, which read their styles from it.
constexpr const char* kAssHeader =
    "[Script Info]\r\n"
    "ScriptType: v4.00+\r\n"
    "PlayResX: 384\r\n"
    "PlayResY: 288\r\n"
    "\r\n"
    "[V4+ Styles]\r\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, "
    "Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, "
    "Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\r\n"
    "Style: Default,Arial,16,&Hffffff,&Hffffff,&H0,&H0,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,0\r\n"
    "\r\n"
    "[Events]\r\n"
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n";

constexpr AVRational kMillis{1, 1000};

struct Track {
    CodecContextPtr enc;
    FilterGraphPtr graph;
    AVFilterContext* sink = nullptr;
    AVStream* stream = nullptr;
    bool interlaced = false;
    bool topFieldFirst = true;
    // Encoder priming moved to non-negative time (in encoder time base); unset until the first
    // packet. Only audio gets one, see ShiftPriming().
    std::optional<int64_t> leadIn;
    double nextSec = 0;
    bool done = false;
};

struct SubtitleTrack {
    CodecContextPtr enc;
    AVStream* stream = nullptr;
    std::vector<SubtitleCue> cues;  // sorted by start
    std::size_t next = 0;
};

// Encoder families that Debian may ship under a different name than the one a test asks for.
AVCodecID FamilyOf(const std::string& name) {
    static const std::map<std::string, AVCodecID> kFamilies = {
        {"libx264", AV_CODEC_ID_H264},   {"libx265", AV_CODEC_ID_HEVC},
        {"libmp3lame", AV_CODEC_ID_MP3}, {"libvorbis", AV_CODEC_ID_VORBIS},
        {"libopus", AV_CODEC_ID_OPUS},   {"libfdk_aac", AV_CODEC_ID_AAC},
        {"libvpx", AV_CODEC_ID_VP8},     {"libvpx-vp9", AV_CODEC_ID_VP9},
        {"libtwolame", AV_CODEC_ID_MP2}, {"libxvid", AV_CODEC_ID_MPEG4},
    };
    auto it = kFamilies.find(name);
    if (it != kFamilies.end()) {
        return it->second;
    }
    const AVCodecDescriptor* desc = avcodec_descriptor_get_by_name(name.c_str());
    return desc != nullptr ? desc->id : AV_CODEC_ID_NONE;
}

CodecContextPtr AllocContext(const AVCodec* codec) {
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) {
        throw std::runtime_error("avcodec_alloc_context3 failed");
    }
    return ctx;
}

const AVCodec* FindEncoder(const std::string& name) {
    if (const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str())) {
        return codec;
    }
    AVCodecID id = FamilyOf(name);
    if (id != AV_CODEC_ID_NONE) {
        if (const AVCodec* codec = avcodec_find_encoder(id)) {
            return codec;
        }
    }
    throw std::runtime_error("no encoder available for '" + name + "'");
}

std::string Number(double value) {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%.6f", value);
    return buf;
}

void SetDict(AVDictionary** dict, const Metadata& values) {
    for (const auto& [key, value] : values) {
        Check(av_dict_set(dict, key.c_str(), value.c_str(), 0), "setting '" + key + "'");
    }
}

// Opens enc with the given private/generic options, refusing any that nobody took: a misspelt
// option would otherwise silently produce a different clip than the test meant.
void OpenEncoder(AVCodecContext* enc, const AVCodec* codec, const Metadata& options) {
    ScopedDict opts;
    SetDict(&opts.dict, options);
    Check(avcodec_open2(enc, codec, &opts.dict), std::string("opening encoder ") + codec->name);
    if (const AVDictionaryEntry* left =
            av_dict_get(opts.dict, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
        throw std::runtime_error(std::string("encoder ") + codec->name + " does not know option '" +
                                 left->key + "'");
    }
}

// Builds "<source>,<conversion>" ending in a buffer sink, which hands out the frames to encode.
void BuildGraph(Track& track, const std::string& desc, bool audio) {
    track.graph.reset(avfilter_graph_alloc());
    if (!track.graph) {
        throw std::runtime_error("avfilter_graph_alloc failed");
    }
    track.graph->nb_threads = 1;
    const AVFilter* sink = avfilter_get_by_name(audio ? "abuffersink" : "buffersink");
    Check(
        avfilter_graph_create_filter(&track.sink, sink, "out", nullptr, nullptr, track.graph.get()),
        "creating buffer sink");
    AVFilterInOut* rawInputs = nullptr;
    AVFilterInOut* rawOutputs = nullptr;
    int err = avfilter_graph_parse2(track.graph.get(), desc.c_str(), &rawInputs, &rawOutputs);
    FilterInOutPtr inputs(rawInputs);
    FilterInOutPtr outputs(rawOutputs);
    Check(err, "parsing filter graph '" + desc + "'");
    if (inputs || !outputs || outputs->next != nullptr) {
        throw std::runtime_error("filter graph '" + desc + "' must have exactly one open output");
    }
    Check(avfilter_link(outputs->filter_ctx, outputs->pad_idx, track.sink, 0),
          "linking filter graph '" + desc + "'");
    Check(avfilter_graph_config(track.graph.get(), nullptr), "configuring '" + desc + "'");
}

AVStream* AddStream(AVFormatContext* oc, const AVCodecContext* enc, const Metadata& metadata) {
    AVStream* st = avformat_new_stream(oc, nullptr);
    if (st == nullptr) {
        throw std::runtime_error("avformat_new_stream failed");
    }
    Check(avcodec_parameters_from_context(st->codecpar, enc), "copying codec parameters");
    st->time_base = enc->time_base;
    SetDict(&st->metadata, metadata);
    return st;
}

void PrepareEncoder(AVCodecContext* enc, const AVFormatContext* oc) {
    enc->thread_count = 1;
    if ((oc->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
}

Track MakeVideoTrack(const ClipDescription& clip, AVFormatContext* oc) {
    if (clip.width <= 0 || clip.height <= 0 || clip.frameRate.num <= 0 || clip.frameRate.den <= 0) {
        throw std::runtime_error("video needs a positive size and frame rate");
    }
    const AVCodec* codec = FindEncoder(clip.videoCodec);
    AVPixelFormat pixFmt = AV_PIX_FMT_NONE;
    if (!clip.pixelFormat.empty()) {
        pixFmt = av_get_pix_fmt(clip.pixelFormat.c_str());
        if (pixFmt == AV_PIX_FMT_NONE) {
            throw std::runtime_error("unknown pixel format '" + clip.pixelFormat + "'");
        }
    }
    if (codec->pix_fmts != nullptr) {
        const AVPixelFormat* p = codec->pix_fmts;
        while (*p != AV_PIX_FMT_NONE && *p != pixFmt) {
            ++p;
        }
        if (pixFmt == AV_PIX_FMT_NONE) {
            pixFmt = codec->pix_fmts[0];
        } else if (*p == AV_PIX_FMT_NONE) {
            throw std::runtime_error(std::string("encoder ") + codec->name +
                                     " does not take pixel format " + clip.pixelFormat);
        }
    } else if (pixFmt == AV_PIX_FMT_NONE) {
        pixFmt = AV_PIX_FMT_YUV420P;
    }

    Track track;
    track.enc = AllocContext(codec);
    AVCodecContext* enc = track.enc.get();
    enc->width = clip.width;
    enc->height = clip.height;
    enc->pix_fmt = pixFmt;
    enc->time_base = clip.frameTimesSec.empty() ? av_inv_q(clip.frameRate) : kMillis;
    enc->framerate = clip.frameRate;
    enc->sample_aspect_ratio = clip.sampleAspect;
    enc->gop_size = clip.gopSize;
    if (clip.videoBitRate > 0) {
        enc->bit_rate = clip.videoBitRate;
    }
    if (clip.interlaced) {
        enc->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
        enc->field_order = clip.topFieldFirst ? AV_FIELD_TT : AV_FIELD_BB;
        track.interlaced = true;
        track.topFieldFirst = clip.topFieldFirst;
    }
    PrepareEncoder(enc, oc);
    Metadata options = clip.videoCodecOptions;
    if (std::string(codec->name) == "libx264" && options.count("preset") == 0) {
        options["preset"] = "veryfast";
    }
    OpenEncoder(enc, codec, options);

    track.stream = AddStream(oc, enc, clip.videoMetadata);
    track.stream->avg_frame_rate = clip.frameRate;
    track.stream->sample_aspect_ratio = clip.sampleAspect;
    if (!clip.videoCodecTag.empty()) {
        const std::string& t = clip.videoCodecTag;
        if (t.size() != 4) {
            throw std::runtime_error("codec tag '" + t + "' is not four characters");
        }
        track.stream->codecpar->codec_tag = MKTAG(t[0], t[1], t[2], t[3]);
    }
    auto rotate = clip.videoMetadata.find("rotate");
    if (rotate != clip.videoMetadata.end()) {
        // Newer muxers take the orientation only from the display matrix, older readers only
        // from the tag, so the clip carries both.
        auto* matrix = reinterpret_cast<int32_t*>(
            av_stream_new_side_data(track.stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        if (matrix == nullptr) {
            throw std::runtime_error("cannot attach display matrix");
        }
        av_display_rotation_set(matrix, std::stod(rotate->second));
    }

    std::ostringstream desc;
    desc << "testsrc2=size=" << clip.width << "x" << clip.height << ":rate=" << clip.frameRate.num
         << "/" << clip.frameRate.den << ":duration=" << Number(clip.durationSec);
    if (!clip.videoFilter.empty()) {
        desc << "," << clip.videoFilter;
    }
    desc << ",setsar=" << clip.sampleAspect.num << "/" << clip.sampleAspect.den
         << ",format=pix_fmts=" << av_get_pix_fmt_name(pixFmt);
    BuildGraph(track, desc.str(), false);
    return track;
}

AVChannelLayout PickLayout(const AVCodec* codec, int channels) {
    AVChannelLayout layout{};
    if (codec->ch_layouts != nullptr) {
        for (const AVChannelLayout* l = codec->ch_layouts; l->nb_channels != 0; ++l) {
            if (l->nb_channels == channels) {
                Check(av_channel_layout_copy(&layout, l), "copying channel layout");
                return layout;
            }
        }
        throw std::runtime_error(std::string("encoder ") + codec->name + " has no " +
                                 std::to_string(channels) + "-channel layout");
    }
    av_channel_layout_default(&layout, channels);
    return layout;
}

Track MakeAudioTrack(const AudioTrackDescription& clip, double durationSec, AVFormatContext* oc) {
    if (clip.channels != 1 && clip.channels != 2 && clip.channels != 6) {
        throw std::runtime_error("audio channels must be 1, 2 or 6");
    }
    const AVCodec* codec = FindEncoder(clip.codec);
    if (codec->supported_samplerates != nullptr) {
        const int* r = codec->supported_samplerates;
        while (*r != 0 && *r != clip.sampleRate) {
            ++r;
        }
        if (*r == 0) {
            throw std::runtime_error(std::string("encoder ") + codec->name + " does not take " +
                                     std::to_string(clip.sampleRate) + " Hz");
        }
    }

    Track track;
    track.enc = AllocContext(codec);
    AVCodecContext* enc = track.enc.get();
    enc->sample_rate = clip.sampleRate;
    enc->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    AVChannelLayout layout = PickLayout(codec, clip.channels);
    int err = av_channel_layout_copy(&enc->ch_layout, &layout);
    char layoutName[128] = {};
    av_channel_layout_describe(&layout, layoutName, sizeof(layoutName));
    av_channel_layout_uninit(&layout);
    Check(err, "setting channel layout");
    enc->time_base = AVRational{1, clip.sampleRate};
    if (clip.bitRate > 0) {
        enc->bit_rate = clip.bitRate;
    }
    PrepareEncoder(enc, oc);
    OpenEncoder(enc, codec, {});
    track.stream = AddStream(oc, enc, clip.metadata);

    std::ostringstream desc;
    desc << "sine=frequency=" << Number(clip.sineFrequencyHz) << ":sample_rate=" << clip.sampleRate
         << ":beep_factor=" << Number(clip.beepFactor) << ":duration=" << Number(durationSec)
         << ",aformat=sample_fmts=" << av_get_sample_fmt_name(enc->sample_fmt)
         << ":sample_rates=" << clip.sampleRate << ":channel_layouts=" << layoutName;
    BuildGraph(track, desc.str(), true);
    if (enc->frame_size > 0 && (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) == 0) {
        av_buffersink_set_frame_size(track.sink, enc->frame_size);
    }
    return track;
}

SubtitleTrack MakeSubtitleTrack(const ClipDescription& clip, AVFormatContext* oc) {
    std::string name = clip.subtitleCodec;
    if (name.empty()) {
        std::string muxer = oc->oformat->name;
        name = (muxer == "mp4" || muxer == "mov" || muxer == "ipod") ? "mov_text" : "subrip";
    }
    const AVCodec* codec = FindEncoder(name);
    SubtitleTrack track;
    track.enc = AllocContext(codec);
    AVCodecContext* enc = track.enc.get();
    enc->time_base = kMillis;
    std::size_t headerSize = std::char_traits<char>::length(kAssHeader) + 1;
    enc->subtitle_header = static_cast<uint8_t*>(av_malloc(headerSize));
    if (enc->subtitle_header == nullptr) {
        throw std::runtime_error("out of memory");
    }
    std::copy_n(kAssHeader, headerSize, reinterpret_cast<char*>(enc->subtitle_header));
    enc->subtitle_header_size = static_cast<int>(headerSize - 1);
    PrepareEncoder(enc, oc);
    OpenEncoder(enc, codec, {});
    track.stream = AddStream(oc, enc, clip.subtitleMetadata);
    track.cues = clip.subtitles;
    std::stable_sort(
        track.cues.begin(), track.cues.end(),
        [](const SubtitleCue& a, const SubtitleCue& b) { return a.startSec < b.startSec; });
    return track;
}

void AddChapters(const ClipDescription& clip, AVFormatContext* oc) {
    for (std::size_t i = 0; i < clip.chapters.size(); ++i) {
        const ChapterDescription& c = clip.chapters[i];
        auto** grown = static_cast<AVChapter**>(
            av_realloc_array(oc->chapters, oc->nb_chapters + 1, sizeof(AVChapter*)));
        if (grown == nullptr) {
            throw std::runtime_error("out of memory");
        }
        oc->chapters = grown;
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (chapter == nullptr) {
            throw std::runtime_error("out of memory");
        }
        // From here the format context owns the chapter and frees it with itself.
        oc->chapters[oc->nb_chapters++] = chapter;
        chapter->id = static_cast<int64_t>(i + 1);
        chapter->time_base = kMillis;
        chapter->start = std::llround(c.startSec * 1000);
        chapter->end = std::llround(c.endSec * 1000);
        Check(av_dict_set(&chapter->metadata, "title", c.title.c_str(), 0), "chapter title");
    }
}

class ClipWriter {
public:
    ClipWriter(const ClipDescription& clip, const std::string& path) : clip_(clip), path_(path) {}

    void Run() {
        Open();
        Mux();
    }

private:
    void Open() {
        AVFormatContext* raw = nullptr;
        Check(avformat_alloc_output_context2(
                  &raw, nullptr, clip_.formatName.empty() ? nullptr : clip_.formatName.c_str(),
                  path_.c_str()),
              "choosing a container for " + path_);
        oc_.reset(raw);
        AVFormatContext* oc = oc_.get();

        if (!clip_.videoCodec.empty()) {
            tracks_.push_back(MakeVideoTrack(clip_, oc));
        }
        if (!clip_.audioCodec.empty()) {
            const AudioTrackDescription first{
                clip_.audioCodec,   clip_.sampleRate,    clip_.channels,  clip_.sineFrequencyHz,
                clip_.audioBitRate, clip_.audioMetadata, clip_.beepFactor};
            tracks_.push_back(MakeAudioTrack(first, clip_.durationSec, oc));
            tracks_.back().done = clip_.audioDeclaredOnly;
        }
        if (clip_.secondAudio) {
            tracks_.push_back(MakeAudioTrack(*clip_.secondAudio, clip_.durationSec, oc));
        }
        if (!clip_.subtitles.empty()) {
            subtitles_ = MakeSubtitleTrack(clip_, oc);
        }
        if (oc->nb_streams == 0) {
            throw std::runtime_error("clip " + path_ + " would have no streams");
        }
        if (!clip_.coverArtPath.empty()) {
            AddCover(oc);
        }
        AddChapters(clip_, oc);
        SetDict(&oc->metadata, clip_.containerMetadata);
        oc->output_ts_offset = std::llround(clip_.startOffsetSec * AV_TIME_BASE);

        if ((oc->oformat->flags & AVFMT_NOFILE) == 0) {
            Check(avio_open(&oc->pb, path_.c_str(), AVIO_FLAG_WRITE), "creating " + path_);
        }
        ScopedDict muxOptions;
        // A single image file (no "%d" in the name) is rewritten for every frame.
        if (std::string(oc->oformat->name) == "image2" && path_.find('%') == std::string::npos) {
            av_dict_set(&muxOptions.dict, "update", "1", 0);
        }
        Check(avformat_write_header(oc, &muxOptions.dict), "writing header of " + path_);
        if (cover_) {
            Check(av_interleaved_write_frame(oc, cover_.get()), "writing the cover of " + path_);
        }
    }

    // The picture of the cover file, as one packet of a stream marked as the attached picture.
    void AddCover(AVFormatContext* oc) {
        AVFormatContext* raw = nullptr;
        Check(avformat_open_input(&raw, clip_.coverArtPath.c_str(), nullptr, nullptr),
              "opening cover " + clip_.coverArtPath);
        InputFormatPtr image(raw);
        Check(avformat_find_stream_info(image.get(), nullptr), "reading cover");
        cover_ = MakePacket();
        Check(av_read_frame(image.get(), cover_.get()), "reading cover");
        AVStream* stream = avformat_new_stream(oc, nullptr);
        if (stream == nullptr) {
            throw std::runtime_error("avformat_new_stream failed");
        }
        Check(avcodec_parameters_copy(stream->codecpar,
                                      image->streams[cover_->stream_index]->codecpar),
              "copying cover parameters");
        stream->codecpar->codec_tag = 0;
        stream->disposition = AV_DISPOSITION_ATTACHED_PIC;
        stream->time_base = AVRational{1, 90000};
        cover_->stream_index = stream->index;
        cover_->pts = cover_->dts = 0;
        cover_->flags |= AV_PKT_FLAG_KEY;
    }

    // Pulls frames from whichever source is furthest behind so that the streams reach the muxer
    // roughly interleaved, as a real recording would.
    void Mux() {
        FramePtr frame = MakeFrame();
        for (;;) {
            Track* next = nullptr;
            for (Track& t : tracks_) {
                if (!t.done && (next == nullptr || t.nextSec < next->nextSec)) {
                    next = &t;
                }
            }
            if (next == nullptr) {
                break;
            }
            int err = av_buffersink_get_frame(next->sink, frame.get());
            const bool timed =
                next->enc->codec_type == AVMEDIA_TYPE_VIDEO && !clip_.frameTimesSec.empty();
            if (err >= 0 && timed && shownPictures_ == clip_.frameTimesSec.size()) {
                av_frame_unref(frame.get());
                err = AVERROR_EOF;
            }
            if (err == AVERROR_EOF) {
                Encode(*next, nullptr);
                next->done = true;
                continue;
            }
            Check(err, "generating source frames");
            AVRational sinkTb = av_buffersink_get_time_base(next->sink);
            frame->pts = av_rescale_q(frame->pts, sinkTb, next->enc->time_base);
            if (timed) {
                frame->pts = std::llround(clip_.frameTimesSec[shownPictures_++] * 1000);
            }
            frame->pict_type = AV_PICTURE_TYPE_NONE;
            if (next->interlaced) {
                frame->interlaced_frame = 1;
                frame->top_field_first = next->topFieldFirst ? 1 : 0;
            }
            next->nextSec = static_cast<double>(frame->pts) * av_q2d(next->enc->time_base);
            WriteCuesUntil(next->nextSec);
            Encode(*next, frame.get());
            av_frame_unref(frame.get());
        }
        WriteCuesUntil(HUGE_VAL);
        Check(av_write_trailer(oc_.get()), "finishing " + path_);
    }

    int64_t ShiftForJump(int64_t pts, AVRational tb) const {
        if (clip_.ptsJumpSec == 0.0 || pts == AV_NOPTS_VALUE) {
            return pts;
        }
        if (static_cast<double>(pts) * av_q2d(tb) + 1e-9 < clip_.ptsJumpAtSec) {
            return pts;
        }
        return pts + std::llround(clip_.ptsJumpSec / av_q2d(tb));
    }

    void Encode(Track& track, const AVFrame* frame) {
        Check(avcodec_send_frame(track.enc.get(), frame), "encoding for " + path_);
        for (;;) {
            int err = avcodec_receive_packet(track.enc.get(), packet_.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) {
                return;
            }
            Check(err, "encoding for " + path_);
            ShiftPriming(track);
            if (clip_.videoUndecodable && track.enc->codec_type == AVMEDIA_TYPE_VIDEO) {
                Check(av_packet_make_writable(packet_.get()), "writing noise");
                for (int i = 0; i < packet_->size; ++i) {
                    packet_->data[i] = static_cast<uint8_t>(noise_() & 0xFF);
                }
            }
            packet_->stream_index = track.stream->index;
            av_packet_rescale_ts(packet_.get(), track.enc->time_base, track.stream->time_base);
            // A discontinuity as a broadcast splice makes it: every packet muxed from the jump
            // on, decoding and presentation times alike, moves by the same amount.
            if (clip_.ptsJumpSec != 0.0 && packet_->dts != AV_NOPTS_VALUE &&
                ShiftForJump(packet_->dts, track.stream->time_base) != packet_->dts) {
                const int64_t shift =
                    std::llround(clip_.ptsJumpSec / av_q2d(track.stream->time_base));
                packet_->dts += shift;
                if (packet_->pts != AV_NOPTS_VALUE) {
                    packet_->pts += shift;
                }
            }
            Check(av_interleaved_write_frame(oc_.get(), packet_.get()), "writing " + path_);
        }
    }

    // Audio encoders start with priming samples at negative time. Containers that cannot hold
    // negative timestamps would otherwise make the muxer push every stream later by that much, so
    // that video and subtitles no longer start where the test put them; there the priming is
    // played as lead-in silence instead.
    void ShiftPriming(Track& track) {
        if (track.enc->codec_type != AVMEDIA_TYPE_AUDIO ||
            (oc_->oformat->flags & AVFMT_TS_NEGATIVE) != 0) {
            return;
        }
        if (!track.leadIn) {
            track.leadIn = packet_->pts != AV_NOPTS_VALUE && packet_->pts < 0 ? -packet_->pts : 0;
        }
        if (packet_->pts != AV_NOPTS_VALUE) {
            packet_->pts += *track.leadIn;
        }
        if (packet_->dts != AV_NOPTS_VALUE) {
            packet_->dts += *track.leadIn;
        }
    }

    void WriteCuesUntil(double sec) {
        if (!subtitles_) {
            return;
        }
        SubtitleTrack& track = *subtitles_;
        std::vector<uint8_t> buffer(64 * 1024);
        while (track.next < track.cues.size() && track.cues[track.next].startSec <= sec) {
            const SubtitleCue& cue = track.cues[track.next];
            std::string text;
            for (char c : cue.text) {
                text += c == '\n' ? std::string("\\N") : std::string(1, c);
            }
            std::string line = std::to_string(track.next) + ",0,Default,,0,0,0,," + text;
            AVSubtitleRect rect{};
            rect.type = SUBTITLE_ASS;
            rect.ass = line.data();
            AVSubtitleRect* rects[] = {&rect};
            AVSubtitle sub{};
            sub.format = 1;
            sub.rects = rects;
            sub.num_rects = 1;
            sub.pts = std::llround(cue.startSec * AV_TIME_BASE);
            sub.end_display_time =
                static_cast<uint32_t>(std::llround((cue.endSec - cue.startSec) * 1000));
            int size = Check(avcodec_encode_subtitle(track.enc.get(), buffer.data(),
                                                     static_cast<int>(buffer.size()), &sub),
                             "encoding subtitle");
            Check(av_new_packet(packet_.get(), size), "allocating subtitle packet");
            std::copy_n(buffer.data(), size, packet_->data);
            packet_->stream_index = track.stream->index;
            packet_->pts = ShiftForJump(std::llround(cue.startSec * 1000), kMillis);
            packet_->dts = packet_->pts;
            packet_->duration = std::llround((cue.endSec - cue.startSec) * 1000);
            packet_->flags |= AV_PKT_FLAG_KEY;
            av_packet_rescale_ts(packet_.get(), kMillis, track.stream->time_base);
            Check(av_interleaved_write_frame(oc_.get(), packet_.get()), "writing " + path_);
            ++track.next;
        }
    }

    const ClipDescription& clip_;
    std::string path_;
    // Declared after the container so that encoders and graphs are freed before it is closed.
    OutputFormatPtr oc_;
    std::vector<Track> tracks_;
    std::optional<SubtitleTrack> subtitles_;
    PacketPtr packet_ = MakePacket();
    PacketPtr cover_;                // written right after the header
    std::size_t shownPictures_ = 0;  // of frameTimesSec
    std::mt19937 noise_{11};         // for videoUndecodable
};

}  // namespace

void GenerateClip(const ClipDescription& clip, const std::string& path) {
    try {
        ClipWriter writer(clip, path);
        writer.Run();
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void TruncateCopy(const std::string& src, const std::string& dst, double fraction) {
    std::ifstream in(src, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + src);
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    double kept = std::clamp(fraction, 0.0, 1.0) * static_cast<double>(bytes.size());
    bytes.resize(static_cast<std::size_t>(kept));
    WriteBytes(dst, bytes);
}

void WriteRandomFile(const std::string& path, std::size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(rng() & 0xFF);
    }
    WriteBytes(path, bytes);
}

std::string MakeClip(const std::filesystem::path& folder, const std::string& name, double seconds) {
    ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = seconds;
    const std::string path = (folder / name).string();
    GenerateClip(clip, path);
    return path;
}

}  // namespace tw::test
