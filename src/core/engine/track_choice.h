#pragma once

// Which of the source's audio or subtitle tracks a conversion takes: TAudioOptions::AudioTracks
// and TSubtitleOptions::SubtitleTracks. Tracks are counted from 1 among the source's streams of
// that kind, in the source's order; the list's order is the target's.

#include <optional>
#include <string_view>
#include <vector>

namespace tw::engine {

struct TrackChoice {
    enum class Kind {
        Default,  // the engine's own pick: the main track of the kind (empty text)
        All,      // "all"
        None,     // "none"
        Listed,   // "2,1"
    };
    Kind kind = Kind::Default;
    std::vector<int> tracks;  // Listed only; each at least 1, none twice
};

// nullopt for text of another shape.
std::optional<TrackChoice> ParseTrackChoice(std::string_view text);

}  // namespace tw::engine
