#include "engine/picture_clock.h"

#include <cstring>

#include "engine/convert_options.h"

namespace tw::engine {

AVRational PlausibleFrameRate(AVFormatContext* file, AVStream* stream) {
    constexpr double kMaxRate = 240;
    const auto plausible = [](AVRational r) {
        return r.num > 0 && r.den > 0 && av_q2d(r) <= kMaxRate;
    };
    AVRational rate = av_guess_frame_rate(file, stream, nullptr);
    if (!plausible(rate)) {
        rate = plausible(stream->avg_frame_rate) ? stream->avg_frame_rate : AVRational{0, 1};
    }
    // Encoder clocks take terms up to 16 bits (MPEG-4's); a rate this close shows no difference.
    if (rate.num > 65535 || rate.den > 65535) {
        av_reduce(&rate.num, &rate.den, rate.num, rate.den, 65535);
    }
    return rate;
}

bool CarriesVariableTiming(const AVOutputFormat* format) {
    static const char* const kTimedFamilies[] = {"mov", "mp4", "ipod", "3gp",
                                                 "3g2", "psp", "f4v",  "ismv"};
    if (format->flags & AVFMT_VARIABLE_FPS) {
        return true;
    }
    for (const char* name : kTimedFamilies) {
        if (std::strcmp(format->name, name) == 0) {
            return true;
        }
    }
    return false;
}

AVRational EncoderFrameRate(AVRational rate, const AVCodec* codec, bool forceRate) {
    if (codec && codec->supported_framerates && !forceRate) {
        return codec
            ->supported_framerates[av_find_nearest_q_idx(rate, codec->supported_framerates)];
    }
    return rate;
}

bool KeepsSourceTiming(bool rateChosen, int syncMethod, const AVOutputFormat* format,
                       const AVCodec* codec) {
    return !rateChosen && syncMethod == -1 && CarriesVariableTiming(format) &&
           !(codec && codec->supported_framerates);
}

AVRational SourceTimingClock(AVRational sourceClock, AVRational encoderClock) {
    // Finer clocks than 16-bit terms belong to broadcast sources, whose pictures come steadily.
    if (av_cmp_q(sourceClock, encoderClock) >= 0) {
        return encoderClock;
    }
    if (sourceClock.num > 0 && sourceClock.den <= 65535) {
        return sourceClock;
    }
    return AVRational{0, 1};
}

int PictureSyncMethod(bool keepsSourceTiming, int syncMethod) {
    // Method 2 drops only pictures that would share a tick, and never repeats one.
    return keepsSourceTiming ? 2 : syncMethod;
}

PictureClock PlannedPictureClock(AVFormatContext* file, AVStream* stream,
                                 const AVOutputFormat* format, const TAVConvertOptions& options) {
    const TVideoOptions& video = options.VideoOptions();
    const bool rateChosen = video.FrameRateChosen();
    AVRational rate = rateChosen ? AVRational{video.FrameRate().num(), video.FrameRate().den()}
                                 : PlausibleFrameRate(file, stream);
    if (rate.num <= 0 || rate.den <= 0) {
        return {};
    }
    const AVCodec* codec =
        video.EncoderVideoCodecName().empty()
            ? avcodec_find_encoder(format->video_codec)
            : avcodec_find_encoder_by_name(video.EncoderVideoCodecName().c_str());
    rate = EncoderFrameRate(rate, codec, video.ForceFPS());
    PictureClock clock{av_inv_q(rate), video.VideoSyncMethod()};
    bool keeps = KeepsSourceTiming(rateChosen, video.VideoSyncMethod(), format, codec);
    if (keeps) {
        const AVRational unit = SourceTimingClock(stream->time_base, clock.unit);
        keeps = unit.num > 0;
        clock.unit = keeps ? unit : clock.unit;
    }
    clock.method = PictureSyncMethod(keeps, video.VideoSyncMethod());
    return clock;
}

}  // namespace tw::engine
