#include "engine/track_choice.h"

#include <gtest/gtest.h>

namespace tw::engine {
namespace {

TEST(TrackChoice, ReadsListsAllAndNoneAndRefusesTheRest) {
    EXPECT_EQ(ParseTrackChoice("")->kind, TrackChoice::Kind::Default);
    EXPECT_EQ(ParseTrackChoice("all")->kind, TrackChoice::Kind::All);
    EXPECT_EQ(ParseTrackChoice("none")->kind, TrackChoice::Kind::None);
    const std::optional<TrackChoice> listed = ParseTrackChoice("3, 1");
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->kind, TrackChoice::Kind::Listed);
    EXPECT_EQ(listed->tracks, (std::vector<int>{3, 1}));
    for (const char* bad : {"0", "1,,2", "1,1", "-1", "1,", "two", "1.5"}) {
        EXPECT_FALSE(ParseTrackChoice(bad)) << bad;
    }
}

}  // namespace
}  // namespace tw::engine
