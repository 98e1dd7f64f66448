// What the libraries let a user profile name: the codecs each container holds, and the problem
// a profile whose pair cannot work is refused with.
#include "profiles/profile_codecs.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "media/codec_support.h"
#include "profiles/custom_audio_profile.h"
#include "profiles/profile_catalogue.h"

namespace tw::profiles {
namespace {

using AE = TCustomAudioEncoder;
using VE = TCustomVideoEncoder;

TEST(ProfileCodecs, ContainersOfferOnlyCodecsTheyCanHold) {
    EXPECT_EQ(VideoEncodersFor("webm"), (std::vector<VE>{VE::VP8, VE::VP9}));
    EXPECT_EQ(AudioEncodersFor("webm"), (std::vector<AE>{AE::VORBIS, AE::OPUS}));
    // Bare streams without time stamps hold their own codec only.
    EXPECT_EQ(AudioEncodersFor("mp3"), std::vector<AE>{AE::MP3});
    EXPECT_EQ(AudioEncodersFor("ac3"), std::vector<AE>{AE::AC3});
    const std::vector<AE> mp4 = AudioEncodersFor("mp4");
    EXPECT_NE(std::find(mp4.begin(), mp4.end(), AE::AAC), mp4.end());
    EXPECT_EQ(std::find(mp4.begin(), mp4.end(), AE::WMAV2), mp4.end());
    // Muxers that say nothing about a codec are taken at their word for their own.
    const std::vector<AE> dvd = AudioEncodersFor("dvd");
    EXPECT_NE(std::find(dvd.begin(), dvd.end(), AE::AC3), dvd.end());
    // Without a container every encoder of this build; never one it lacks.
    const std::vector<AE> all = AudioEncodersFor(std::nullopt);
    EXPECT_NE(std::find(all.begin(), all.end(), AE::FLAC), all.end());
    for (const AE encoder : all) {
        EXPECT_TRUE(media::HasEncoderFor(AudioCodecName(encoder))) << AudioCodecName(encoder);
    }
    const std::vector<TCustomAVFormat> formats = AvailableFormats();
    EXPECT_EQ(formats.front(), TCustomAVFormat::F_NONE);
    EXPECT_NE(std::find(formats.begin(), formats.end(), TCustomAVFormat::F_OGG), formats.end());
}

TEST(ProfileCodecs, EveryBuiltInProfileCanWork) {
    const auto catalogue = CreateBuiltInCatalogue();
    for (int i = 0; i < catalogue->Count(); ++i) {
        if (const auto* profile =
                dynamic_cast<const TAVCustomAudioProfile*>(&catalogue->Items(i))) {
            EXPECT_EQ(ProfileProblem(*profile), "") << profile->Description();
        }
    }
}

TEST(ProfileCodecs, ProblemNamesTheContainerAndTheCodec) {
    TAVCustomVideoProfile profile;
    profile.SetFormat(TCustomAVFormat::F_WEBM);
    profile.SetVideoEncoder(VE::H264);
    profile.SetAudioEncoder(AE::OPUS);
    EXPECT_EQ(ProfileProblem(profile), "WEBM files cannot hold H264 video.");
    profile.SetVideoEncoder(VE::VP9);
    EXPECT_EQ(ProfileProblem(profile), "");
    profile.SetAudioEncoder(AE::AAC);
    EXPECT_EQ(ProfileProblem(profile), "WEBM files cannot hold AAC audio.");

    // No format: the extension decides, the target's before the profile's.
    profile.SetFormat(TCustomAVFormat::F_NONE);
    profile.SetExtension(".mp3");
    EXPECT_EQ(ProfileProblem(profile), "Files ending in .mp3 cannot hold AAC audio.");
    EXPECT_EQ(ProfileProblem(profile, "/films/holiday.mkv"), "");
    profile.SetExtension(".nothing");
    EXPECT_EQ(ProfileProblem(profile), "No file format is known for files ending in .nothing.");
    profile.SetExtension("");
    EXPECT_EQ(ProfileProblem(profile),
              "The profile names neither a file format nor a file extension.");
}

}  // namespace
}  // namespace tw::profiles
