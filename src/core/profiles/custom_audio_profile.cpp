#include "profiles/custom_audio_profile.h"

#include <climits>
#include <cmath>

#include "engine/convert_options.h"
#include "profiles/comma_text.h"
#include "profiles/x264_profile.h"
#include "util/float_text.h"
#include "util/format.h"
#include "util/ini_file.h"

namespace tw {

namespace {

// kbit/s to bit/s, rounded; values no bit rate can have are kept inside the integer range
// rather than wrapping.
int KbitToBits(double kbit) {
    const double bits = std::round(kbit * 1000.0);
    if (std::isnan(bits)) {
        return 0;
    }
    if (bits >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (bits <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(bits);
}

// An enumeration read from the file: a number outside the enumeration keeps the current value,
// since ApplyTo treats such a value as a programming error.
template <class E>
E ReadEnum(const TIniFile& ini, const std::string& key, E current, int count) {
    const int ordinal = ini.ReadInteger(kProfileSection, key, static_cast<int>(current));
    return (ordinal >= 0 && ordinal < count) ? static_cast<E>(ordinal) : current;
}

}  // namespace

// ---- TAVCustomAudioProfile ----

const PropertyTable& TAVCustomAudioProfile::Properties() const {
    using T = TAVCustomAudioProfile;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .String("Description", &T::Description, &T::SetDescription)
            .String("Extension", &T::Extension, &T::SetExtension)
            .String("Category", &T::Category, &T::SetCategory)
            .Integer("SampleRate", &T::SampleRate, &T::SetSampleRate)
            .Enum("AudioEncoder", &T::AudioEncoder, &T::SetAudioEncoder,
                  {"AAC", "WMAV2", "AC3", "MP2", "MP3", "PCM_S16LE", "RA1", "AMR_NB", "VORBIS",
                   "OPUS", "FLAC"})
            .Enum("AudioChannels", &T::AudioChannels, &T::SetAudioChannels, {"mono1", "stereo2"})
            .Double("AudioBitrate", &T::AudioBitrate, &T::SetAudioBitrate)
            .Enum("Format", &T::Format, &T::SetFormat,
                  {"F_NONE", "F_RM",   "F_MP4", "F_ASF",  "F_AVI",  "F_3GP", "F_3GP2",
                   "F_FLV",  "F_MOV",  "F_PSP", "F_IPOD", "F_SVCD", "F_VCD", "F_VOB",
                   "F_DVD",  "F_WEBM", "F_AC3", "F_WAV",  "F_MP3",  "F_OGG"})
            .List("Options", &T::Options, &T::SetOptions)
            .Build();
    return table;
}

std::string_view TAVCustomAudioProfile::AudioEncoderLabel() const {
    const int ordinal = static_cast<int>(AudioEncoder_);
    TW_ASSERT(ordinal >= 0 && ordinal < kAudioEncoderCount);
    return AudioEncoderLabels()[static_cast<size_t>(ordinal)];
}

void TAVCustomAudioProfile::SaveToIni(TIniFile& ini, int number) const {
    TAVProfile::SaveToIni(ini, number);
    ini.WriteBool(kProfileSection, Key("IsVideo", number), false);
    ini.WriteInteger(kProfileSection, Key("SampleRate", number), SampleRate_);
    ini.WriteInteger(kProfileSection, Key("AudioEncoder", number), static_cast<int>(AudioEncoder_));
    ini.WriteInteger(kProfileSection, Key("AudioChannels", number),
                     static_cast<int>(AudioChannels_));
    ini.WriteFloat(kProfileSection, Key("AudioBitrate", number), AudioBitrate_);
    ini.WriteInteger(kProfileSection, Key("Format", number), static_cast<int>(Format_));
    ini.WriteString(kProfileSection, Key("Options", number), CommaText(Options_));
}

void TAVCustomAudioProfile::LoadFromIni(const TIniFile& ini, int number) {
    TAVProfile::LoadFromIni(ini, number);
    SetSampleRate(ini.ReadInteger(kProfileSection, Key("SampleRate", number), SampleRate_));
    SetAudioEncoder(ReadEnum(ini, Key("AudioEncoder", number), AudioEncoder_, kAudioEncoderCount));
    SetAudioChannels(
        ReadEnum(ini, Key("AudioChannels", number), AudioChannels_, kAudioChannelsCount));
    const double bitrate =
        ini.ReadFloat(kProfileSection, Key("AudioBitrate", number), AudioBitrate_);
    if (std::isfinite(bitrate)) {
        SetAudioBitrate(bitrate);
    }
    SetFormat(ReadEnum(ini, Key("Format", number), Format_, kFormatCount));
    SetOptions(ParseCommaText(
        ini.ReadString(kProfileSection, Key("Options", number), CommaText(Options_))));
}

bool TAVCustomAudioProfile::ApplyTo(TAVConvertOptions& options) const {
    options.VideoOptions().SetVideoDisable(true);
    options.SubtitleOptions().SetSubtitleDisable(true);
    TAudioOptions& audio = options.AudioOptions();
    if (audio.AudioStreamCopy()) {
        return true;
    }
    audio.SetEncoderAudioCodecName(AudioEncoderName(AudioEncoder_));
    if (const char* format = FormatName(Format_)) {
        options.SetOutputFormat(format);
    }
    audio.SetBitrate(KbitToBits(AudioBitrate_));
    audio.SetAudioSampleRate(SampleRate_);
    audio.SetAudioChannels(AudioChannels_ == TCustomAudioChannels::mono1 ? 1 : 2);
    for (const std::string& line : Options_) {
        // A line without a name (no '=' or nothing before it) names no option; setting it
        // would only leave a nameless line among the codec options.
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            continue;
        }
        options.SetCodecOption(line.substr(0, eq), line.substr(eq + 1));
    }
    return true;
}

// ---- TAVCustomVideoProfile ----

const PropertyTable& TAVCustomVideoProfile::Properties() const {
    using T = TAVCustomVideoProfile;
    static const PropertyTable table = [] {
        PropertyTable result = TAVCustomAudioProfile().Properties();
        PropertyTable added =
            PropertyTableBuilder<T>()
                .Integer("FrameWidth", &T::FrameWidth, &T::SetFrameWidth)
                .Integer("FrameHeight", &T::FrameHeight, &T::SetFrameHeight)
                .Enum("VideoEncoder", &T::VideoEncoder, &T::SetVideoEncoder,
                      {"H263", "H264", "MPEG4", "WMV2", "MPEG2VIDEO", "MSMPEGV3", "RV20", "XVID",
                       "FLV", "VP8", "VP9"})
                .Enum("FrameRate", &T::FrameRate, &T::SetFrameRate,
                      {"rOriginal", "r1499", "r20", "r2397", "r24", "r25", "r2997", "r30"})
                .Integer("VideoBitrate", &T::VideoBitrate, &T::SetVideoBitrate)
                .Integer("Pass", &T::Pass, &T::SetPass, 1)
                .Enum("FrameAspectRatio", &T::FrameAspectRatio, &T::SetFrameAspectRatio,
                      {"AR_NONE", "AR4_3"})
                .Build();
        result.insert(result.end(), added.begin(), added.end());
        return result;
    }();
    return table;
}

std::string_view TAVCustomVideoProfile::VideoEncoderLabel() const {
    const int ordinal = static_cast<int>(VideoEncoder_);
    TW_ASSERT(ordinal >= 0 && ordinal < kVideoEncoderCount);
    return VideoEncoderLabels()[static_cast<size_t>(ordinal)];
}

double TAVCustomVideoProfile::FrameRateValue() const {
    const int ordinal = static_cast<int>(FrameRate_);
    if (FrameRate_ == TCustomFrameRate::rOriginal || ordinal < 0 || ordinal >= kFrameRateCount) {
        return 0.0;
    }
    return TextToFloat(FrameRateLabels()[static_cast<size_t>(ordinal)]).value_or(0.0);
}

void TAVCustomVideoProfile::SaveToIni(TIniFile& ini, int number) const {
    TAVCustomAudioProfile::SaveToIni(ini, number);
    ini.WriteBool(kProfileSection, Key("IsVideo", number), true);
    ini.WriteInteger(kProfileSection, Key("FrameWidth", number), FrameWidth_);
    ini.WriteInteger(kProfileSection, Key("FrameHeight", number), FrameHeight_);
    ini.WriteInteger(kProfileSection, Key("VideoEncoder", number), static_cast<int>(VideoEncoder_));
    ini.WriteInteger(kProfileSection, Key("FrameRate", number), static_cast<int>(FrameRate_));
    ini.WriteInteger(kProfileSection, Key("VideoBitrate", number), VideoBitrate_);
}

void TAVCustomVideoProfile::LoadFromIni(const TIniFile& ini, int number) {
    TAVCustomAudioProfile::LoadFromIni(ini, number);
    SetFrameWidth(ini.ReadInteger(kProfileSection, Key("FrameWidth", number), FrameWidth_));
    SetFrameHeight(ini.ReadInteger(kProfileSection, Key("FrameHeight", number), FrameHeight_));
    SetVideoEncoder(ReadEnum(ini, Key("VideoEncoder", number), VideoEncoder_, kVideoEncoderCount));
    SetFrameRate(ReadEnum(ini, Key("FrameRate", number), FrameRate_, kFrameRateCount));
    SetVideoBitrate(ini.ReadInteger(kProfileSection, Key("VideoBitrate", number), VideoBitrate_));
}

bool TAVCustomVideoProfile::ApplyTo(TAVConvertOptions& options) const {
    const bool result = TAVCustomAudioProfile::ApplyTo(options);
    TVideoOptions& video = options.VideoOptions();
    video.SetVideoDisable(false);
    video.SetEncoderVideoCodecName(VideoEncoderName(VideoEncoder_));
    switch (VideoEncoder_) {
        case TCustomVideoEncoder::H263:
        case TCustomVideoEncoder::WMV2:
        case TCustomVideoEncoder::RV20:
        case TCustomVideoEncoder::FLV:
            options.SetThreadCount(1);
            break;
        case TCustomVideoEncoder::H264: {
            TAVX264Profile defaults;
            defaults.Setpreset(TPreset::basic);
            defaults.ApplyTo(options);
            video.SetPass(1);
            options.SetCodecOption("mbd", "rd");
            options.SetCodecOption("level", "41");
            break;
        }
        case TCustomVideoEncoder::VP8:
        case TCustomVideoEncoder::VP9:
            // The encoders' own defaults are for archiving: many times slower than playing.
            options.SetCodecOption("deadline", "good");
            options.SetCodecOption("cpu-used", "4");
            if (VideoEncoder_ == TCustomVideoEncoder::VP9) {
                options.SetCodecOption("row-mt", "1");
            }
            break;
        default:
            break;
    }
    if (FrameWidth_ > 0) {
        video.SetFrameWidth(FrameWidth_);
    }
    if (FrameHeight_ > 0) {
        video.SetFrameHeight(FrameHeight_);
    }
    video.SetBitrate(KbitToBits(static_cast<double>(VideoBitrate_)));
    if (FrameAspectRatio_ == TAVAspectRatio::AR4_3) {
        video.SetFrameAspectRatio(4.0f / 3.0f);
    }
    video.SetPass(Pass_);
    if (FrameRate_ != TCustomFrameRate::rOriginal) {
        video.SetFrameRate(FrameRateOf(FrameRate_));
    }
    return result;
}

}  // namespace tw
