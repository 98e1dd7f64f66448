#include "probe/source_tracks.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "media/av_ptr.h"

namespace tw::probe {

namespace {

std::string Tag(const AVStream* stream, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(stream->metadata, key, nullptr, 0);
    return entry ? entry->value : "";
}

std::string ChannelText(int channels) {
    switch (channels) {
        case 0:
            return {};
        case 1:
            return "mono";
        case 2:
            return "stereo";
        case 6:
            return "5.1";
        case 8:
            return "7.1";
        default:
            return std::to_string(channels) + " channels";
    }
}

}  // namespace

std::vector<SourceTrack> ListSourceTracks(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return {};
    }
    media::InputFormatPtr input(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        return {};
    }
    std::vector<SourceTrack> tracks;
    int audioCount = 0;
    int subtitleCount = 0;
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVStream* stream = raw->streams[i];
        const AVCodecParameters* par = stream->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_AUDIO && par->codec_type != AVMEDIA_TYPE_SUBTITLE) {
            continue;
        }
        SourceTrack track;
        track.audio = par->codec_type == AVMEDIA_TYPE_AUDIO;
        track.number = track.audio ? ++audioCount : ++subtitleCount;
        track.language = Tag(stream, "language");
        track.title = Tag(stream, "title");
        const AVCodecDescriptor* descriptor = avcodec_descriptor_get(par->codec_id);
        track.codec = descriptor
                          ? (descriptor->long_name ? descriptor->long_name : descriptor->name)
                          : avcodec_get_name(par->codec_id);
        track.channels = track.audio ? par->ch_layout.nb_channels : 0;
        track.textSubtitle = descriptor && (descriptor->props & AV_CODEC_PROP_TEXT_SUB);
        tracks.push_back(std::move(track));
    }
    return tracks;
}

std::string TrackLine(const SourceTrack& track) {
    std::string line = std::to_string(track.number) + ": ";
    line += track.language.empty() || track.language == "und" ? "no language" : track.language;
    line += ", " + track.codec;
    if (const std::string channels = ChannelText(track.channels); !channels.empty()) {
        line += ", " + channels;
    }
    if (!track.audio && !track.textSubtitle) {
        line += ", pictures";
    }
    if (!track.title.empty()) {
        line += ", \u201C" + track.title + "\u201D";
    }
    return line;
}

}  // namespace tw::probe
