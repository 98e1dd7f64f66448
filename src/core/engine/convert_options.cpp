#include "engine/convert_options.h"

#include "util/format.h"

namespace tw {

const PropertyTable& TAVConvertOptions::Properties() const {
    using T = TAVConvertOptions;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Object("AudioOptions", [](T& o) -> TPersistent& { return o.AudioOptions(); })
            .Object("SubtitleOptions", [](T& o) -> TPersistent& { return o.SubtitleOptions(); })
            .Object("VideoOptions", [](T& o) -> TPersistent& { return o.VideoOptions(); })
            .Object("MuxerOptions", [](T& o) -> TPersistent& { return o.MuxerOptions(); })
            .Object("GrabOptions", [](T& o) -> TPersistent& { return o.GrabOptions(); })
            .Object("FilterOptions", [](T& o) -> TPersistent& { return o.FilterOptions(); })
            .List("MetaData", &T::MetaData, &T::SetMetaData)
            .List("CodecOptions", &T::CodecOptions, &T::SetCodecOptions)
            .String("OutputFormat", &T::OutputFormat, &T::SetOutputFormat)
            .String("InputFormat", &T::InputFormat, &T::SetInputFormat)
            .Int64("StartTime", &T::StartTime, &T::SetStartTime)
            .Int64("RecordingTime", &T::RecordingTime, &T::SetRecordingTime)
            .Integer("ThreadCount", &T::ThreadCount, &T::SetThreadCount, 1)
            .List("StreamMaps", &T::StreamMaps, &T::SetStreamMaps)
            .Build();
    return table;
}

void TAVConvertOptions::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TAVConvertOptions*>(&source);
    if (!from) {
        AssignError(source);
    }
    audio_.Assign(from->audio_);
    subtitle_.Assign(from->subtitle_);
    video_.Assign(from->video_);
    muxer_.Assign(from->muxer_);
    grab_.Assign(from->grab_);
    filter_.Assign(from->filter_);
    SetMetaData(from->MetaData());
    SetCodecOptions(from->CodecOptions());
    SetInputFormat(from->InputFormat());
    SetOutputFormat(from->OutputFormat());
    SetStartTime(from->StartTime());
    SetRecordingTime(from->RecordingTime());
    SetThreadCount(from->ThreadCount());
    SetStreamMaps(from->StreamMaps());
}

void TAVConvertOptions::SetCodecOption(const std::string& name, const std::string& value) {
    const int index = IndexOfName(CodecOptions_, name);
    if (index >= 0) {
        CodecOptions_[static_cast<size_t>(index)] = name + "=" + value;
    } else {
        CodecOptions_.push_back(FormatPrintf("%s=%s", name.c_str(), value.c_str()));
    }
}

int TAVConvertOptions::MaxFrames(int mediaType) const {
    switch (mediaType) {
        case 0:
            return video_.MaxFrames();
        case 1:
            return audio_.MaxFrames();
        case 2:
            return DataMaxFrames;
        case 3:
            return INT32_MAX;
        default:
            TW_ASSERT(false && "media type without a frame limit");
    }
}

}  // namespace tw
