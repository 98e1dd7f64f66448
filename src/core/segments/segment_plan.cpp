#include "segments/segment_plan.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>

#include "engine/picture_clock.h"
#include "engine/sync_rules.h"
#include "media/av_ptr.h"
#include "media/library_error.h"
#include "media/stream_registry.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::segments {

namespace fs = std::filesystem;

namespace {

const AVOutputFormat* TargetFormat(const std::string& target, const TAVConvertOptions& options) {
    const std::string& forced = options.OutputFormat();
    return forced.empty() ? av_guess_format(nullptr, target.c_str(), nullptr)
                          : av_guess_format(forced.c_str(), nullptr, nullptr);
}

// A target named like a sound file gets the sound only, whatever the container could hold.
bool NamedLikeSound(const std::string& target) {
    static const char* const kSoundExtensions[] = {"m4a", "mka", "oga", "ogg",  "opus",
                                                   "mp3", "aac", "wav", "flac", "wma"};
    const std::string extension = fs::path(target).extension().string();
    return std::any_of(
        std::begin(kSoundExtensions), std::end(kSoundExtensions), [&extension](const char* sound) {
            return extension.size() > 1 && strcasecmp(extension.c_str() + 1, sound) == 0;
        });
}

}  // namespace

double SegmentPlan::SegmentSeconds(size_t i) const {
    const SegmentSpan& span = video[i];
    const int64_t length = span.lengthUs != INT64_MAX ? span.lengthUs : endUs - span.startUs;
    return static_cast<double>(std::max<int64_t>(0, length)) / AV_TIME_BASE;
}

bool SegmentsPossible(const TAVConvertOptions& options, const TStringList& inputs,
                      const TStringList& outputs) {
    if (inputs.size() != 1 || outputs.size() != 1 || media::ParseStreamUrl(inputs[0])) {
        return false;
    }
    std::error_code error;
    if (!fs::is_regular_file(inputs[0], error)) {
        return false;
    }
    const TVideoOptions& video = options.VideoOptions();
    if (video.VideoDisable() || video.VideoStreamCopy() || video.MaxFrames() != INT_MAX ||
        !options.StreamMaps().empty() || options.Engine.FileSizeLimit != 0 ||
        options.Engine.CopyTimestamps || options.Engine.RateEmulation ||
        !options.InputFormat().empty()) {
        return false;
    }
    // Burned-in subtitles are drawn by the time a picture has in its own run, which in a
    // segment is not the whole conversion's.
    const std::string& chain = options.FilterOptions().VideoFilters();
    if (chain.find("ass=") != std::string::npos || chain.find("subtitles=") != std::string::npos ||
        options.SubtitleOptions().BurnSubtitleTrack() > 0) {
        return false;
    }
    const AVOutputFormat* format = TargetFormat(outputs[0], options);
    if (!format || (format->flags & AVFMT_NOFILE) || format->video_codec == AV_CODEC_ID_NONE ||
        std::strcmp(format->name, "image2") == 0 || std::strcmp(format->name, "gif") == 0) {
        return false;
    }
    return !NamedLikeSound(outputs[0]) || !video.EncoderVideoCodecName().empty();
}

