#include "engine/video_options.h"

#include <charconv>

#include "platform/message_service.h"

namespace tw {

namespace {

// A whole decimal number without a decimal point; the stored element is cut to 16 bits.
bool ParseMatrixElement(const std::string& line, uint16_t* element) {
    if (line.find('.') != std::string::npos) {
        return false;
    }
    const char* begin = line.data();
    const char* end = line.data() + line.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    int value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc{} || result.ptr != end || begin == end) {
        return false;
    }
    *element = static_cast<uint16_t>(value);
    return true;
}

void ApplyMatrix(const TStringList& value, TStringList& list, TQuantMatrix& table) {
    if (value.empty()) {
        list.clear();
        return;
    }
    if (value.size() != 64) {
        platform::Messages().ShowError("matrix element count should be equal 64");
        return;
    }
    for (size_t i = 0; i < value.size(); ++i) {
        if (!ParseMatrixElement(value[i], &table[i])) {
            platform::Messages().ShowError("Invalid matrix element");
            return;
        }
    }
    list = value;
}

}  // namespace

void TVideoOptions::SetIntraMatrix(const TStringList& value) {
    ApplyMatrix(value, intraMatrix_, IntraMatrixTable);
}

void TVideoOptions::SetInterMatrix(const TStringList& value) {
    ApplyMatrix(value, interMatrix_, InterMatrixTable);
}

void TVideoOptions::SetPass(int value) {
    if (value < 0 || value > 2) {
        platform::Messages().ShowError("pass number can be only 0, 1 or 2");
        return;
    }
    pass_ = value;
}

const PropertyTable& TVideoOptions::Properties() const {
    using T = TVideoOptions;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Integer("FrameWidth", &T::FrameWidth, &T::SetFrameWidth)
            .Integer("FrameHeight", &T::FrameHeight, &T::SetFrameHeight)
            .String("EncoderVideoCodecName", &T::EncoderVideoCodecName,
                    &T::SetEncoderVideoCodecName)
            .String("DecoderVideoCodecName", &T::DecoderVideoCodecName,
                    &T::SetDecoderVideoCodecName)
            .Boolean("VideoDisable", &T::VideoDisable, &T::SetVideoDisable)
            .Boolean("VideoStreamCopy", &T::VideoStreamCopy, &T::SetVideoStreamCopy)
            .Integer("VideoCodecTag", &T::VideoCodecTag, &T::SetVideoCodecTag)
            .String("VideoLanguage", &T::VideoLanguage, &T::SetVideoLanguage)
            .Integer("VideoGlobalHeader", &T::VideoGlobalHeader, &T::SetVideoGlobalHeader)
            .Boolean("IntraOnly", &T::IntraOnly, &T::SetIntraOnly)
            .Single("VideoQscale", &T::VideoQscale, &T::SetVideoQscale)
            .Boolean("SameQuality", &T::SameQuality, &T::SetSameQuality)
            .String("VideoRcOverrideString", &T::VideoRcOverrideString,
                    &T::SetVideoRcOverrideString)
            .Integer("IntraDcPrecision", &T::IntraDcPrecision, &T::SetIntraDcPrecision, 8)
            .Integer("VideoSyncMethod", &T::VideoSyncMethod, &T::SetVideoSyncMethod)
            .Integer("TopFieldFirst", &T::TopFieldFirst, &T::SetTopFieldFirst)
            .Boolean("ForceFPS", &T::ForceFPS, &T::SetForceFPS)
            .List("IntraMatrix", &T::IntraMatrix, &T::SetIntraMatrix)
            .List("InterMatrix", &T::InterMatrix, &T::SetInterMatrix)
            .Object("FrameRate", [](T& o) -> TPersistent& { return o.FrameRate(); })
            .Single("FrameAspectRatio", &T::FrameAspectRatio, &T::SetFrameAspectRatio)
            .Integer("MeThreshold", &T::MeThreshold, &T::SetMeThreshold)
            .Boolean("Deinterlace", &T::Deinterlace, &T::SetDeinterlace)
            .Boolean("DeinterlaceAuto", &T::DeinterlaceAuto, &T::SetDeinterlaceAuto, false)
            .Integer("Pass", &T::Pass, &T::SetPass)
            .Integer("MaxFrames", &T::MaxFrames, &T::SetMaxFrames)
            .Integer("Bitrate", &T::Bitrate, &T::SetBitrate)
            .List("ForceKeyFrames", &T::ForceKeyFrames, &T::SetForceKeyFrames)
            // Stored only when off, so that settings written before it existed read as on.
            .Boolean("KeepPictureShape", &T::KeepPictureShape, &T::SetKeepPictureShape, true)
            .String("Crop", &T::Crop, &T::SetCrop)
            .Build();
    return table;
}

void TVideoOptions::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TVideoOptions*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetFrameWidth(from->FrameWidth());
    SetFrameHeight(from->FrameHeight());
    SetEncoderVideoCodecName(from->EncoderVideoCodecName());
    SetDecoderVideoCodecName(from->DecoderVideoCodecName());
    SetVideoDisable(from->VideoDisable());
    SetVideoStreamCopy(from->VideoStreamCopy());
    SetVideoCodecTag(from->VideoCodecTag());
    SetVideoLanguage(from->VideoLanguage());
    SetVideoGlobalHeader(from->VideoGlobalHeader());
    SetIntraOnly(from->IntraOnly());
    SetVideoQscale(from->VideoQscale());
    SetSameQuality(from->SameQuality());
    SetVideoRcOverrideString(from->VideoRcOverrideString());
    SetIntraDcPrecision(from->IntraDcPrecision());
    SetVideoSyncMethod(from->VideoSyncMethod());
    SetTopFieldFirst(from->TopFieldFirst());
    SetInterMatrix(from->InterMatrix());
    SetIntraMatrix(from->IntraMatrix());
    PixelFormat = from->PixelFormat;
    SetFrameAspectRatio(from->FrameAspectRatio());
    SetMeThreshold(from->MeThreshold());
    SetDeinterlace(from->Deinterlace());
    SetDeinterlaceAuto(from->DeinterlaceAuto());
    SetPass(from->Pass());
    SetMaxFrames(from->MaxFrames());
    SetBitrate(from->Bitrate());
    frameRate_.Assign(from->FrameRate());
    frameRateChosen_ = from->frameRateChosen_;
    SetForceKeyFrames(from->ForceKeyFrames());
    // The engine reads ForceFPS from its own copy of the tree, which only Assign fills.
    SetForceFPS(from->ForceFPS());
    SetCrop(from->Crop());
    SetKeepPictureShape(from->KeepPictureShape());
}

}  // namespace tw
