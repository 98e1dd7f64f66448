// Reads back what a conversion wrote: container facts, per-stream parameters, and counts gathered
// by demuxing every packet and decoding it. Used by end-to-end tests to check outputs by content,
// not by the mere presence of a file.
//
// Open failures throw std::runtime_error; decode errors inside a readable file do not, they are
// counted in StreamInfo::decodeErrors so that tests on damaged input can look at them.
#pragma once

#include "support/media_generator.h"

extern "C" {
#include <libavutil/rational.h>
}

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {

enum class StreamKind { Video, Audio, Subtitle, Data, Attachment, Unknown };

const char* StreamKindName(StreamKind kind);

struct SubtitleEvent {
    double startSec = 0.0;
    double endSec = 0.0;
    std::string text;  // dialogue text without ASS fields; line breaks as '\n'
};

struct StreamInfo {
    int index = 0;
    StreamKind kind = StreamKind::Unknown;
    std::string codecName;
    uint32_t codecTag = 0;
    std::string codecTagText;  // printable four characters, empty when the tag is 0
    int64_t bitRate = 0;
    AVRational timeBase{0, 1};
    Metadata metadata;
    bool attachedPicture = false;  // a cover picture, not a moving one

    // Video.
    int width = 0;
    int height = 0;
    std::string pixelFormat;
    AVRational sampleAspectRatio{0, 1};
    AVRational avgFrameRate{0, 1};
    AVRational rFrameRate{0, 1};
    std::string fieldOrder;            // "progressive", "tt", "bb", "tb", "bt" or "unknown"
    double rotationDeg = 0;            // clockwise, from the display matrix, in [0, 360)
    int64_t interlacedFrameCount = 0;  // decoded frames flagged interlaced

    // Audio.
    int sampleRate = 0;
    int channels = 0;
    std::string sampleFormat;
    int64_t decodedSampleCount = 0;  // per channel

    // Gathered from every packet.
    int64_t packetCount = 0;
    int64_t keyPacketCount = 0;
    int64_t totalPacketBytes = 0;
    std::optional<double> firstPtsSec;  // smallest pts
    std::optional<double> lastPtsSec;   // largest pts
    double durationSec = 0;             // largest (pts + duration) minus smallest pts
    double largestPtsGapSec = 0;        // biggest step between neighbouring pts, in pts order

    // Gathered by decoding.
    bool decoderAvailable = false;
    int64_t decodedFrameCount = 0;  // pictures, audio frames or subtitles
    int64_t decodeErrors = 0;
    std::vector<SubtitleEvent> subtitleEvents;
};

struct ChapterInfo {
    double startSec = 0;
    double endSec = 0;
    std::string title;
};

struct MediaInfo {
    std::string formatName;  // demuxer name, e.g. "mov,mp4,m4a,3gp,3g2,mj2", "matroska,webm"
    double durationSec = 0;  // container duration; 0 when unknown
    std::optional<double> startTimeSec;
    int64_t bitRate = 0;
    std::string readError;  // why reading stopped before a clean end of file; empty otherwise
    Metadata metadata;
    std::vector<ChapterInfo> chapters;
    std::vector<StreamInfo> streams;

    int CountOf(StreamKind kind) const;
    // First stream of the kind; throws std::runtime_error when there is none.
    const StreamInfo& First(StreamKind kind) const;
};

MediaInfo InspectMedia(const std::string& path);

struct RgbFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // RGB24, rows packed (stride = width * 3)

    const uint8_t* Pixel(int x, int y) const { return rgb.data() + (y * width + x) * 3; }
};

// Decodes the first video stream up to the picture with 0-based index frameIndex (in output order)
// and converts it to RGB24 at its own size. Throws when the stream has fewer pictures.
RgbFrame DecodeVideoFrameRgb(const std::string& path, int frameIndex);

struct AudioSamples {
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved

    std::size_t FrameCount() const { return channels > 0 ? samples.size() / channels : 0; }
};

// Decodes the first audio stream as interleaved float at its own rate and layout, stopping after
// maxSamples samples per channel (0 = all).
AudioSamples DecodeAudioSamples(const std::string& path, int64_t maxSamples = 0);

// Dominant frequency of one channel, from its rising zero crossings; rough but enough to tell a
// 440 Hz tone from an 880 Hz one.
double EstimateFrequencyHz(const AudioSamples& audio, int channel);

// Times (seconds from the first sample) where the beeps of a clip made with beepFactor begin:
// where channel 0 first gets louder than twice the plain tone's peak after a quiet half second.
std::vector<double> BeepTimesSec(const AudioSamples& audio);

// Mean luma (0..255) of every picture of the first video stream, in output order.
std::vector<double> PictureBrightness(const std::string& path);

// The codec extradata of one stream (empty when it has none). Throws on a bad index.
std::vector<uint8_t> ExtradataOf(const std::string& path, int streamIndex);

}  // namespace tw::test
