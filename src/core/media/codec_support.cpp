#include "media/codec_support.h"

#include <algorithm>
#include <cctype>
#include <set>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tw::media {

namespace {

const AVOutputFormat* FindMuxer(std::string_view formatName, std::string_view fileName) {
    if (!formatName.empty()) {
        const std::string name(formatName);
        const AVOutputFormat* muxer = av_guess_format(name.c_str(), nullptr, nullptr);
        // Guessing by name alone also answers with a muxer of a similar name; only the named
        // one counts.
        return muxer && name == muxer->name ? muxer : nullptr;
    }
    const std::string file(fileName);
    if (file.find('.') == std::string::npos) {
        return nullptr;
    }
    return av_guess_format(nullptr, file.c_str(), nullptr);
}

const AVCodecDescriptor* FindCodec(std::string_view codecName) {
    return avcodec_descriptor_get_by_name(std::string(codecName).c_str());
}

// Demuxers of subtitles and of text shown as pictures: their files are no source to convert.
constexpr std::string_view kNotMediaDemuxers[] = {
    "aqtitle",   "ass",        "jacosub",  "lrc",  "mcc",    "microdvd", "mpl2",
    "mpsub",     "pjs",        "realtext", "sami", "scc",    "srt",      "stl",
    "subviewer", "subviewer1", "sup",      "tty",  "vobsub", "vplayer",  "webvtt"};

// Formats found by their contents, whose demuxers name no extension.
constexpr std::string_view kCommonExtensions[] = {
    "aif",  "aiff", "amr", "asf",  "bmp", "divx", "gif", "jpeg", "jpg", "m2t", "m2ts",
    "m2v",  "mpeg", "mpg", "mts",  "mxf", "oga",  "ogv", "opus", "png", "ra",  "rm",
    "rmvb", "spx",  "tif", "tiff", "ts",  "vob",  "wav", "webp", "wma", "wmv"};

}  // namespace

std::optional<std::string> MuxerName(std::string_view formatName, std::string_view fileName) {
    const AVOutputFormat* muxer = FindMuxer(formatName, fileName);
    return muxer ? std::optional<std::string>(muxer->name) : std::nullopt;
}

bool HasEncoderFor(std::string_view codecName) {
    const AVCodecDescriptor* codec = FindCodec(codecName);
    return codec && avcodec_find_encoder(codec->id) != nullptr;
}

bool MuxerHolds(std::string_view muxerName, std::string_view codecName) {
    const AVOutputFormat* muxer = FindMuxer(muxerName, {});
    const AVCodecDescriptor* codec = FindCodec(codecName);
    if (!muxer || !codec) {
        return false;
    }
    const int answer = avformat_query_codec(muxer, codec->id, FF_COMPLIANCE_NORMAL);
    if (answer >= 0) {
        return answer > 0;
    }
    const AVCodecID own = codec->type == AVMEDIA_TYPE_VIDEO   ? muxer->video_codec
                          : codec->type == AVMEDIA_TYPE_AUDIO ? muxer->audio_codec
                                                              : muxer->subtitle_codec;
    return codec->id == own || !(muxer->flags & AVFMT_NOTIMESTAMPS);
}

std::vector<std::string> MediaFileExtensions() {
    std::set<std::string> extensions(std::begin(kCommonExtensions), std::end(kCommonExtensions));
    void* state = nullptr;
    while (const AVInputFormat* demuxer = av_demuxer_iterate(&state)) {
        if (!demuxer->extensions ||
            std::find(std::begin(kNotMediaDemuxers), std::end(kNotMediaDemuxers),
                      std::string_view(demuxer->name)) != std::end(kNotMediaDemuxers)) {
            continue;
        }
        std::string_view list(demuxer->extensions);
        while (!list.empty()) {
            const size_t comma = list.find(',');
            std::string extension(list.substr(0, comma));
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            // Names with a '+' ("ty+") are no pattern a file dialog can hold.
            if (!extension.empty() && extension.find_first_of("+ ") == std::string::npos) {
                extensions.insert(std::move(extension));
            }
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        }
    }
    return {extensions.begin(), extensions.end()};
}

}  // namespace tw::media
