// A single picture through the stored filter chain, as the filter dialogs show it.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/frame.h>
}

#include "preview/filtered_picture.h"

namespace tw::preview {
namespace {

// A BGRA picture of one colour.
media::FramePtr SolidPicture(int width, int height, uint8_t blue, uint8_t green, uint8_t red) {
    media::FramePtr frame = media::MakeFrame();
    frame->width = width;
    frame->height = height;
    frame->format = AV_PIX_FMT_BGRA;
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame->data[0] + y * frame->linesize[0];
        for (int x = 0; x < width; ++x) {
            row[x * 4] = blue;
            row[x * 4 + 1] = green;
            row[x * 4 + 2] = red;
            row[x * 4 + 3] = 255;
        }
    }
    return frame;
}

const uint8_t* Pixel(const AVFrame& frame, int x, int y) {
    return frame.data[0] + y * frame.linesize[0] + x * 4;
}

TEST(FilteredPicture, TheStoredChainChangesTheGivenPicture) {
    const media::FramePtr picture = SolidPicture(64, 48, 10, 20, 30);
    const media::FramePtr negated = FilterPicture(*picture, 3.0, "negate");
    ASSERT_NE(negated, nullptr);
    EXPECT_EQ(negated->format, AV_PIX_FMT_BGRA);
    EXPECT_EQ(negated->width, 64);
    EXPECT_EQ(Pixel(*negated, 5, 5)[2], 255 - 30);

    // A red box with the standard filter's text, and a quarter turn that swaps the sides.
    const media::FramePtr boxed = FilterPicture(*picture, 0, " drawbox=0:0:8:8:Red,rotate=90 ");
    ASSERT_NE(boxed, nullptr);
    EXPECT_EQ(boxed->width, 48);
    EXPECT_EQ(boxed->height, 64);

    EXPECT_EQ(FilterPicture(*picture, 0, "no_such_filter"), nullptr);
    // The picture given is left as it was.
    EXPECT_EQ(Pixel(*picture, 5, 5)[2], 30);
}

}  // namespace
}  // namespace tw::preview
