#pragma once

#include <climits>

#include "util/persistent.h"

namespace tw {

// Sample format of the encoder input; the ordinal minus one is the library's sample format.
enum TAVAudioSampleFormat { sfAuto, sfU8, sfS16, sfS32, sfFLT, sfDBL };

class TAudioOptions : public TPersistent {
    TW_VALUE_PROPERTY(int, AudioChannels, 0)
    TW_VALUE_PROPERTY(int, AudioSampleRate, 0)
    TW_VALUE_PROPERTY(int, AudioVolume, 256)
    TW_VALUE_PROPERTY(int, AudioSyncMethod, 0)
    TW_VALUE_PROPERTY(bool, AudioDisable, false)
    TW_VALUE_PROPERTY(bool, AudioStreamCopy, false)
    TW_REF_PROPERTY(std::string, EncoderAudioCodecName)
    TW_REF_PROPERTY(std::string, DecoderAudioCodecName)
    TW_VALUE_PROPERTY(int, AudioCodecTag, 0)
    TW_REF_PROPERTY(std::string, AudioLanguage)
    // The source's audio tracks to convert, counted from 1 ("2,1", "all"); empty: its main one
    // (engine/track_choice.h).
    TW_REF_PROPERTY(std::string, AudioTracks)
    TW_VALUE_PROPERTY(float, AudioQScale, -99999.0f)
    TW_VALUE_PROPERTY(float, AudioDriftThreshold, 0.1f)
    TW_VALUE_PROPERTY(int, Bitrate, 0)
    TW_VALUE_PROPERTY(int, MaxFrames, INT_MAX)

public:
    // sfAuto is ignored: a chosen format is only replaced by another concrete one.
    TAVAudioSampleFormat AudioSampleFmt() const { return audioSampleFmt_; }
    void SetAudioSampleFmt(TAVAudioSampleFormat value);

    TAudioOptions() = default;
    const char* ClassName() const override { return "TAudioOptions"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

private:
    TAVAudioSampleFormat audioSampleFmt_ = sfAuto;
};

}  // namespace tw
