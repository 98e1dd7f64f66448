#include "profiles/profile_tables.h"

#include "util/format.h"

namespace tw {

const std::array<std::string_view, kVideoEncoderCount>& VideoEncoderLabels() {
    static constexpr std::array<std::string_view, kVideoEncoderCount> labels = {
        "H263", "H264", "MPEG4", "WMV2", "MPEG2VIDEO", "MSMPEGV3",
        "RV20", "XVID", "FLV",   "VP8",  "VP9"};
    return labels;
}

const std::array<std::string_view, kAudioEncoderCount>& AudioEncoderLabels() {
    static constexpr std::array<std::string_view, kAudioEncoderCount> labels = {
        "AAC", "WMAV2",  "AC3",    "MP2",  "MP3", "PCM_S16LE",
        "RA1", "AMR_NB", "VORBIS", "OPUS", "FLAC"};
    return labels;
}

const std::array<std::string_view, kFormatCount>& FormatLabels() {
    static constexpr std::array<std::string_view, kFormatCount> labels = {
        "NONE", "RM",   "MP4", "ASF", "AVI", "3GP",  "3GP2", "FLV", "MOV", "PSP",
        "IPOD", "SVCD", "VCD", "VOB", "DVD", "WEBM", "AC3",  "WAV", "MP3", "OGG"};
    return labels;
}

const std::array<std::string_view, kAudioChannelsCount>& ChannelLabels() {
    static constexpr std::array<std::string_view, kAudioChannelsCount> labels = {"mono", "stereo"};
    return labels;
}

const std::array<std::string_view, kFrameRateCount>& FrameRateLabels() {
    static constexpr std::array<std::string_view, kFrameRateCount> labels = {
        "Original", "14.99", "20", "23.97", "24", "25", "29.97", "30"};
    return labels;
}

const std::array<FrameSizeEntry, kFrameSizeCount>& FrameSizes() {
    using F = TAVFrameSize;
    static constexpr std::array<FrameSizeEntry, kFrameSizeCount> sizes = {{
        {F::fsOriginal, "Original", 0, 0},
        {F::fsNtsc, "ntsc(720x480)", 720, 480},
        {F::fsPal, "pal(720x576)", 720, 576},
        {F::fsQntsc, "352x240", 352, 240},
        {F::fsIPaq, "240x240", 240, 240},
        {F::fsPsp, "368x208", 368, 208},
        {F::fsSpal, "spal(768x576)", 768, 576},
        {F::fsIPhoneWide, "720x406", 720, 406},
        {F::fsIPhone, "480x320", 480, 320},
        {F::fsSqcif, "sqcif(128x96)", 128, 96},
        {F::fsQcif, "qcif(176x144)", 176, 144},
        {F::fsCif, "cif(352x288)", 352, 288},
        {F::fs4cif, "4cif(704x576)", 704, 576},
        {F::fs16cif, "16cif(1408x1152)", 1408, 1152},
        {F::fsQqvga, "qqvga(160x120)", 160, 120},
        {F::fsQvga, "qvga(320x240)", 320, 240},
        {F::fsVga, "vga(640x480)", 640, 480},
        {F::fsSvga, "svga(800x600)", 800, 600},
        {F::fsXga, "xga(1024x768)", 1024, 768},
        {F::fsUxga, "uxga(1600x1200)", 1600, 1200},
        {F::fsQxga, "qxga(2048x1536)", 2048, 1536},
        {F::fsSxga, "sxga(1280x1024)", 1280, 1024},
        {F::fsQsxga, "qsxga(2560x2048)", 2560, 2048},
        {F::fsHsxga, "hsxga(5120x4096)", 5120, 4096},
        {F::fsWvga, "wvga(852x480)", 852, 480},
        {F::fsWxga, "wxga(1366x768)", 1366, 768},
        {F::fsWsxga, "wsxga(1600x1024)", 1600, 1024},
        {F::fsWuxga, "wuxga(1920x1200)", 1920, 1200},
        {F::fsWoxga, "woxga(2560x1600)", 2560, 1600},
        {F::fsWqsxga, "wqsxga(3200x2048)", 3200, 2048},
        {F::fsWquxga, "wquxga(3840x2400)", 3840, 2400},
        {F::fsWhsxga, "whsxga(6400x4096)", 6400, 4096},
        {F::fsWhuxga, "whuxga(7680x4800)", 7680, 4800},
        {F::fsCga, "cga(320x200)", 320, 200},
        {F::fsEga, "ega(640x350)", 640, 350},
        {F::fsHd480, "hd480(852x480)", 852, 480},
        {F::fsHd720, "hd720(1280x720)", 1280, 720},
        {F::fsHd1080, "hd1080(1920x1080)", 1920, 1080},
        {F::fsMceHd, "1440x1080", 1440, 1080},
    }};
    return sizes;
}

namespace {

template <class Enum, size_t N>
const char* ByOrdinal(const std::array<const char*, N>& names, Enum value) {
    const auto ordinal = static_cast<size_t>(value);
    TW_ASSERT(ordinal < N && "profile value out of range");
    return names[ordinal];
}

}  // namespace

const char* AudioEncoderName(TCustomAudioEncoder encoder) {
    static constexpr std::array<const char*, kAudioEncoderCount> names = {
        "libfaac",           "wmav2",     "ac3",     "mp2", "libmp3lame", "pcm_s16le", "real_144",
        "libopencore_amrnb", "libvorbis", "libopus", "flac"};
    return ByOrdinal(names, encoder);
}

const char* AudioCodecName(TCustomAudioEncoder encoder) {
    static constexpr std::array<const char*, kAudioEncoderCount> names = {
        "aac",    "wmav2",  "ac3",    "mp2",  "mp3", "pcm_s16le",
        "ra_144", "amr_nb", "vorbis", "opus", "flac"};
    return ByOrdinal(names, encoder);
}

const char* VideoEncoderName(TCustomVideoEncoder encoder) {
    static constexpr std::array<const char*, kVideoEncoderCount> names = {
        "h263", "libx264", "mpeg4", "wmv2",   "mpeg2video", "msmpeg4",
        "rv20", "libxvid", "flv",   "libvpx", "libvpx-vp9"};
    return ByOrdinal(names, encoder);
}

const char* VideoCodecName(TCustomVideoEncoder encoder) {
    static constexpr std::array<const char*, kVideoEncoderCount> names = {
        "h263", "h264",  "mpeg4", "wmv2", "mpeg2video", "msmpeg4v3",
        "rv20", "mpeg4", "flv1",  "vp8",  "vp9"};
    return ByOrdinal(names, encoder);
}

const char* FormatName(TCustomAVFormat format) {
    static constexpr std::array<const char*, kFormatCount> names = {
        nullptr, "rm",   "mp4", "asf", "avi", "3gp",  "3g2", "flv", "mov", "psp",
        "ipod",  "svcd", "vcd", "vob", "dvd", "webm", "ac3", "wav", "mp3", "ogg"};
    return ByOrdinal(names, format);
}

TRational FrameRateOf(TCustomFrameRate rate) {
    switch (rate) {
        case TCustomFrameRate::r1499:
            return {15000, 1001};
        case TCustomFrameRate::r20:
            return {20, 1};
        case TCustomFrameRate::r2397:
            return {24000, 1001};
        case TCustomFrameRate::r24:
            return {24, 1};
        case TCustomFrameRate::r25:
            return {25, 1};
        case TCustomFrameRate::r2997:
            return {30000, 1001};
        case TCustomFrameRate::r30:
            return {30, 1};
        case TCustomFrameRate::rOriginal:
            break;
    }
    TW_ASSERT(false && "frame rate without a rational");
}

TRational TargetFrameRate(TAVTarget target) {
    switch (target) {
        case TAVTarget::pal:
            return {25, 1};
        case TAVTarget::ntsc:
            return {30000, 1001};
        case TAVTarget::film:
            return {24000, 1001};
    }
    TW_ASSERT(false && "unknown television standard");
}

TAVFrameSize FrameSizeOf(int width, int height) {
    for (const FrameSizeEntry& entry : FrameSizes()) {
        if (entry.width == width && entry.height == height) {
            return entry.value;
        }
    }
    return TAVFrameSize::fsOriginal;
}

}  // namespace tw
