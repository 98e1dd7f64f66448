#pragma once

// The enumerations of the profile model and their lookup tables. The label tables are in
// enumeration order; the profile editor fills its drop-down lists from them in that order.

#include <array>
#include <string_view>

#include "engine/rational.h"

namespace tw {

// Values after AMR_NB (and after F_AC3, after FLV below) extend the original lists; stored
// profiles hold ordinals, so new values only ever go at the end.
enum class TCustomAudioEncoder {
    AAC,
    WMAV2,
    AC3,
    MP2,
    MP3,
    PCM_S16LE,
    RA1,
    AMR_NB,
    VORBIS,
    OPUS,
    FLAC
};
enum class TCustomAudioChannels { mono1, stereo2 };
enum class TCustomAVFormat {
    F_NONE,
    F_RM,
    F_MP4,
    F_ASF,
    F_AVI,
    F_3GP,
    F_3GP2,
    F_FLV,
    F_MOV,
    F_PSP,
    F_IPOD,
    F_SVCD,
    F_VCD,
    F_VOB,
    F_DVD,
    F_WEBM,
    F_AC3,
    F_WAV,
    F_MP3,
    F_OGG
};
enum class TCustomVideoEncoder {
    H263,
    H264,
    MPEG4,
    WMV2,
    MPEG2VIDEO,
    MSMPEGV3,
    RV20,
    XVID,
    FLV,
    VP8,
    VP9
};
enum class TCustomFrameRate { rOriginal, r1499, r20, r2397, r24, r25, r2997, r30 };
enum class TAVAspectRatio { AR_NONE, AR4_3 };
enum class TAVTarget { pal, ntsc, film };
enum class TAVImageType { bitmap, jpeg, png, gif, tiff };
enum class TPreset {
    basic,
    FastFirstPass,
    SlowFirstPass,
    Common,
    HighQuality,
    Best,
    LosslessFast,
    LosslessMedium,
    LosslessSlow,
    LosslessSlower,
    LosslessMax
};
enum class TAVFrameSize {
    fsOriginal,
    fsNtsc,
    fsPal,
    fsQntsc,
    fsIPaq,
    fsPsp,
    fsSpal,
    fsIPhoneWide,
    fsIPhone,
    fsSqcif,
    fsQcif,
    fsCif,
    fs4cif,
    fs16cif,
    fsQqvga,
    fsQvga,
    fsVga,
    fsSvga,
    fsXga,
    fsUxga,
    fsQxga,
    fsSxga,
    fsQsxga,
    fsHsxga,
    fsWvga,
    fsWxga,
    fsWsxga,
    fsWuxga,
    fsWoxga,
    fsWqsxga,
    fsWquxga,
    fsWhsxga,
    fsWhuxga,
    fsCga,
    fsEga,
    fsHd480,
    fsHd720,
    fsHd1080,
    fsMceHd
};

inline constexpr int kAudioEncoderCount = 11;
inline constexpr int kAudioChannelsCount = 2;
inline constexpr int kFormatCount = 20;
inline constexpr int kVideoEncoderCount = 11;
inline constexpr int kFrameRateCount = 8;
inline constexpr int kAspectRatioCount = 2;
inline constexpr int kTargetCount = 3;
inline constexpr int kImageTypeCount = 5;
inline constexpr int kPresetCount = 11;
inline constexpr int kFrameSizeCount = 39;

struct FrameSizeEntry {
    TAVFrameSize value;
    std::string_view label;
    int width;
    int height;
};

// Labels by ordinal.
const std::array<std::string_view, kVideoEncoderCount>& VideoEncoderLabels();
const std::array<std::string_view, kAudioEncoderCount>& AudioEncoderLabels();
const std::array<std::string_view, kFormatCount>& FormatLabels();
const std::array<std::string_view, kAudioChannelsCount>& ChannelLabels();
const std::array<std::string_view, kFrameRateCount>& FrameRateLabels();
const std::array<FrameSizeEntry, kFrameSizeCount>& FrameSizes();

// What a value names in the libraries: the encoder a run asks for ("libmp3lame"), the codec
// that encoder makes ("mp3"), and the container's muxer ("webm"; null for F_NONE, which leaves
// the container to the target file's extension). A value outside its enumeration is a
// programming error.
const char* AudioEncoderName(TCustomAudioEncoder encoder);
const char* AudioCodecName(TCustomAudioEncoder encoder);
const char* VideoEncoderName(TCustomVideoEncoder encoder);
const char* VideoCodecName(TCustomVideoEncoder encoder);
const char* FormatName(TCustomAVFormat format);

// The rate of a frame-rate value; rOriginal has none and is a programming error here.
TRational FrameRateOf(TCustomFrameRate rate);
// The frame rate of a television standard: pal 25/1, ntsc 30000/1001, film 24000/1001.
TRational TargetFrameRate(TAVTarget target);
// The first frame-size entry of that width and height; fsOriginal when none has it.
TAVFrameSize FrameSizeOf(int width, int height);

}  // namespace tw
