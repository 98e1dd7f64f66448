#include <gtest/gtest.h>

#include "filters/denoise_filter.h"
#include "filters/sharpen_filter.h"

namespace tw::filters {
namespace {

TEST(CleanupFilters, TextsFollowTheStrengthAndCustomValuesAreWrittenWithAPoint) {
    TDenoiseFilter denoise;
    denoise.SetStrength(TDenoiseFilter::kStrong);
    EXPECT_EQ(denoise.GetFilterText(), "hqdn3d=8:6:12:9");
    CopyTo(DenoiseDialogValues{TDenoiseFilter::kCustom, {2.5, 0, 7.25, 1}}, denoise);
    EXPECT_EQ(denoise.GetFilterText(), "hqdn3d=2.5:0:7.25:1");
    EXPECT_EQ(denoise.GetSummary(), "Denoise 2.5, 0, 7.25, 1");

    TSharpenFilter sharpen;
    sharpen.SetStrength(TSharpenFilter::kLight);
    EXPECT_EQ(sharpen.GetFilterText(), "unsharp=5:5:0.5");
    EXPECT_EQ(sharpen.GetSummary(), "Sharpen Light");
}

TEST(CleanupFilters, CustomDenoiseNeedsSomeStrengthWithinTheLimits) {
    EXPECT_TRUE(Accepts(DenoiseDialogValues{TDenoiseFilter::kLight, {0, 0, 0, 0}}));
    EXPECT_FALSE(Accepts(DenoiseDialogValues{TDenoiseFilter::kCustom, {0, 0, 0, 0}}));
    EXPECT_FALSE(Accepts(DenoiseDialogValues{TDenoiseFilter::kCustom, {51, 0, 0, 0}}));
    EXPECT_FALSE(Accepts(SharpenDialogValues{3}));
}

}  // namespace
}  // namespace tw::filters
