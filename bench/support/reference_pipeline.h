#pragma once

// The yardstick for the engine's own cost: the same conversion written straight on the media
// libraries, as a small program with no engine around them would do it. Demux, decode, scale
// and filter in one graph, repeat pictures for a steady output rate, resample and frame the
// sound, encode and mux; or copy the packets. The job names the encoders and their settings,
// which the benchmark takes from what the engine opens its encoders with.

#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

namespace tw::bench {

// Library option names and values, given to the encoder or muxer as it opens.
using OptionList = std::vector<std::pair<std::string, std::string>>;

struct ReferenceVideo {
    std::string encoder;  // library encoder name
    int width = 0;        // scaled to, before the filters
    int height = 0;
    AVPixelFormat pixelFormat = AV_PIX_FMT_YUV420P;
    AVRational frameRate{25, 1};  // steady output rate
    AVRational sampleAspect{1, 1};
    int scalerFlags = 4;  // bicubic
    std::string filters;  // filter-graph text after the scaler; empty = none
    OptionList options;
};

struct ReferenceAudio {
    std::string encoder;
    int sampleRate = 48000;
    int channels = 2;
    OptionList options;
};

struct ReferenceJob {
    std::string format;  // muxer name; empty = chosen by the file name
    OptionList muxerOptions;
    bool hasVideo = false;
    bool copyVideo = false;
    ReferenceVideo video;
    bool hasAudio = false;
    bool copyAudio = false;
    ReferenceAudio audio;
    int threads = 1;  // decoders and encoders; 0 = the library's choice
};

// Converts input into output. Throws std::runtime_error with the library's reason on failure.
void RunReference(const std::string& input, const std::string& output, const ReferenceJob& job);

}  // namespace tw::bench
