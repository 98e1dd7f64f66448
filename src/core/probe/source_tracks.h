#pragma once

// The sound and subtitle tracks of a source, as the wizard lists them for choosing.

#include <string>
#include <vector>

namespace tw::probe {

struct SourceTrack {
    bool audio = true;     // else subtitles
    int number = 0;        // from 1 among the source's tracks of its kind
    std::string language;  // as tagged ("eng"); empty when untagged
    std::string codec;     // the codec's long name
    std::string title;
    int channels = 0;           // audio
    bool textSubtitle = false;  // subtitles made of text, not pictures
};

// The audio and subtitle tracks of the file, in the file's order; none when it does not open.
std::vector<SourceTrack> ListSourceTracks(const std::string& path);

// One line for a list: "2: fre, AAC (Advanced Audio Coding), stereo, “Commentary”".
std::string TrackLine(const SourceTrack& track);

}  // namespace tw::probe
