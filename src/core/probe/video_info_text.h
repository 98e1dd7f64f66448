#pragma once

// The texts of the wizard's information panel, which shows the facts of the chosen target
// profile. The panel calls ProfileInfoText whenever the profile changes and shows the result;
// a freshly created panel shows ClearedInfoText.

#include <string>

namespace tw::probe {

inline constexpr char kVideoGroupCaption[] = "Video Information";
inline constexpr char kAudioGroupCaption[] = "Audio Information";
inline constexpr char kBitrateLabel[] = "Bitrate(kbps)";

// The values of a profile the panel shows, taken from the profile by the caller.
struct ProfileInfoValues {
    bool hasAudio = false;
    std::string audioEncoder;  // encoder label, e.g. "AAC"
    int audioChannels = 0;     // channel mode: 0 or less mono, otherwise stereo
    int sampleRate = 0;        // Hz
    double audioBitrate = 0;   // kbit/s, fractions allowed

    bool hasVideo = false;
    std::string videoEncoder;
    int frameWidth = 0;
    int frameHeight = 0;
    double frameRate = 0;  // frames per second
    int videoBitrate = 0;  // kbit/s
};

// Every field empty means the panel's value is cleared.
struct VideoInfoPanelText {
    std::string audioEncoder;
    std::string audioChannels;
    std::string sampleRate;
    std::string audioBitrate;
    std::string videoEncoder;
    std::string frameSize;
    std::string frameRate;
    std::string videoBitrate;

    bool operator==(const VideoInfoPanelText&) const = default;
};

VideoInfoPanelText ClearedInfoText();
VideoInfoPanelText ProfileInfoText(const ProfileInfoValues& profile);

}  // namespace tw::probe
