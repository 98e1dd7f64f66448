// Source clips for end-to-end tests, built straight from the FFmpeg libraries: a test pattern
// (testsrc2) for video and a sine tone for audio, encoded and muxed into the container named by the
// file's extension. Independent of the conversion engine so that a fault there cannot shape its own
// inputs.
//
// All functions throw std::runtime_error with a readable message on failure; a clip that failed
// half-way is removed rather than left behind.
#pragma once

extern "C" {
#include <libavutil/rational.h>
}

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {

using Metadata = std::map<std::string, std::string>;

struct SubtitleCue {
    double startSec = 0.0;
    double endSec = 0.0;
    std::string text;  // '\n' starts a new line
};

struct ChapterDescription {
    double startSec = 0.0;
    double endSec = 0.0;
    std::string title;
};

struct AudioTrackDescription {
    std::string codec = "aac";
    int sampleRate = 44100;
    int channels = 2;  // 1, 2 or 6
    double sineFrequencyHz = 440.0;
    int64_t bitRate = 0;  // 0 = encoder default
    Metadata metadata;    // e.g. {"language", "eng"}
    // Above 0: a 40 ms beep at this multiple of the tone, three times as loud, at every whole
    // second of the clip (marks for checking where audio lies in time).
    double beepFactor = 0.0;
};

struct ClipDescription {
    // Video; an empty codec means no video stream.
    int width = 320;
    int height = 240;
    AVRational frameRate{25, 1};
    double durationSec = 2.0;
    std::string videoCodec = "libx264";
    std::string pixelFormat = "yuv420p";  // empty = the encoder's first supported format
    AVRational sampleAspect{1, 1};        // the shape of a pixel: 2/1 shows it twice as wide
    int gopSize = 12;
    int64_t videoBitRate = 0;    // 0 = encoder default
    std::string videoCodecTag;   // four characters (e.g. "XVID"); empty = the muxer's choice
    Metadata videoCodecOptions;  // private encoder options; libx264 defaults to preset=veryfast
    bool interlaced = false;     // interlaced coding where the encoder can, plus field order
    bool topFieldFirst = true;
    Metadata videoMetadata;   // "rotate" (clockwise degrees) is also written as a display matrix
    std::string videoFilter;  // filter-graph syntax applied to the test picture; empty = none
    // The video packets are written as noise of their own size: a stream whose container states
    // its size but whose pictures cannot be decoded (give a codec without global headers).
    bool videoUndecodable = false;
    // When set: the clip's pictures are shown at these times (seconds, rising), one each, on a
    // clock of 1/1000 s, as a variable-rate recording has them; frameRate only paces the pattern.
    std::vector<double> frameTimesSec;

    // First audio stream; an empty codec means no audio.
    std::string audioCodec = "aac";
    int sampleRate = 44100;
    int channels = 2;  // 1, 2 or 6
    double sineFrequencyHz = 440.0;
    int64_t audioBitRate = 0;
    Metadata audioMetadata;
    double beepFactor = 0.0;  // as in AudioTrackDescription
    // The first audio stream is declared (a transport stream lists it in its program) but never
    // carries a packet.
    bool audioDeclaredOnly = false;

    std::optional<AudioTrackDescription> secondAudio;

    // Text subtitles. An empty codec picks mov_text for MP4/MOV and subrip elsewhere; no cues
    // means no subtitle stream.
    std::vector<SubtitleCue> subtitles;
    std::string subtitleCodec;
    Metadata subtitleMetadata;

    std::vector<ChapterDescription> chapters;
    Metadata containerMetadata;
    // An image file (a clip made with one picture, ".png" or ".jpg") attached as the cover.
    std::string coverArtPath;

    // Shifts every timestamp in the container by this much (the muxer's output offset).
    double startOffsetSec = 0.0;
    // From ptsJumpAtSec on, every timestamp is moved ptsJumpSec later (a discontinuity as seen in
    // broadcast captures). Disabled while ptsJumpSec is 0.
    double ptsJumpAtSec = 0.0;
    double ptsJumpSec = 0.0;

    std::string formatName;  // forced muxer name; empty = guessed from the file name
};

// Writes the described clip to path, replacing any existing file. Encoders that Debian's
// build may lack are replaced by one of the same family where one exists (an H.264 or MP3 encoder
// under another name), otherwise the call throws. A single image (".png", ".jpg" …) holds the last
// frame; give a one-frame duration for an image of the first.
void GenerateClip(const ClipDescription& clip, const std::string& path);

// A small source: 160×120 test pictures with a tone, seconds long, written as folder/name.
// Returns its path.
std::string MakeClip(const std::filesystem::path& folder, const std::string& name, double seconds);

// Bad-input helpers.
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteBytes(const std::string& path, const std::string& bytes);
// Copies the first fraction (0..1) of src's bytes to dst.
void TruncateCopy(const std::string& src, const std::string& dst, double fraction);
// size bytes of deterministic noise for the given seed.
void WriteRandomFile(const std::string& path, std::size_t size, uint32_t seed);

}  // namespace tw::test
