#include "probe/video_info_text.h"

#include "util/float_text.h"
#include "util/format.h"

namespace tw::probe {

namespace {

// A value of 0 means the target takes the source's.
constexpr char kFollowsSource[] = "Original";

}  // namespace

VideoInfoPanelText ClearedInfoText() {
    return {};
}

VideoInfoPanelText ProfileInfoText(const ProfileInfoValues& profile) {
    // Both groups start cleared, so a profile without audio shows no audio facts of the
    // profile chosen before it.
    VideoInfoPanelText text;
    if (profile.hasAudio) {
        text.audioEncoder = profile.audioEncoder;
        text.audioChannels = profile.audioChannels <= 0 ? "mono" : "stereo";
        text.sampleRate =
            profile.sampleRate > 0 ? std::to_string(profile.sampleRate) : kFollowsSource;
        text.audioBitrate = FloatToText(profile.audioBitrate);
    }
    if (profile.hasVideo) {
        text.videoEncoder = profile.videoEncoder;
        text.frameSize = profile.frameWidth > 0 && profile.frameHeight > 0
                             ? FormatPrintf("%dx%d", profile.frameWidth, profile.frameHeight)
                             : kFollowsSource;
        text.frameRate =
            profile.frameRate > 0 ? FormatPrintf("%.2f", profile.frameRate) : kFollowsSource;
        text.videoBitrate = std::to_string(profile.videoBitrate);
    }
    return text;
}

}  // namespace tw::probe
