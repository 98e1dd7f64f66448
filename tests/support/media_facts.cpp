#include "support/media_facts.h"

#include "support/av_handles.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <utility>

namespace tw::test {
namespace {

StreamKind KindOf(AVMediaType type) {
    static const std::pair<AVMediaType, StreamKind> kKinds[] = {
        {AVMEDIA_TYPE_VIDEO, StreamKind::Video},           {AVMEDIA_TYPE_AUDIO, StreamKind::Audio},
        {AVMEDIA_TYPE_SUBTITLE, StreamKind::Subtitle},     {AVMEDIA_TYPE_DATA, StreamKind::Data},
        {AVMEDIA_TYPE_ATTACHMENT, StreamKind::Attachment},
    };
    for (const auto& [t, kind] : kKinds) {
        if (t == type) {
            return kind;
        }
    }
    return StreamKind::Unknown;
}

Metadata ReadDict(const AVDictionary* dict) {
    Metadata out;
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        out[e->key] = e->value;
    }
    return out;
}

std::string FieldOrderName(AVFieldOrder order) {
    // Indexed by AVFieldOrder.
    static const char* const kNames[] = {"unknown", "progressive", "tt", "bb", "tb", "bt"};
    return order >= 0 && order < static_cast<int>(std::size(kNames)) ? kNames[order] : "unknown";
}

double Seconds(int64_t ts, AVRational tb) {
    return static_cast<double>(ts) * av_q2d(tb);
}

InputFormatPtr OpenInput(const std::string& path) {
    AVFormatContext* raw = nullptr;
    Check(avformat_open_input(&raw, path.c_str(), nullptr, nullptr), "opening " + path);
    InputFormatPtr fmt(raw);
    Check(avformat_find_stream_info(fmt.get(), nullptr), "reading stream info of " + path);
    return fmt;
}

// A decoder for the stream, or null when this build has none for its codec.
CodecContextPtr OpenDecoder(const AVStream* st) {
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (codec == nullptr) {
        return nullptr;
    }
    CodecContextPtr dec(avcodec_alloc_context3(codec));
    if (!dec) {
        throw std::runtime_error("avcodec_alloc_context3 failed");
    }
    Check(avcodec_parameters_to_context(dec.get(), st->codecpar), "copying codec parameters");
    dec->pkt_timebase = st->time_base;
    dec->thread_count = 1;
    if (avcodec_open2(dec.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    return dec;
}

// Dialogue text of a decoded ASS event ("ReadOrder,Layer,Style,Name,MarginL,MarginR,MarginV,
// Effect,Text"), with ASS line breaks turned into '\n'.
std::string DialogueText(const char* ass) {
    std::string line = ass != nullptr ? ass : "";
    std::size_t pos = 0;
    for (int field = 0; field < 8 && pos != std::string::npos; ++field) {
        pos = line.find(',', pos);
        if (pos != std::string::npos) {
            ++pos;
        }
    }
    std::string text = pos == std::string::npos ? line : line.substr(pos);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'N' || text[i + 1] == 'n')) {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    while (!out.empty() && (out.back() == '\r' || out.back() == '\n')) {
        out.pop_back();
    }
    return out;
}

// Drains the decoder, counting each frame and handing it to onFrame.
void ReceiveFrames(AVCodecContext* dec, AVFrame* frame, StreamInfo& info,
                   const std::function<void(const AVFrame*)>& onFrame) {
    for (;;) {
        int err = avcodec_receive_frame(dec, frame);
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) {
            return;
        }
        if (err < 0) {
            ++info.decodeErrors;
            return;
        }
        ++info.decodedFrameCount;
        onFrame(frame);
        av_frame_unref(frame);
    }
}

void CountFrame(StreamInfo& info, const AVFrame* frame) {
    if (info.kind == StreamKind::Audio) {
        info.decodedSampleCount += frame->nb_samples;
    } else if (frame->interlaced_frame != 0) {
        ++info.interlacedFrameCount;
    }
}

void DecodeSubtitle(AVCodecContext* dec, AVPacket* pkt, const AVStream* st, StreamInfo& info) {
    ScopedSubtitle sub;
    int got = 0;
    if (avcodec_decode_subtitle2(dec, &sub.sub, &got, pkt) < 0) {
        ++info.decodeErrors;
        return;
    }
    if (got == 0) {
        return;
    }
    ++info.decodedFrameCount;
    SubtitleEvent event;
    double base = pkt->pts != AV_NOPTS_VALUE ? Seconds(pkt->pts, st->time_base) : 0.0;
    event.startSec = base + sub.sub.start_display_time / 1000.0;
    event.endSec = pkt->duration > 0 ? base + Seconds(pkt->duration, st->time_base)
                                     : base + sub.sub.end_display_time / 1000.0;
    for (unsigned i = 0; i < sub.sub.num_rects; ++i) {
        const AVSubtitleRect* rect = sub.sub.rects[i];
        std::string text = rect->type == SUBTITLE_ASS    ? DialogueText(rect->ass)
                           : rect->type == SUBTITLE_TEXT ? std::string(rect->text)
                                                         : std::string();
        if (!event.text.empty() && !text.empty()) {
            event.text += '\n';
        }
        event.text += text;
    }
    info.subtitleEvents.push_back(std::move(event));
}

StreamInfo DescribeStream(const AVStream* st) {
    const AVCodecParameters* par = st->codecpar;
    StreamInfo info;
    info.index = st->index;
    info.kind = KindOf(par->codec_type);
    info.attachedPicture = (st->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
    info.codecName = avcodec_get_name(par->codec_id);
    info.codecTag = par->codec_tag;
    if (par->codec_tag != 0) {
        char tag[AV_FOURCC_MAX_STRING_SIZE] = {};
        info.codecTagText = av_fourcc_make_string(tag, par->codec_tag);
    }
    info.bitRate = par->bit_rate;
    info.timeBase = st->time_base;
    info.metadata = ReadDict(st->metadata);
    if (info.kind == StreamKind::Video) {
        info.width = par->width;
        info.height = par->height;
        const char* pixFmt = av_get_pix_fmt_name(static_cast<AVPixelFormat>(par->format));
        info.pixelFormat = pixFmt != nullptr ? pixFmt : "";
        info.sampleAspectRatio =
            st->sample_aspect_ratio.num != 0 ? st->sample_aspect_ratio : par->sample_aspect_ratio;
        info.avgFrameRate = st->avg_frame_rate;
        info.rFrameRate = st->r_frame_rate;
        info.fieldOrder = FieldOrderName(par->field_order);
        size_t size = 0;
        const uint8_t* matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
        if (matrix != nullptr && size >= 9 * sizeof(int32_t)) {
            double ccw = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
            if (!std::isnan(ccw)) {
                double cw = std::fmod(-ccw, 360.0);
                info.rotationDeg = cw < 0 ? cw + 360.0 : cw;
            }
        }
    } else if (info.kind == StreamKind::Audio) {
        info.sampleRate = par->sample_rate;
        info.channels = par->ch_layout.nb_channels;
        const char* sampleFmt = av_get_sample_fmt_name(static_cast<AVSampleFormat>(par->format));
        info.sampleFormat = sampleFmt != nullptr ? sampleFmt : "";
    }
    return info;
}

struct PacketTimes {
    std::vector<double> pts;
    std::optional<double> end;
};

void FinishTimes(StreamInfo& info, PacketTimes& times) {
    if (times.pts.empty()) {
        return;
    }
    std::sort(times.pts.begin(), times.pts.end());
    info.firstPtsSec = times.pts.front();
    info.lastPtsSec = times.pts.back();
    info.durationSec = times.end.value_or(times.pts.back()) - times.pts.front();
    for (std::size_t i = 1; i < times.pts.size(); ++i) {
        info.largestPtsGapSec = std::max(info.largestPtsGapSec, times.pts[i] - times.pts[i - 1]);
    }
}

// Runs the decoder of the first stream of the given type over the whole file and hands each frame
// to onFrame until it returns false.
void DecodeFirst(const std::string& path, AVMediaType type,
                 const std::function<bool(const AVFrame*)>& onFrame) {
    InputFormatPtr fmt = OpenInput(path);
    int index = av_find_best_stream(fmt.get(), type, -1, -1, nullptr, 0);
    Check(index, "finding a " + std::string(av_get_media_type_string(type)) + " stream in " + path);
    CodecContextPtr dec = OpenDecoder(fmt->streams[index]);
    if (!dec) {
        throw std::runtime_error("no decoder for stream " + std::to_string(index) + " of " + path);
    }
    PacketPtr pkt = MakePacket();
    FramePtr frame = MakeFrame();
    bool wanted = true;
    auto drain = [&] {
        while (wanted && avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            wanted = onFrame(frame.get());
            av_frame_unref(frame.get());
        }
    };
    while (wanted && av_read_frame(fmt.get(), pkt.get()) >= 0) {
        if (pkt->stream_index == index && avcodec_send_packet(dec.get(), pkt.get()) >= 0) {
            drain();
        }
        av_packet_unref(pkt.get());
    }
    if (wanted) {
        avcodec_send_packet(dec.get(), nullptr);
        drain();
    }
}

}  // namespace

const char* StreamKindName(StreamKind kind) {
    // Indexed by StreamKind.
    static const char* const kNames[] = {"video", "audio",      "subtitle",
                                         "data",  "attachment", "unknown"};
    return kNames[static_cast<int>(kind)];
}

int MediaInfo::CountOf(StreamKind kind) const {
    return static_cast<int>(std::count_if(streams.begin(), streams.end(),
                                          [kind](const StreamInfo& s) { return s.kind == kind; }));
}

const StreamInfo& MediaInfo::First(StreamKind kind) const {
    for (const StreamInfo& s : streams) {
        if (s.kind == kind) {
            return s;
        }
    }
    throw std::runtime_error(std::string("no ") + StreamKindName(kind) + " stream");
}

MediaInfo InspectMedia(const std::string& path) {
    InputFormatPtr fmt = OpenInput(path);
    MediaInfo media;
    media.formatName = fmt->iformat->name;
    if (fmt->duration != AV_NOPTS_VALUE) {
        media.durationSec = static_cast<double>(fmt->duration) / AV_TIME_BASE;
    }
    if (fmt->start_time != AV_NOPTS_VALUE) {
        media.startTimeSec = static_cast<double>(fmt->start_time) / AV_TIME_BASE;
    }
    media.bitRate = fmt->bit_rate;
    media.metadata = ReadDict(fmt->metadata);
    for (unsigned i = 0; i < fmt->nb_chapters; ++i) {
        const AVChapter* ch = fmt->chapters[i];
        const AVDictionaryEntry* title = av_dict_get(ch->metadata, "title", nullptr, 0);
        media.chapters.push_back({Seconds(ch->start, ch->time_base),
                                  Seconds(ch->end, ch->time_base),
                                  title != nullptr ? title->value : ""});
    }

    std::vector<CodecContextPtr> decoders;
    std::vector<PacketTimes> times(fmt->nb_streams);
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        media.streams.push_back(DescribeStream(fmt->streams[i]));
        StreamKind kind = media.streams.back().kind;
        bool decodable =
            kind == StreamKind::Video || kind == StreamKind::Audio || kind == StreamKind::Subtitle;
        decoders.push_back(decodable ? OpenDecoder(fmt->streams[i]) : nullptr);
        media.streams.back().decoderAvailable = decoders.back() != nullptr;
    }

