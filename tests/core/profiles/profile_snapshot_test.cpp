// The user profiles as the profile editor found them: telling changes apart and putting the
// profiles back.
#include "profiles/profile_snapshot.h"

#include <gtest/gtest.h>

#include "profiles/custom_audio_profile.h"
#include "profiles/profile_catalogue.h"
#include "profiles/profile_list.h"

namespace tw {
namespace {

std::vector<std::string> Descriptions(const TAVProfileList& list) {
    std::vector<std::string> result;
    for (int i = 0; i < list.Count(); ++i) {
        result.push_back(list.Items(i).Description());
    }
    return result;
}

TEST(UserProfilesSnapshot, SeesEveryKindOfChangeAndPutsTheProfilesBack) {
    const auto catalogue = CreateBuiltInCatalogue();
    const std::vector<std::string> before = Descriptions(*catalogue);
    auto& iphone =
        dynamic_cast<TAVCustomVideoProfile&>(*catalogue->FindByDescription("IPhone H264 Video"));
    ASSERT_EQ(iphone.FrameAspectRatio(), TAVAspectRatio::AR4_3);
    const int bitrate = iphone.VideoBitrate();
    const UserProfilesSnapshot snapshot(*catalogue);
    EXPECT_TRUE(snapshot.Matches(*catalogue));

    iphone.SetVideoBitrate(bitrate + 1);
    EXPECT_FALSE(snapshot.Matches(*catalogue));
    iphone.SetVideoBitrate(bitrate);
    EXPECT_TRUE(snapshot.Matches(*catalogue));
    iphone.SetOptions({"g=12"});
    EXPECT_FALSE(snapshot.Matches(*catalogue));
    iphone.SetOptions({});
    iphone.SetIndex(iphone.Index() + 1);
    EXPECT_FALSE(snapshot.Matches(*catalogue));
    iphone.SetIndex(iphone.Index() - 1);

    // Changed, deleted and added at once; then back as they were, values the file does not
    // keep included.
    iphone.SetVideoBitrate(1);
    iphone.SetFrameAspectRatio(TAVAspectRatio::AR_NONE);
    catalogue->Delete(*catalogue->FindByDescription("MP3 Audio"));
    catalogue->Add(std::make_unique<TAVCustomAudioProfile>()).SetDescription("Mine");
    EXPECT_FALSE(snapshot.Matches(*catalogue));
    snapshot.Restore(*catalogue);
    EXPECT_TRUE(snapshot.Matches(*catalogue));
    EXPECT_EQ(Descriptions(*catalogue), before);
    const auto& restored = dynamic_cast<const TAVCustomVideoProfile&>(
        *catalogue->FindByDescription("IPhone H264 Video"));
    EXPECT_EQ(restored.VideoBitrate(), bitrate);
    EXPECT_EQ(restored.FrameAspectRatio(), TAVAspectRatio::AR4_3);
    EXPECT_EQ(restored.ProfileList(), catalogue.get());
}

}  // namespace
}  // namespace tw
