#include "engine/track_choice.h"

#include <algorithm>
#include <charconv>

#include "util/string_list.h"

namespace tw::engine {

std::optional<TrackChoice> ParseTrackChoice(std::string_view text) {
    text = Trim(text);
    TrackChoice choice;
    if (text.empty()) {
        return choice;
    }
    if (text == "all") {
        choice.kind = TrackChoice::Kind::All;
        return choice;
    }
    if (text == "none") {
        choice.kind = TrackChoice::Kind::None;
        return choice;
    }
    choice.kind = TrackChoice::Kind::Listed;
    size_t begin = 0;
    while (begin <= text.size()) {
        const size_t comma = std::min(text.find(',', begin), text.size());
        const std::string_view item = Trim(text.substr(begin, comma - begin));
        int track = 0;
        const auto result = std::from_chars(item.data(), item.data() + item.size(), track);
        if (item.empty() || result.ec != std::errc{} || result.ptr != item.data() + item.size() ||
            track < 1 ||
            std::find(choice.tracks.begin(), choice.tracks.end(), track) != choice.tracks.end()) {
            return std::nullopt;
        }
        choice.tracks.push_back(track);
        begin = comma + 1;
    }
    return choice;
}

}  // namespace tw::engine