    PacketPtr pkt = MakePacket();
    FramePtr frame = MakeFrame();
    for (;;) {
        int err = av_read_frame(fmt.get(), pkt.get());
        if (err < 0) {
            if (err != AVERROR_EOF) {
                media.readError = AvErrorText(err);
            }
            break;
        }
        const AVStream* st = fmt->streams[pkt->stream_index];
        StreamInfo& info = media.streams[pkt->stream_index];
        ++info.packetCount;
        info.totalPacketBytes += pkt->size;
        if ((pkt->flags & AV_PKT_FLAG_KEY) != 0) {
            ++info.keyPacketCount;
        }
        PacketTimes& t = times[pkt->stream_index];
        if (pkt->pts != AV_NOPTS_VALUE) {
            t.pts.push_back(Seconds(pkt->pts, st->time_base));
            double end = Seconds(pkt->pts + pkt->duration, st->time_base);
            t.end = std::max(t.end.value_or(end), end);
        }
        AVCodecContext* dec = decoders[pkt->stream_index].get();
        if (dec != nullptr && info.kind == StreamKind::Subtitle) {
            DecodeSubtitle(dec, pkt.get(), st, info);
        } else if (dec != nullptr) {
            if (avcodec_send_packet(dec, pkt.get()) < 0) {
                ++info.decodeErrors;
            }
            ReceiveFrames(dec, frame.get(), info,
                          [&info](const AVFrame* f) { CountFrame(info, f); });
        }
        av_packet_unref(pkt.get());
    }
    for (std::size_t i = 0; i < media.streams.size(); ++i) {
        StreamInfo& info = media.streams[i];
        if (decoders[i] && info.kind != StreamKind::Subtitle) {
            avcodec_send_packet(decoders[i].get(), nullptr);
            ReceiveFrames(decoders[i].get(), frame.get(), info,
                          [&info](const AVFrame* f) { CountFrame(info, f); });
        }
        FinishTimes(info, times[i]);
    }
    return media;
}

