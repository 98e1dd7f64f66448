#include "probe/video_info_text.h"

#include "util/float_text.h"
#include "util/format.h"

namespace tw::probe {

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
        text.sampleRate = std::to_string(profile.sampleRate);
        text.audioBitrate = FloatToText(profile.audioBitrate);
    }
    if (profile.hasVideo) {
        text.videoEncoder = profile.videoEncoder;
        text.frameSize = FormatPrintf("%dx%d", profile.frameWidth, profile.frameHeight);
        text.frameRate = FormatPrintf("%.2f", profile.frameRate);
        text.videoBitrate = std::to_string(profile.videoBitrate);
    }
    return text;
}

}  // namespace tw::probe