SegmentPlan PlanSegments(const std::string& source, const std::string& target,
                         const TAVConvertOptions& options, int64_t lengthUs) {
    AVFormatContext* raw = nullptr;
    if (const int result = avformat_open_input(&raw, source.c_str(), nullptr, nullptr);
        result < 0) {
        throw EAVError(
            FormatPrintf("%s: %s", source.c_str(), media::LibraryErrorText(result).c_str()));
    }
    media::InputFormatPtr context(raw);
    if (const int result = avformat_find_stream_info(context.get(), nullptr); result < 0) {
        throw EAVError(
            FormatPrintf("%s: %s", source.c_str(), media::LibraryErrorText(result).c_str()));
    }
    SegmentPlan plan;
    const int videoIndex =
        av_find_best_stream(context.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoIndex < 0 ||
        (context->streams[videoIndex]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        return plan;
    }
    const AVOutputFormat* format = TargetFormat(target, options);
    bool sound = false;
    bool subtitles = false;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVMediaType type = context->streams[i]->codecpar->codec_type;
        sound = sound || type == AVMEDIA_TYPE_AUDIO;
        subtitles = subtitles || type == AVMEDIA_TYPE_SUBTITLE;
        if (static_cast<int>(i) != videoIndex) {
            context->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    // As the target's own conversion decides which kinds of streams it writes.
    const TAudioOptions& audio = options.AudioOptions();
    const TSubtitleOptions& subtitle = options.SubtitleOptions();
    const bool takesSound = format->audio_codec != AV_CODEC_ID_NONE || audio.AudioStreamCopy() ||
                            !audio.EncoderAudioCodecName().empty();
    const bool takesSubtitles = format->subtitle_codec != AV_CODEC_ID_NONE ||
                                subtitle.SubtitleStreamCopy() ||
                                !subtitle.SubtitleCodecName().empty();
    plan.rest = (sound && takesSound && !audio.AudioDisable()) ||
                (subtitles && takesSubtitles && !subtitle.SubtitleDisable());
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
        plan.sourceSeconds = static_cast<double>(context->duration) / AV_TIME_BASE;
    }

    // Times in µs from the file's start, as a run's cut counts them.
    const int64_t fileStart = context->start_time == AV_NOPTS_VALUE ? 0 : context->start_time;
    const AVRational timeBase = context->streams[videoIndex]->time_base;
    std::vector<int64_t> pictures;
    std::vector<int64_t> keys;
    media::PacketPtr packet = media::MakePacket();
    while (av_read_frame(context.get(), packet.get()) >= 0) {
        if (packet->stream_index == videoIndex) {
            const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (time != AV_NOPTS_VALUE) {
                const int64_t us = av_rescale_q(time, timeBase, AV_TIME_BASE_Q) - fileStart;
                pictures.push_back(us);
                if (packet->flags & AV_PKT_FLAG_KEY) {
                    keys.push_back(us);
                }
            }
        }
        av_packet_unref(packet.get());
    }
    if (pictures.empty()) {
        return plan;
    }
    std::sort(pictures.begin(), pictures.end());
    std::sort(keys.begin(), keys.end());

    const int64_t start = std::max<int64_t>(0, options.StartTime());
    const int64_t last = pictures.back();
    const int64_t end = options.RecordingTime() == INT64_MAX || options.RecordingTime() > last
                            ? last
                            : start + options.RecordingTime();
    plan.endUs = end;
    const engine::PictureClock clock =
        engine::PlannedPictureClock(context.get(), context->streams[videoIndex], format, options);
    if (clock.unit.num <= 0) {
        return plan;
    }
    const double unit = av_q2d(clock.unit);

    // The whole conversion's placing of the pictures, followed picture by picture: a segment
    // that begins at a key frame continues the count from where the whole conversion stands
    // there, and so repeats and drops the pictures it repeats and drops.
    SegmentSpan first;
    first.startUs = options.StartTime();
    plan.video.push_back(first);
    int64_t position = 0;
    int64_t previous = start;
    bool firstPicture = true;
    auto key = keys.begin();
    for (size_t n = 0; n < pictures.size(); ++n) {
        const int64_t time = pictures[n];
        if (n + 1 < pictures.size() && pictures[n + 1] <= start) {
            continue;  // wholly before the cut
        }
        if (time >= end) {
            break;
        }
        const double syncInput = static_cast<double>(time - start) / AV_TIME_BASE / unit;
        while (key != keys.end() && *key < time) {
            ++key;
        }
        if (key != keys.end() && *key == time && time > start && time - previous >= lengthUs &&
            end - time >= lengthUs / 2 && !firstPicture) {
            SegmentSpan& open = plan.video.back();
            // It ends half a place before the key frame's first: the places between hold the
            // pictures before it, none of the key frame's.
            const double openStart = static_cast<double>(open.offsetUs) / AV_TIME_BASE;
            open.lengthUs = std::llround(
                ((static_cast<double>(position) - 0.5) * unit - openStart) * AV_TIME_BASE);
            SegmentSpan next;
            // One microsecond in: the picture before the key frame, whose end the run may round
            // up to the key frame's time, lies wholly before the start.
            next.startUs = time + 1;
            next.offsetUs = std::llround(static_cast<double>(position) * unit * AV_TIME_BASE);
            next.clockShift = static_cast<double>(next.startUs - start) / AV_TIME_BASE -
                              static_cast<double>(position) * unit;
            next.continues = true;
            plan.video.push_back(next);
            previous = time;
        }
        const int64_t frames =
            engine::DecideVideoFrames(clock.method, syncInput, &position, firstPicture);
        if (frames > 0) {
            position += frames;
            firstPicture = false;
        }
    }
    if (plan.video.size() < 2) {
        plan.video.clear();
        return plan;
    }
    if (options.RecordingTime() != INT64_MAX) {
        SegmentSpan& open = plan.video.back();
        open.lengthUs = options.RecordingTime() - open.offsetUs;
    }
    return plan;
}

}  // namespace tw::segments