RgbFrame DecodeVideoFrameRgb(const std::string& path, int frameIndex) {
    RgbFrame out;
    int seen = 0;
    DecodeFirst(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame* f) {
        if (seen++ < frameIndex) {
            return true;
        }
        SwsPtr sws(sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                  f->width, f->height, AV_PIX_FMT_RGB24,
                                  SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                  nullptr, nullptr));
        if (!sws) {
            throw std::runtime_error("cannot convert " + path + " pictures to RGB");
        }
        FramePtr rgb = MakeFrame();
        rgb->format = AV_PIX_FMT_RGB24;
        rgb->width = f->width;
        rgb->height = f->height;
        Check(av_frame_get_buffer(rgb.get(), 0), "allocating RGB picture");
        sws_scale(sws.get(), f->data, f->linesize, 0, f->height, rgb->data, rgb->linesize);
        out.width = f->width;
        out.height = f->height;
        out.rgb.resize(static_cast<std::size_t>(f->width) * f->height * 3);
        for (int y = 0; y < f->height; ++y) {
            std::copy_n(rgb->data[0] + static_cast<std::ptrdiff_t>(y) * rgb->linesize[0],
                        f->width * 3, out.rgb.data() + static_cast<std::size_t>(y) * f->width * 3);
        }
        return false;
    });
    if (out.width == 0) {
        throw std::runtime_error(path + " has " + std::to_string(seen) + " pictures, not " +
                                 std::to_string(frameIndex + 1));
    }
    return out;
}

