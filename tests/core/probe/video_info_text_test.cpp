// The information panel's texts for a target profile.
#include <gtest/gtest.h>

#include "probe/video_info_text.h"

namespace tw::probe {
namespace {

TEST(VideoInfoText, ShowsAudioAndVideoFactsOfAProfile) {
    ProfileInfoValues profile;
    profile.hasAudio = true;
    profile.audioEncoder = "AAC";
    profile.audioChannels = 1;
    profile.sampleRate = 44100;
    profile.audioBitrate = 12.2;
    profile.hasVideo = true;
    profile.videoEncoder = "H264";
    profile.frameWidth = 320;
    profile.frameHeight = 240;
    profile.frameRate = 30000.0 / 1001;
    profile.videoBitrate = 768;
    const VideoInfoPanelText text = ProfileInfoText(profile);
    EXPECT_EQ(text.audioEncoder, "AAC");
    EXPECT_EQ(text.audioChannels, "stereo");
    EXPECT_EQ(text.sampleRate, "44100");
    EXPECT_EQ(text.audioBitrate, "12.2");
    EXPECT_EQ(text.videoEncoder, "H264");
    EXPECT_EQ(text.frameSize, "320x240");
    EXPECT_EQ(text.frameRate, "29.97");
    EXPECT_EQ(text.videoBitrate, "768");
}

TEST(VideoInfoText, SizeAndRatesThatFollowTheSourceReadOriginal) {
    ProfileInfoValues profile;
    profile.hasAudio = true;
    profile.hasVideo = true;
    const VideoInfoPanelText text = ProfileInfoText(profile);
    EXPECT_EQ(text.frameSize, "Original");
    EXPECT_EQ(text.frameRate, "Original");
    EXPECT_EQ(text.sampleRate, "Original");
    profile.frameWidth = 320;  // half a size is no size
    EXPECT_EQ(ProfileInfoText(profile).frameSize, "Original");
}

TEST(VideoInfoText, MonoAtZeroOrLessAndNoStaleGroups) {
    ProfileInfoValues audioOnly;
    audioOnly.hasAudio = true;
    audioOnly.audioEncoder = "MP3";
    audioOnly.audioChannels = 0;
    audioOnly.sampleRate = 22050;
    audioOnly.audioBitrate = 128;
    const VideoInfoPanelText text = ProfileInfoText(audioOnly);
    EXPECT_EQ(text.audioChannels, "mono");
    EXPECT_EQ(text.audioBitrate, "128");
    EXPECT_EQ(text.videoEncoder, "");
    EXPECT_EQ(text.frameSize, "");
    audioOnly.audioChannels = -1;
    EXPECT_EQ(ProfileInfoText(audioOnly).audioChannels, "mono");
    EXPECT_EQ(ProfileInfoText(ProfileInfoValues{}), ClearedInfoText());
    EXPECT_STREQ(kVideoGroupCaption, "Video Information");
    EXPECT_STREQ(kAudioGroupCaption, "Audio Information");
    EXPECT_STREQ(kBitrateLabel, "Bitrate(kbps)");
}

}  // namespace
}  // namespace tw::probe
