#include "engine/crop_area.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace tw::engine {
namespace {

TEST(CropArea, ReadsFourSidesAndRefusesAnythingElse) {
    EXPECT_EQ(ParseCropArea("10:20:30:40"), (CropArea{10, 20, 30, 40}));
    EXPECT_EQ(ParseCropArea(""), CropArea{});
    for (const char* bad : {"10:20:30", "10:20:30:40:50", "-2:0:0:0", "a:b:c:d", "1.5:0:0:0",
                            "10:20:30:40 ", "auto"}) {
        EXPECT_FALSE(ParseCropArea(bad)) << bad;
    }
    EXPECT_EQ(CropAreaText({1, 2, 3, 4}), "1:2:3:4");
}

TEST(CropArea, SidesRoundDownToWholeChromaSamplesAndMustLeaveAPicture) {
    EXPECT_EQ(FitCropArea({11, 21, 31, 41}, 320, 240, AV_PIX_FMT_YUV420P),
              (CropArea{10, 20, 30, 40}));
    EXPECT_EQ(FitCropArea({11, 21, 31, 41}, 320, 240, AV_PIX_FMT_YUV422P),
              (CropArea{11, 21, 30, 40}));
    EXPECT_EQ(FitCropArea({11, 21, 31, 41}, 320, 240, AV_PIX_FMT_YUV444P),
              (CropArea{11, 21, 31, 41}));
    EXPECT_FALSE(FitCropArea({120, 120, 0, 0}, 320, 240, AV_PIX_FMT_YUV420P));
    EXPECT_FALSE(FitCropArea({0, 0, 2000000000, 2000000000}, 320, 240, AV_PIX_FMT_YUV444P));
}

}  // namespace
}  // namespace tw::engine
