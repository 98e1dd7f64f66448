#pragma once

// The user-editable profiles: an audio preset from plain values, and a video preset that adds
// video values. These are the profiles the user-profile file holds.

#include <string_view>

#include "profiles/av_profile.h"
#include "profiles/profile_tables.h"

namespace tw {

class TAVCustomAudioProfile : public TAVProfile {
    TW_VALUE_PROPERTY(int, SampleRate, 0)
    TW_VALUE_PROPERTY(TCustomAudioEncoder, AudioEncoder, TCustomAudioEncoder::AAC)
    TW_VALUE_PROPERTY(TCustomAudioChannels, AudioChannels, TCustomAudioChannels::mono1)
    TW_VALUE_PROPERTY(double, AudioBitrate, 0.0)  // kbit/s, fractions allowed (12.2)
    TW_VALUE_PROPERTY(TCustomAVFormat, Format, TCustomAVFormat::F_NONE)
    // Extra library options, one "name=value" line each.
    TW_REF_PROPERTY(TStringList, Options)

public:
    TAVCustomAudioProfile() = default;
    const char* ClassName() const override { return "TAVCustomAudioProfile"; }
    const PropertyTable& Properties() const override;

    // The label of AudioEncoder ("AAC", "MP3" ...).
    std::string_view AudioEncoderLabel() const;

    void SaveToIni(TIniFile& ini, int number) const override;
    void LoadFromIni(const TIniFile& ini, int number) override;
    // Disables video and subtitles; unless the audio is copied, sets the audio encoder, the
    // container (F_NONE leaves it), bit rate, sampling rate and channels, then each Options line
    // through SetCodecOption.
    bool ApplyTo(TAVConvertOptions& options) const override;
    using TAVProfile::ApplyTo;
};

class TAVCustomVideoProfile : public TAVCustomAudioProfile {
    TW_VALUE_PROPERTY(int, FrameWidth, 0)  // 0 keeps the source's
    TW_VALUE_PROPERTY(int, FrameHeight, 0)
    TW_VALUE_PROPERTY(TCustomVideoEncoder, VideoEncoder, TCustomVideoEncoder::H263)
    TW_VALUE_PROPERTY(TCustomFrameRate, FrameRate, TCustomFrameRate::rOriginal)
    TW_VALUE_PROPERTY(int, VideoBitrate, 0)  // kbit/s
    // The encoding pass handed to the options (its declared default is 1, a new profile has 0).
    TW_VALUE_PROPERTY(int, Pass, 0)
    TW_VALUE_PROPERTY(TAVAspectRatio, FrameAspectRatio, TAVAspectRatio::AR_NONE)

public:
    TAVCustomVideoProfile() = default;
    const char* ClassName() const override { return "TAVCustomVideoProfile"; }
    const PropertyTable& Properties() const override;

    // The frame-size entry of FrameWidth x FrameHeight; fsOriginal when none has that size.
    TAVFrameSize FrameSize() const { return FrameSizeOf(FrameWidth_, FrameHeight_); }
    // The label of VideoEncoder ("H264" ...).
    std::string_view VideoEncoderLabel() const;
    // The frame rate as a number: 0 for rOriginal, else its label read with "." (29.97).
    double FrameRateValue() const;

    void SaveToIni(TIniFile& ini, int number) const override;
    void LoadFromIni(const TIniFile& ini, int number) override;
    // The audio settings, then the video encoder (H.264 with the basic preset, first pass,
    // mbd=rd and level=41; VP8 and VP9 at a speed fit for converting), size, bit rate, aspect
    // ratio, Pass and frame rate.
    bool ApplyTo(TAVConvertOptions& options) const override;
    using TAVProfile::ApplyTo;
};

}  // namespace tw
