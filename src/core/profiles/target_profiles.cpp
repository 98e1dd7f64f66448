#include "profiles/target_profiles.h"

#include "engine/convert_options.h"

namespace tw {

namespace {

// PAL sizes with one group-of-pictures line, NTSC and film sizes with another.
void SetDiscSize(TAVConvertOptions& options, bool pal, int width, int palHeight, int ntscHeight) {
    options.VideoOptions().SetFrameWidth(width);
    options.VideoOptions().SetFrameHeight(pal ? palHeight : ntscHeight);
    // Appended rather than set: the disc profiles have always added their own line.
    TStringList lines = options.CodecOptions();
    lines.push_back(pal ? "g=15" : "g=18");
    options.SetCodecOptions(lines);
}

}  // namespace

const PropertyTable& TAVTargetProfile::Properties() const {
    using T = TAVTargetProfile;
    static const PropertyTable table = [] {
        PropertyTable result =
            PropertyTableBuilder<T>()
                .String("Description", &T::Description, &T::SetDescription)
                .String("Extension", &T::Extension, &T::SetExtension)
                .String("Category", &T::Category, &T::SetCategory)
                .Enum("Target", &T::Target, &T::SetTarget, {"pal", "ntsc", "film"})
                .Build();
        result.back().declaredDefault = static_cast<int64_t>(TAVTarget::pal);
        return result;
    }();
    return table;
}

bool TAVVcdProfile::ApplyTo(TAVConvertOptions& options) const {
    TVideoOptions& video = options.VideoOptions();
    TAudioOptions& audio = options.AudioOptions();
    video.SetEncoderVideoCodecName("mpeg1video");
    audio.SetEncoderAudioCodecName("mp2");
    options.SetOutputFormat("vcd");
    SetDiscSize(options, IsPal(), 352, 288, 240);
    video.SetBitrate(1150000);
    audio.SetBitrate(224000);
    options.SetCodecOption("maxrate", "1150000");
    options.SetCodecOption("minrate", "1150000");
    options.SetCodecOption("bufsize", "327680");
    options.SetCodecOption("packetsize", "2324");
    options.SetCodecOption("muxrate", "1411200");
    audio.SetAudioSampleRate(44100);
    audio.SetAudioChannels(2);
    options.MuxerOptions().SetMuxPreload(0.44f);
    video.SetFrameRate(TargetFrameRate(Target()));
    return true;
}

bool TAVSVcdProfile::ApplyTo(TAVConvertOptions& options) const {
    TVideoOptions& video = options.VideoOptions();
    TAudioOptions& audio = options.AudioOptions();
    video.SetEncoderVideoCodecName("mpeg2video");
    audio.SetEncoderAudioCodecName("mp2");
    options.SetOutputFormat("svcd");
    SetDiscSize(options, IsPal(), 480, 576, 480);
    video.SetBitrate(2040000);
    audio.SetBitrate(224000);
    options.SetCodecOption("maxrate", "2516000");
    options.SetCodecOption("minrate", "0");
    options.SetCodecOption("bufsize", "1835008");
    options.SetCodecOption("flags", "+scan_offset");
    options.SetCodecOption("packetsize", "2324");
    audio.SetAudioSampleRate(44100);
    video.SetFrameRate(TargetFrameRate(Target()));
    return true;
}

bool TAVDvdProfile::ApplyTo(TAVConvertOptions& options) const {
    TVideoOptions& video = options.VideoOptions();
    TAudioOptions& audio = options.AudioOptions();
    video.SetEncoderVideoCodecName("mpeg2video");
    audio.SetEncoderAudioCodecName("ac3");
    options.SetOutputFormat("dvd");
    SetDiscSize(options, IsPal(), 720, 576, 480);
    video.SetBitrate(6000000);
    audio.SetBitrate(448000);
    options.SetCodecOption("maxrate", "9000000");
    options.SetCodecOption("minrate", "0");
    options.SetCodecOption("bufsize", "1835008");
    options.SetCodecOption("packetsize", "2048");
    options.SetCodecOption("muxrate", "10080000");
    audio.SetAudioSampleRate(48000);
    video.SetFrameRate(TargetFrameRate(Target()));
    return true;
}

bool TAVDvProfile::ApplyTo(TAVConvertOptions& options) const {
    TVideoOptions& video = options.VideoOptions();
    TAudioOptions& audio = options.AudioOptions();
    options.SetOutputFormat("dv");
    video.SetFrameWidth(720);
    // Planar 4:2:0 for PAL, 4:1:1 for NTSC, in the library's pixel-format numbering.
    if (IsPal()) {
        video.SetFrameHeight(576);
        video.PixelFormat = 0;
    } else {
        video.SetFrameHeight(480);
        video.PixelFormat = 7;
    }
    audio.SetAudioSampleRate(48000);
    audio.SetAudioChannels(2);
    video.SetFrameRate(TargetFrameRate(Target()));
    return true;
}

bool TAVDv50Profile::ApplyTo(TAVConvertOptions& options) const {
    // Planar 4:2:2.
    options.VideoOptions().PixelFormat = 4;
    options.VideoOptions().SetFrameRate(TargetFrameRate(Target()));
    return true;
}

const PropertyTable& TAVImageProfile::Properties() const {
    using T = TAVImageProfile;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .String("Description", &T::Description, &T::SetDescription)
            .String("Extension", &T::Extension, &T::SetExtension)
            .String("Category", &T::Category, &T::SetCategory)
            .Enum("ImageType", &T::ImageType, &T::SetImageType,
                  {"bitmap", "jpeg", "png", "gif", "tiff"})
            .Build();
    return table;
}

bool TAVImageProfile::ApplyTo(TAVConvertOptions& options) const {
    options.SetThreadCount(1);
    // The picture format follows the target's extension; the image writer makes one file per
    // frame of every kind, GIF included (the GIF container would animate them in one file).
    options.SetOutputFormat("image2");
    return true;
}

}  // namespace tw
