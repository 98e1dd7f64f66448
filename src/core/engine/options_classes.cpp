// Property tables and copy orders of the small option classes.
#include "engine/audio_options.h"
#include "engine/muxer_options.h"
#include "engine/rational.h"
#include "engine/subtitle_options.h"

namespace tw {

const PropertyTable& TRational::Properties() const {
    static const PropertyTable table = PropertyTableBuilder<TRational>()
                                           .Integer("num", &TRational::num, &TRational::Setnum, 25)
                                           .Integer("den", &TRational::den, &TRational::Setden, 1)
                                           .Build();
    return table;
}

void TRational::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TRational*>(&source);
    if (!from) {
        AssignError(source);
    }
    Setnum(from->num());
    Setden(from->den());
}

void TAudioOptions::SetAudioSampleFmt(TAVAudioSampleFormat value) {
    if (value != sfAuto) {
        audioSampleFmt_ = value;
    }
}

const PropertyTable& TAudioOptions::Properties() const {
    using T = TAudioOptions;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Integer("AudioChannels", &T::AudioChannels, &T::SetAudioChannels)
            .Integer("AudioSampleRate", &T::AudioSampleRate, &T::SetAudioSampleRate)
            .Integer("AudioVolume", &T::AudioVolume, &T::SetAudioVolume)
            .Integer("AudioSyncMethod", &T::AudioSyncMethod, &T::SetAudioSyncMethod)
            .Boolean("AudioDisable", &T::AudioDisable, &T::SetAudioDisable)
            .Enum("AudioSampleFmt", &T::AudioSampleFmt, &T::SetAudioSampleFmt,
                  {"sfAuto", "sfU8", "sfS16", "sfS32", "sfFLT", "sfDBL"})
            .Boolean("AudioStreamCopy", &T::AudioStreamCopy, &T::SetAudioStreamCopy)
            .String("EncoderAudioCodecName", &T::EncoderAudioCodecName,
                    &T::SetEncoderAudioCodecName)
            .String("DecoderAudioCodecName", &T::DecoderAudioCodecName,
                    &T::SetDecoderAudioCodecName)
            .Integer("AudioCodecTag", &T::AudioCodecTag, &T::SetAudioCodecTag)
            .String("AudioLanguage", &T::AudioLanguage, &T::SetAudioLanguage)
            .String("AudioTracks", &T::AudioTracks, &T::SetAudioTracks)
            .Single("AudioQScale", &T::AudioQScale, &T::SetAudioQScale)
            .Single("AudioDriftThreshold", &T::AudioDriftThreshold, &T::SetAudioDriftThreshold)
            .Integer("Bitrate", &T::Bitrate, &T::SetBitrate)
            .Integer("MaxFrames", &T::MaxFrames, &T::SetMaxFrames, INT32_MAX)
            .Build();
    return table;
}

void TAudioOptions::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TAudioOptions*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetAudioDisable(from->AudioDisable());
    SetAudioChannels(from->AudioChannels());
    SetAudioVolume(from->AudioVolume());
    SetAudioSyncMethod(from->AudioSyncMethod());
    SetAudioSampleFmt(from->AudioSampleFmt());
    SetAudioSampleRate(from->AudioSampleRate());
    SetAudioStreamCopy(from->AudioStreamCopy());
    SetEncoderAudioCodecName(from->EncoderAudioCodecName());
    SetDecoderAudioCodecName(from->DecoderAudioCodecName());
    SetAudioCodecTag(from->AudioCodecTag());
    SetAudioLanguage(from->AudioLanguage());
    SetAudioTracks(from->AudioTracks());
    SetAudioQScale(from->AudioQScale());
    SetAudioDriftThreshold(from->AudioDriftThreshold());
    SetBitrate(from->Bitrate());
    SetMaxFrames(from->MaxFrames());
}

const PropertyTable& TSubtitleOptions::Properties() const {
    using T = TSubtitleOptions;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .String("SubtitleLanguage", &T::SubtitleLanguage, &T::SetSubtitleLanguage)
            .String("SubtitleTracks", &T::SubtitleTracks, &T::SetSubtitleTracks)
            .String("SubtitleCodecName", &T::SubtitleCodecName, &T::SetSubtitleCodecName)
            .Boolean("SubtitleDisable", &T::SubtitleDisable, &T::SetSubtitleDisable)
            .Boolean("SubtitleStreamCopy", &T::SubtitleStreamCopy, &T::SetSubtitleStreamCopy)
            .Integer("SubtitleCodecTag", &T::SubtitleCodecTag, &T::SetSubtitleCodecTag)
            .Build();
    return table;
}

void TSubtitleOptions::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TSubtitleOptions*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetSubtitleLanguage(from->SubtitleLanguage());
    SetSubtitleTracks(from->SubtitleTracks());
    SetSubtitleCodecName(from->SubtitleCodecName());
    SetSubtitleDisable(from->SubtitleDisable());
    SetSubtitleStreamCopy(from->SubtitleStreamCopy());
    SetSubtitleCodecTag(from->SubtitleCodecTag());
}

const PropertyTable& TMuxerOptions::Properties() const {
    using T = TMuxerOptions;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Single("MuxPreload", &T::MuxPreload, &T::SetMuxPreload)
            .Single("MuxMaxDelay", &T::MuxMaxDelay, &T::SetMuxMaxDelay)
            .List("AudioBitstreamFilters", &T::AudioBitstreamFilters, &T::SetAudioBitstreamFilters)
            .List("SubtitleBitstreamFilters", &T::SubtitleBitstreamFilters,
                  &T::SetSubtitleBitstreamFilters)
            .List("VideoBitstreamFilters", &T::VideoBitstreamFilters, &T::SetVideoBitstreamFilters)
            .Build();
    return table;
}

void TMuxerOptions::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TMuxerOptions*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetAudioBitstreamFilters(from->AudioBitstreamFilters());
    SetSubtitleBitstreamFilters(from->SubtitleBitstreamFilters());
    SetVideoBitstreamFilters(from->VideoBitstreamFilters());
    SetMuxPreload(from->MuxPreload());
    SetMuxMaxDelay(from->MuxMaxDelay());
}

const PropertyTable& TGrabOptions::Properties() const {
    using T = TGrabOptions;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Integer("VideoChannel", &T::VideoChannel, &T::SetVideoChannel)
            .String("VideoStandard", &T::VideoStandard, &T::SetVideoStandard)
            .Boolean("InputSync", &T::InputSync, &T::SetInputSync)
            .Build();
    return table;
}

void TGrabOptions::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TGrabOptions*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetVideoChannel(from->VideoChannel());
    SetVideoStandard(from->VideoStandard());
    SetInputSync(from->InputSync());
}

const PropertyTable& TFilterOptions::Properties() const {
    using T = TFilterOptions;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .String("VideoFilters", &T::VideoFilters, &T::SetVideoFilters)
            .Build();
    return table;
}

void TFilterOptions::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TFilterOptions*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetVideoFilters(from->VideoFilters());
}

}  // namespace tw
