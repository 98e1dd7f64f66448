#include "preview/subtitle_overlay.h"

#include <algorithm>

namespace tw::preview {

void DrawSubtitle(const AVSubtitle& subtitle, const BgraImage& image) {
    for (unsigned r = 0; r < subtitle.num_rects; ++r) {
        const AVSubtitleRect* rect = subtitle.rects[r];
        if (!rect || rect->type != SUBTITLE_BITMAP || !rect->data[0] || !rect->data[1]) {
            continue;
        }
        const int width = std::clamp(rect->w, 0, image.width);
        const int height = std::clamp(rect->h, 0, image.height);
        const int left = std::clamp(rect->x, 0, image.width - width);
        const int top = std::clamp(rect->y, 0, image.height - height);
        const auto* palette = reinterpret_cast<const uint32_t*>(rect->data[1]);
        for (int y = 0; y < height; ++y) {
            const uint8_t* indices = rect->data[0] + static_cast<ptrdiff_t>(y) * rect->linesize[0];
            uint8_t* pixel = image.data + static_cast<ptrdiff_t>(top + y) * image.stride + left * 4;
            for (int x = 0; x < width; ++x, pixel += 4) {
                // A damaged stream may carry indices its palette lacks; they draw nothing.
                if (indices[x] >= rect->nb_colors) {
                    continue;
                }
                const uint32_t entry = palette[indices[x]];
                const uint32_t alpha = entry >> 24;
                if (alpha == 0) {
                    continue;
                }
                const uint32_t colour[3] = {entry & 0xFF, (entry >> 8) & 0xFF,
                                            (entry >> 16) & 0xFF};
                for (int c = 0; c < 3; ++c) {
                    pixel[c] =
                        static_cast<uint8_t>((pixel[c] * (255 - alpha) + colour[c] * alpha) / 255);
                }
            }
        }
    }
}

bool OverlaySubtitles(std::deque<std::unique_ptr<TFFSubtitle>>& queue, double frameStart,
                      const BgraImage& image) {
    bool drawn = false;
    for (auto it = queue.begin(); it != queue.end();) {
        const TFFSubtitle& subtitle = **it;
        if (subtitle.WindowEnd() < frameStart) {
            it = queue.erase(it);
        } else if (subtitle.WindowStart() > frameStart) {
            break;
        } else {
            DrawSubtitle(subtitle.Subtitle(), image);
            drawn = true;
            ++it;
        }
    }
    return drawn;
}

bool AnySubtitleShown(const std::deque<std::unique_ptr<TFFSubtitle>>& queue, double frameStart) {
    for (const auto& subtitle : queue) {
        if (subtitle->WindowStart() > frameStart) {
            return false;
        }
        if (subtitle->WindowEnd() >= frameStart) {
            return true;
        }
    }
    return false;
}

}  // namespace tw::preview
