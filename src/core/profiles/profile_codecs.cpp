#include "profiles/profile_codecs.h"

#include <filesystem>

#include "media/codec_support.h"
#include "profiles/custom_audio_profile.h"
#include "util/format.h"

namespace tw::profiles {

namespace {

template <class Enum>
size_t Ordinal(Enum value) {
    return static_cast<size_t>(value);
}

std::string ExtensionOf(const std::string& fileName) {
    return std::filesystem::path(fileName).extension().string();
}

// The file name whose extension picks the container of an F_NONE profile.
std::string ContainerFileName(const TAVCustomAudioProfile& profile, std::string_view targetName) {
    return targetName.empty() ? "target" + profile.Extension() : std::string(targetName);
}

// "WEBM files" or "Files ending in .mkv".
std::string ContainerText(const TAVCustomAudioProfile& profile, std::string_view targetName) {
    if (profile.Format() != TCustomAVFormat::F_NONE) {
        return std::string(FormatLabels()[Ordinal(profile.Format())]) + " files";
    }
    return "Files ending in " + ExtensionOf(ContainerFileName(profile, targetName));
}

template <class Encoder>
std::vector<Encoder> EncodersFor(const std::optional<std::string>& muxer, int count,
                                 const char* (*codecOf)(Encoder)) {
    std::vector<Encoder> encoders;
    for (int i = 0; i < count; ++i) {
        const auto encoder = static_cast<Encoder>(i);
        const char* codec = codecOf(encoder);
        if (media::HasEncoderFor(codec) && (!muxer || media::MuxerHolds(*muxer, codec))) {
            encoders.push_back(encoder);
        }
    }
    return encoders;
}

}  // namespace

std::optional<std::string> ProfileMuxer(const TAVCustomAudioProfile& profile,
                                        std::string_view targetName) {
    if (const char* format = FormatName(profile.Format())) {
        return media::MuxerName(format, {});
    }
    return media::MuxerName({}, ContainerFileName(profile, targetName));
}

std::vector<TCustomAVFormat> AvailableFormats() {
    std::vector<TCustomAVFormat> formats;
    for (int i = 0; i < kFormatCount; ++i) {
        const auto format = static_cast<TCustomAVFormat>(i);
        const char* name = FormatName(format);
        if (!name || media::MuxerName(name, {})) {
            formats.push_back(format);
        }
    }
    return formats;
}

std::vector<TCustomAudioEncoder> AudioEncodersFor(const std::optional<std::string>& muxer) {
    return EncodersFor<TCustomAudioEncoder>(muxer, kAudioEncoderCount, AudioCodecName);
}

std::vector<TCustomVideoEncoder> VideoEncodersFor(const std::optional<std::string>& muxer) {
    return EncodersFor<TCustomVideoEncoder>(muxer, kVideoEncoderCount, VideoCodecName);
}

std::string ProfileProblem(const TAVCustomAudioProfile& profile, std::string_view targetName) {
    const std::optional<std::string> muxer = ProfileMuxer(profile, targetName);
    if (!muxer) {
        if (profile.Format() != TCustomAVFormat::F_NONE) {
            return FormatPrintf("This program cannot write %s files.",
                                std::string(FormatLabels()[Ordinal(profile.Format())]).c_str());
        }
        const std::string extension = ExtensionOf(ContainerFileName(profile, targetName));
        return extension.empty()
                   ? std::string("The profile names neither a file format nor a file extension.")
                   : FormatPrintf("No file format is known for files ending in %s.",
                                  extension.c_str());
    }
    if (!media::MuxerHolds(*muxer, AudioCodecName(profile.AudioEncoder()))) {
        return FormatPrintf("%s cannot hold %s audio.", ContainerText(profile, targetName).c_str(),
                            std::string(profile.AudioEncoderLabel()).c_str());
    }
    const auto* video = dynamic_cast<const TAVCustomVideoProfile*>(&profile);
    if (video && !media::MuxerHolds(*muxer, VideoCodecName(video->VideoEncoder()))) {
        return FormatPrintf("%s cannot hold %s video.", ContainerText(profile, targetName).c_str(),
                            std::string(video->VideoEncoderLabel()).c_str());
    }
    return {};
}

}  // namespace tw::profiles
