#include "profiles/profile_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "profiles/custom_audio_profile.h"
#include "profiles/profile_tables.h"
#include "profiles/target_name.h"
#include "profiles/target_profiles.h"
#include "profiles/x264_profile.h"

namespace tw {
namespace {

std::vector<std::string> Descriptions(const TAVProfileList& list) {
    std::vector<std::string> result;
    for (int i = 0; i < list.Count(); ++i) {
        result.push_back(list.Items(i).Description());
    }
    return result;
}

template <class P>
P& AddNamed(TAVProfileList& list, const std::string& description) {
    auto profile = std::make_unique<P>();
    profile->SetDescription(description);
    return list.Add(std::move(profile));
}

// A, B, C, D: a disc profile, an audio, an image and a video profile.
class ProfileListTest : public ::testing::Test {
protected:
    ProfileListTest()
        : a_(AddNamed<TAVVcdProfile>(list_, "A")),
          b_(AddNamed<TAVCustomAudioProfile>(list_, "B")),
          c_(AddNamed<TAVImageProfile>(list_, "C")),
          d_(AddNamed<TAVCustomVideoProfile>(list_, "D")) {}

    TAVProfileList list_;
    TAVProfile& a_;
    TAVProfile& b_;
    TAVProfile& c_;
    TAVProfile& d_;
};

TEST_F(ProfileListTest, IndexFollowsTheListAndIsMinusOneOutsideOne) {
    EXPECT_EQ(a_.Index(), 0);
    EXPECT_EQ(d_.Index(), 3);
    EXPECT_EQ(d_.ProfileList(), &list_);
    TAVX264Profile loose;
    EXPECT_EQ(loose.Index(), -1);
    loose.SetIndex(2);  // without a list nothing happens
    EXPECT_EQ(loose.Index(), -1);
}

TEST_F(ProfileListTest, SetIndexMovesAndClampsToTheList) {
    d_.SetIndex(1);
    EXPECT_EQ(Descriptions(list_), (std::vector<std::string>{"A", "D", "B", "C"}));
    a_.SetIndex(99);
    EXPECT_EQ(Descriptions(list_), (std::vector<std::string>{"D", "B", "C", "A"}));
    a_.SetIndex(-5);
    EXPECT_EQ(Descriptions(list_), (std::vector<std::string>{"A", "D", "B", "C"}));
    EXPECT_EQ(a_.Index(), 0);
}

TEST_F(ProfileListTest, SetProfileListMovesToTheEndOfTheNewList) {
    TAVProfileList other;
    AddNamed<TAVDvProfile>(other, "X");
    b_.SetProfileList(other);
    EXPECT_EQ(Descriptions(list_), (std::vector<std::string>{"A", "C", "D"}));
    EXPECT_EQ(Descriptions(other), (std::vector<std::string>{"X", "B"}));
    EXPECT_EQ(b_.ProfileList(), &other);
    EXPECT_EQ(b_.Index(), 1);
    // Within the same list it goes to the end.
    a_.SetProfileList(list_);
    EXPECT_EQ(Descriptions(list_), (std::vector<std::string>{"C", "D", "A"}));
}

TEST_F(ProfileListTest, RemoveCustomProfilesFreesAudioAndVideoOnly) {
    list_.RemoveCustomProfiles();
    EXPECT_EQ(Descriptions(list_), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(c_.Index(), 1);
}

TEST_F(ProfileListTest, ExtractedProfileLeavesTheListAndDeleteFreesIt) {
    std::unique_ptr<TAVProfile> taken = list_.Extract(b_);
    EXPECT_EQ(taken->ProfileList(), nullptr);
    EXPECT_EQ(taken->Index(), -1);
    EXPECT_EQ(list_.IndexOf(taken.get()), -1);
    list_.Delete(c_);
    EXPECT_EQ(Descriptions(list_), (std::vector<std::string>{"A", "D"}));
    list_.Add(std::move(taken));
    EXPECT_EQ(Descriptions(list_), (std::vector<std::string>{"A", "D", "B"}));
}

TEST_F(ProfileListTest, CategoryMatchingIgnoresCaseAndEmptyMatchesNothing) {
    a_.SetCategory("XBox");
    b_.SetCategory("xbox");
    d_.SetCategory("Video");
    EXPECT_EQ(list_.ProfilesInCategory("Xbox"), (std::vector<TAVProfile*>{&a_, &b_}));
    EXPECT_TRUE(list_.ProfilesInCategory("").empty());
    EXPECT_FALSE(c_.InCategory(""));
    EXPECT_EQ(list_.FindByDescription("d"), &d_);
    EXPECT_EQ(list_.FindByDescription("E"), nullptr);
}

TEST(ProfileTables, FrameSizeIsTheFirstEntryOfThatSize) {
    EXPECT_EQ(FrameSizeOf(1366, 768), TAVFrameSize::fsWxga);
    EXPECT_EQ(FrameSizeOf(100, 100), TAVFrameSize::fsOriginal);
    EXPECT_EQ(FrameSizeOf(852, 480), TAVFrameSize::fsWvga);
    EXPECT_EQ(FrameSizeOf(1440, 1080), TAVFrameSize::fsMceHd);
    EXPECT_EQ(FrameSizeOf(0, 0), TAVFrameSize::fsOriginal);
    TAVCustomVideoProfile profile;
    profile.SetFrameWidth(720);
    profile.SetFrameHeight(406);
    EXPECT_EQ(profile.FrameSize(), TAVFrameSize::fsIPhoneWide);
}

TEST(ProfileTables, DisplayHelpersGiveLabelsAndRateNumbers) {
    TAVCustomVideoProfile profile;
    profile.SetVideoEncoder(TCustomVideoEncoder::MPEG2VIDEO);
    profile.SetAudioEncoder(TCustomAudioEncoder::PCM_S16LE);
    EXPECT_EQ(profile.VideoEncoderLabel(), "MPEG2VIDEO");
    EXPECT_EQ(profile.AudioEncoderLabel(), "PCM_S16LE");
    EXPECT_EQ(profile.FrameRateValue(), 0.0);
    profile.SetFrameRate(TCustomFrameRate::r2997);
    EXPECT_DOUBLE_EQ(profile.FrameRateValue(), 29.97);
    profile.SetFrameRate(TCustomFrameRate::r1499);
    EXPECT_DOUBLE_EQ(profile.FrameRateValue(), 14.99);
    EXPECT_EQ(FormatLabels()[6], "3GP2");
    EXPECT_EQ(ChannelLabels()[1], "stereo");
    EXPECT_EQ(FrameRateLabels()[3], "23.97");
}

TEST(TargetName, ReplacesTheExtensionWithTheProfiles) {
    EXPECT_EQ(ChangeFileExt("/v/movie.avi", ".mp4"), "/v/movie.mp4");
    EXPECT_EQ(ChangeFileExt("/v/movie.avi", "1.jpg"), "/v/movie1.jpg");
    EXPECT_EQ(ChangeFileExt("/v.d/movie", ".mp4"), "/v.d/movie.mp4");
    EXPECT_EQ(ChangeFileExt("/v/.hidden", ".mp4"), "/v/.hidden.mp4");
    EXPECT_EQ(ChangeFileExt("a.b.c", ".mkv"), "a.b.mkv");
    EXPECT_EQ(TargetFileName("/in/movie.avi", "1.jpg", "/out"), "/out/movie1.jpg");
    EXPECT_EQ(TargetFileName("/in/movie.avi", ".mp4", "/out/"), "/out/movie.mp4");
    EXPECT_EQ(TargetFileName("/in/movie.avi", ".mp4"), "/in/movie.mp4");
}

TEST(TargetName, SwitchingImageProfilesKeepsOneNumber) {
    EXPECT_EQ(ReplaceProfileExtension("/o/movie1.jpg", "1.jpg", "1.png"), "/o/movie1.png");
    EXPECT_EQ(ReplaceProfileExtension("/o/movie1.jpg", "1.jpg", ".mp4"), "/o/movie.mp4");
    // A name the user typed differently falls back to replacing the extension.
    EXPECT_EQ(ReplaceProfileExtension("/o/clip.avi", "1.jpg", "1.png"), "/o/clip1.png");
    EXPECT_EQ(ReplaceProfileExtension("/o/1.jpg", "1.jpg", ".mp4"), "/o/1.mp4");
}

}  // namespace
}  // namespace tw
