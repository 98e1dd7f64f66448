// Bitmap subtitles on pictures: how the palette's alpha mixes colours, and which subtitles a
// picture shows, drops or leaves waiting.
#include <gtest/gtest.h>

#include <vector>

#include "preview/subtitle_overlay.h"

namespace tw::preview {
namespace {

// One 2×1 rectangle at x, y whose two pixels use palette entries 0 and 1.
void MakeBitmap(AVSubtitle& subtitle, int x, int y, uint32_t first, uint32_t second) {
    subtitle.num_rects = 1;
    subtitle.rects = static_cast<AVSubtitleRect**>(av_mallocz(sizeof(AVSubtitleRect*)));
    AVSubtitleRect* rect = subtitle.rects[0] =
        static_cast<AVSubtitleRect*>(av_mallocz(sizeof(AVSubtitleRect)));
    rect->type = SUBTITLE_BITMAP;
    rect->x = x;
    rect->y = y;
    rect->w = 2;
    rect->h = 1;
    rect->nb_colors = 2;
    rect->linesize[0] = 2;
    rect->data[0] = static_cast<uint8_t*>(av_malloc(2));
    rect->data[0][0] = 0;
    rect->data[0][1] = 1;
    rect->data[1] = static_cast<uint8_t*>(av_malloc(2 * sizeof(uint32_t)));
    reinterpret_cast<uint32_t*>(rect->data[1])[0] = first;
    reinterpret_cast<uint32_t*>(rect->data[1])[1] = second;
}

std::unique_ptr<TFFSubtitle> Subtitle(double time, uint32_t startMs, uint32_t endMs) {
    auto subtitle = std::make_unique<TFFSubtitle>();
    subtitle->SetTime(time);
    subtitle->Subtitle().start_display_time = startMs;
    subtitle->Subtitle().end_display_time = endMs;
    MakeBitmap(subtitle->Subtitle(), 0, 0, 0xFF0000FF, 0xFF0000FF);
    return subtitle;
}

TEST(SubtitleOverlay, PaletteAlphaWeighsTheColourAgainstThePicture) {
    // Four BGRA pixels of (blue 100, green 150, red 200, fourth byte 7).
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 4; ++i) {
        pixels.insert(pixels.end(), {100, 150, 200, 7});
    }
    const BgraImage image{pixels.data(), 16, 4, 1};
    TFFSubtitle subtitle;
    // The rectangle asks for x 3, y 5 and is pulled back inside the picture, onto its last two
    // pixels: alpha 0 leaves the first, alpha 255 replaces the second (red 0x11, green 0x22, blue
    // 0x33), the fourth byte stays.
    MakeBitmap(subtitle.Subtitle(), 3, 5, 0x00FFFFFF, 0xFF112233);
    DrawSubtitle(subtitle.Subtitle(), image);
    EXPECT_EQ(pixels, (std::vector<uint8_t>{100, 150, 200, 7, 100, 150, 200, 7, 100, 150, 200, 7,
                                            0x33, 0x22, 0x11, 7}));

    // Half alpha mixes with integer division; an index past the palette draws nothing.
    TFFSubtitle half;
    MakeBitmap(half.Subtitle(), 0, 0, 0x80FFFFFF, 0xFF000000);
    half.Subtitle().rects[0]->data[0][1] = 9;
    std::vector<uint8_t> grey = {0, 0, 0, 1, 50, 50, 50, 1};
    DrawSubtitle(half.Subtitle(), {grey.data(), 8, 2, 1});
    EXPECT_EQ(grey, (std::vector<uint8_t>{128, 128, 128, 1, 50, 50, 50, 1}));
}

TEST(SubtitleOverlay, EndedSubtitlesGoAndLaterOnesWait) {
    std::deque<std::unique_ptr<TFFSubtitle>> queue;
    queue.push_back(Subtitle(1.0, 0, 500));     // shown 1.0 to 1.5
    queue.push_back(Subtitle(1.2, 100, 2000));  // 1.3 to 3.2
    queue.push_back(Subtitle(5.0, 0, 1000));    // 5.0 to 6.0
    std::vector<uint8_t> pixel(4 * 2, 0);
    const BgraImage image{pixel.data(), 8, 2, 1};

    EXPECT_TRUE(OverlaySubtitles(queue, 1.4, image));
    EXPECT_EQ(queue.size(), 3u);
    EXPECT_EQ(pixel[0], 0xFF);  // blue drawn

    pixel.assign(8, 0);
    EXPECT_TRUE(OverlaySubtitles(queue, 2.0, image));
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_DOUBLE_EQ(queue.front()->Time(), 1.2);

    pixel.assign(8, 0);
    EXPECT_FALSE(AnySubtitleShown(queue, 4.0));
    EXPECT_FALSE(OverlaySubtitles(queue, 4.0, image));
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_DOUBLE_EQ(queue.front()->Time(), 5.0);
    EXPECT_EQ(pixel, std::vector<uint8_t>(8, 0));
}

}  // namespace
}  // namespace tw::preview