AudioSamples DecodeAudioSamples(const std::string& path, int64_t maxSamples) {
    AudioSamples out;
    SwrPtr swr;
    auto wantMore = [&] {
        return maxSamples <= 0 || static_cast<int64_t>(out.FrameCount()) < maxSamples;
    };
    DecodeFirst(path, AVMEDIA_TYPE_AUDIO, [&](const AVFrame* f) {
        if (!swr) {
            // This swresample generation takes the layouts through non-const pointers.
            AVChannelLayout layout{};
            Check(av_channel_layout_copy(&layout, &f->ch_layout), "copying channel layout");
            SwrContext* raw = nullptr;
            int err = swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_FLT, f->sample_rate, &layout,
                                          static_cast<AVSampleFormat>(f->format), f->sample_rate, 0,
                                          nullptr);
            av_channel_layout_uninit(&layout);
            swr.reset(raw);
            Check(err, "setting up sample conversion");
            Check(swr_init(swr.get()), "setting up sample conversion");
            out.sampleRate = f->sample_rate;
            out.channels = f->ch_layout.nb_channels;
        }
        std::size_t offset = out.samples.size();
        out.samples.resize(offset + static_cast<std::size_t>(f->nb_samples) * out.channels);
        auto* dst = reinterpret_cast<uint8_t*>(out.samples.data() + offset);
        int got = Check(swr_convert(swr.get(), &dst, f->nb_samples,
                                    const_cast<const uint8_t**>(f->extended_data), f->nb_samples),
                        "converting samples");
        out.samples.resize(offset + static_cast<std::size_t>(got) * out.channels);
        return wantMore();
    });
    if (out.channels == 0) {
        throw std::runtime_error(path + " has no decodable audio");
    }
    if (maxSamples > 0 && static_cast<int64_t>(out.FrameCount()) > maxSamples) {
        out.samples.resize(static_cast<std::size_t>(maxSamples) * out.channels);
    }
    return out;
}

