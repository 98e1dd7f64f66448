#pragma once

#include <cstdint>
#include <vector>

#include "engine/audio_options.h"
#include "engine/muxer_options.h"
#include "engine/subtitle_options.h"
#include "engine/video_options.h"
#include "util/persistent.h"

namespace tw {

// Engine switches that code may set but that are never published, persisted or copied.
struct TEngineValues {
    struct TimestampScale {
        int file = 0;
        int stream = 0;
        double scale = 0;
    };
    int ProgramNumber = 0;
    int64_t InputTimestampOffset = 0;
    bool CopyTimestamps = false;
    bool RateEmulation = false;
    int64_t FileSizeLimit = 0;
    bool Shortest = false;
    bool CopyInitialNonKeyFrames = false;
    int64_t RecordingTimestamp = 0;
    int LoopCount = -1;
    bool QualityReport = false;
    int VideoDiscard = 0;
    std::vector<TimestampScale> TimestampScales;
    // A run that converts one piece of a longer conversion, from a picture on: its pictures are
    // given the places the whole conversion gives them. PictureClockShift (s) is added to each
    // picture's time before it is placed, so that it stands where it stood against the whole
    // conversion's frame count; ContinuesPictures: the first picture is placed as any later
    // one, not as the whole conversion's first.
    double PictureClockShift = 0;
    bool ContinuesPictures = false;
};

// The options tree of one conversion. Owns one instance of each option class; the setters of
// the object and list properties copy into the owned instances, so callers keep what they pass.
class TAVConvertOptions : public TPersistent {
    TW_REF_PROPERTY(TStringList, MetaData)
    TW_REF_PROPERTY(TStringList, CodecOptions)
    TW_REF_PROPERTY(std::string, OutputFormat)
    TW_REF_PROPERTY(std::string, InputFormat)
    TW_VALUE_PROPERTY(int64_t, StartTime, 0)
    TW_VALUE_PROPERTY(int64_t, RecordingTime, INT64_MAX)
    TW_VALUE_PROPERTY(int, ThreadCount, 1)
    TW_REF_PROPERTY(TStringList, StreamMaps)

public:
    TAVConvertOptions() = default;
    const char* ClassName() const override { return "TAVConvertOptions"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    TAudioOptions& AudioOptions() { return audio_; }
    const TAudioOptions& AudioOptions() const { return audio_; }
    void SetAudioOptions(const TAudioOptions& value) { audio_.Assign(value); }
    TSubtitleOptions& SubtitleOptions() { return subtitle_; }
    const TSubtitleOptions& SubtitleOptions() const { return subtitle_; }
    void SetSubtitleOptions(const TSubtitleOptions& value) { subtitle_.Assign(value); }
    TVideoOptions& VideoOptions() { return video_; }
    const TVideoOptions& VideoOptions() const { return video_; }
    void SetVideoOptions(const TVideoOptions& value) { video_.Assign(value); }
    TMuxerOptions& MuxerOptions() { return muxer_; }
    const TMuxerOptions& MuxerOptions() const { return muxer_; }
    void SetMuxerOptions(const TMuxerOptions& value) { muxer_.Assign(value); }
    TGrabOptions& GrabOptions() { return grab_; }
    const TGrabOptions& GrabOptions() const { return grab_; }
    void SetGrabOptions(const TGrabOptions& value) { grab_.Assign(value); }
    TFilterOptions& FilterOptions() { return filter_; }
    const TFilterOptions& FilterOptions() const { return filter_; }
    void SetFilterOptions(const TFilterOptions& value) { filter_.Assign(value); }

    // Replaces the value of the CodecOptions line named name, or appends "name=value".
    void SetCodecOption(const std::string& name, const std::string& value);

    // Most frames to write for a media type (video 0, audio 1, data 2, subtitle 3); any other
    // type is a programming error.
    int MaxFrames(int mediaType) const;

    // Unpublished engine values.
    float DtsDeltaThreshold = 10.0f;  // seconds
    int ScalerFlags = 4;              // bicubic
    int DataMaxFrames = INT32_MAX;
    TEngineValues Engine;

private:
    TAudioOptions audio_;
    TSubtitleOptions subtitle_;
    TVideoOptions video_;
    TMuxerOptions muxer_;
    TGrabOptions grab_;
    TFilterOptions filter_;
};

}  // namespace tw
