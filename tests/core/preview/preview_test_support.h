// Helpers shared by the preview tests: generated sources and draining a push source.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "preview/ff_push_source.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::preview::test {

// Small clips made once per test program: 25 fps 160×120 H.264 and stereo AAC at 44.1 kHz.
struct PreviewClips {
    tw::test::TempFolder folder;
    std::string audioVideo;   // 2 s, both
    std::string twoSounds;    // audioVideo with a second, mono, sound stream
    std::string videoOnly;    // 1.2 s
    std::string audioOnly;    // 1.5 s
    std::string variable;     // MPEG-4 video at a variable rate: kVariableStarts, no sound
    std::string subtitled;    // videoOnly with DVD subtitles: kSubtitleCues
    std::string twoPictures;  // audioVideo with a second, 96×64, 1.2 s picture stream

    PreviewClips();
    static const PreviewClips& Get();
};

// Picture times of the variable-rate clip, in milliseconds; the last picture lasts 30 ms.
inline constexpr int kVariableStarts[] = {0, 40, 80, 120, 220, 320, 420, 440, 460, 480, 600, 610};
inline constexpr int kVariableLastMs = 30;

// Opaque red DVD subtitles of 40×20 at (10, 10), shown [start, end) in seconds.
struct BitmapCue {
    double start;
    double end;
};
inline constexpr BitmapCue kSubtitleCues[] = {{0.2, 0.5}, {0.8, 1.0}};

// Waits until done() holds, giving up after a generous bound.
template <class Condition>
bool WaitUntil(Condition done, std::chrono::seconds bound = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

struct Drained {
    std::vector<SamplePtr> pictures;
    std::vector<SamplePtr> sound;
};

// Takes everything the source hands out until both outputs report their end.
Drained DrainSource(TFFPushSource& source);

// The next picture (or sound block), waiting for it; null at the end of the stream.
SamplePtr NextPicture(TFFPushSource& source);
SamplePtr NextSound(TFFPushSource& source);

}  // namespace tw::preview::test