double EstimateFrequencyHz(const AudioSamples& audio, int channel) {
    if (channel < 0 || channel >= audio.channels || audio.sampleRate <= 0) {
        throw std::runtime_error("no channel " + std::to_string(channel));
    }
    std::size_t frames = audio.FrameCount();
    auto sample = [&](std::size_t i) { return audio.samples[i * audio.channels + channel]; };
    float peak = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        peak = std::max(peak, std::fabs(sample(i)));
    }
    // A crossing counts only after the signal went clearly negative, so that coding noise around
    // zero does not add crossings.
    const float arm = -0.25f * peak;
    bool armed = false;
    std::optional<double> first;
    double last = 0;
    int crossings = 0;
    for (std::size_t i = 1; i < frames; ++i) {
        float a = sample(i - 1);
        float b = sample(i);
        if (a < arm) {
            armed = true;
        }
        if (armed && a < 0 && b >= 0) {
            double at = static_cast<double>(i - 1) + a / (a - b);
            if (!first) {
                first = at;
            }
            last = at;
            ++crossings;
            armed = false;
        }
    }
    if (crossings < 2) {
        return 0;
    }
    return (crossings - 1) * audio.sampleRate / (last - *first);
}

std::vector<double> BeepTimesSec(const AudioSamples& audio) {
    std::vector<double> onsets;
    if (audio.channels <= 0 || audio.sampleRate <= 0) {
        return onsets;
    }
    // The plain tone peaks at 1/8 of full scale, a beep adds twice as much again.
    constexpr float kLoud = 0.25f;
    const std::size_t quiet = static_cast<std::size_t>(audio.sampleRate) / 2;
    std::optional<std::size_t> last;
    for (std::size_t i = 0; i < audio.FrameCount(); ++i) {
        if (std::fabs(audio.samples[i * audio.channels]) > kLoud) {
            if (!last || i - *last > quiet) {
                onsets.push_back(static_cast<double>(i) / audio.sampleRate);
            }
            last = i;
        }
    }
    return onsets;
}

std::vector<double> PictureBrightness(const std::string& path) {
    std::vector<double> means;
    DecodeFirst(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame* f) {
        const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
        if (!d || (d->flags & AV_PIX_FMT_FLAG_RGB) || d->comp[0].depth != 8) {
            throw std::runtime_error(path + " pictures are not 8-bit YUV");
        }
        double sum = 0;
        for (int y = 0; y < f->height; ++y) {
            const uint8_t* row = f->data[0] + static_cast<std::ptrdiff_t>(y) * f->linesize[0];
            for (int x = 0; x < f->width; ++x) {
                sum += row[x * d->comp[0].step];
            }
        }
        means.push_back(sum / (static_cast<double>(f->width) * f->height));
        return true;
    });
    return means;
}

std::vector<uint8_t> ExtradataOf(const std::string& path, int streamIndex) {
    InputFormatPtr fmt = OpenInput(path);
    if (streamIndex < 0 || streamIndex >= static_cast<int>(fmt->nb_streams)) {
        throw std::runtime_error(path + " has no stream " + std::to_string(streamIndex));
    }
    const AVCodecParameters* par = fmt->streams[streamIndex]->codecpar;
    return std::vector<uint8_t>(par->extradata, par->extradata + par->extradata_size);
}

}  // namespace tw::test
