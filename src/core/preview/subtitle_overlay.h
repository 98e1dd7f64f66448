#pragma once

// Bitmap subtitles drawn onto BGRA pictures.

#include <cstdint>
#include <deque>
#include <memory>

#include "preview/ff_sample.h"

namespace tw::preview {

// A BGRA picture to draw on: rows of width × 4 bytes, stride bytes apart, top row first.
struct BgraImage {
    uint8_t* data = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
};

// Draws every bitmap rectangle of subtitle, each clamped into the picture. A palette entry's alpha
// (bits 24-31) weighs its colour against the picture's blue, green and red; the picture's fourth
// byte is left alone. Indices past the palette are transparent.
void DrawSubtitle(const AVSubtitle& subtitle, const BgraImage& image);

// Walks the queue from its head for a picture shown at frameStart (seconds): a subtitle whose
// window holds frameStart is drawn and stays queued, one whose window ended before it is removed,
// and the first one that starts after it ends the walk. Returns whether anything was drawn.
bool OverlaySubtitles(std::deque<std::unique_ptr<TFFSubtitle>>& queue, double frameStart,
                      const BgraImage& image);

// Whether the walk above would draw anything (so a shared picture is made writable only then).
bool AnySubtitleShown(const std::deque<std::unique_ptr<TFFSubtitle>>& queue, double frameStart);

}  // namespace tw::preview
