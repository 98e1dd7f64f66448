#pragma once

#include <array>
#include <climits>
#include <cstdint>

#include "engine/rational.h"
#include "util/persistent.h"

namespace tw {

using TQuantMatrix = std::array<uint16_t, 64>;

class TVideoOptions : public TPersistent {
    TW_VALUE_PROPERTY(int, FrameWidth, 0)
    TW_VALUE_PROPERTY(int, FrameHeight, 0)
    TW_REF_PROPERTY(std::string, EncoderVideoCodecName)
    TW_REF_PROPERTY(std::string, DecoderVideoCodecName)
    TW_VALUE_PROPERTY(bool, VideoDisable, false)
    TW_VALUE_PROPERTY(bool, VideoStreamCopy, false)
    TW_VALUE_PROPERTY(int, VideoCodecTag, 0)
    TW_REF_PROPERTY(std::string, VideoLanguage)
    TW_VALUE_PROPERTY(int, VideoGlobalHeader, 0)
    TW_VALUE_PROPERTY(bool, IntraOnly, false)
    TW_VALUE_PROPERTY(float, VideoQscale, 0.0f)
    TW_VALUE_PROPERTY(bool, SameQuality, false)
    TW_REF_PROPERTY(std::string, VideoRcOverrideString)
    TW_VALUE_PROPERTY(int, IntraDcPrecision, 8)
    TW_VALUE_PROPERTY(int, VideoSyncMethod, -1)
    TW_VALUE_PROPERTY(int, TopFieldFirst, -1)
    TW_VALUE_PROPERTY(bool, ForceFPS, false)
    TW_VALUE_PROPERTY(float, FrameAspectRatio, 0.0f)
    TW_VALUE_PROPERTY(int, MeThreshold, 0)
    TW_VALUE_PROPERTY(bool, Deinterlace, false)
    // Deinterlace only the pictures the filter library finds interlaced by looking at them.
    TW_VALUE_PROPERTY(bool, DeinterlaceAuto, false)
    TW_VALUE_PROPERTY(int, MaxFrames, INT_MAX)
    TW_VALUE_PROPERTY(int, Bitrate, 0)
    TW_REF_PROPERTY(TStringList, ForceKeyFrames)
    // With a frame size and a display shape both asked for: the picture keeps its own shape
    // inside that frame, bordered by black; false stretches it over the whole frame.
    TW_VALUE_PROPERTY(bool, KeepPictureShape, true)
    // What comes off the picture's sides before it is scaled: "T:B:L:R" in rows and columns of
    // the picture as shown, "auto" for the black bars the run finds, empty for nothing
    // (engine/crop_area.h).
    TW_REF_PROPERTY(std::string, Crop)

public:
    TVideoOptions() = default;
    const char* ClassName() const override { return "TVideoOptions"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;

    // Matrix rule: an empty list is taken as it is; otherwise exactly 64 whole numbers, each
    // written (cut to 16 bits) into the numeric table as it is checked. A wrong count or a bad
    // element shows an error box and keeps the previous list.
    const TStringList& IntraMatrix() const { return intraMatrix_; }
    void SetIntraMatrix(const TStringList& value);
    const TStringList& InterMatrix() const { return interMatrix_; }
    void SetInterMatrix(const TStringList& value);

    // 0, 1 or 2; anything else shows an error box and keeps the previous value.
    int Pass() const { return pass_; }
    void SetPass(int value);

    // Owned rate; the setter copies.
    const TRational& FrameRate() const { return frameRate_; }
    TRational& FrameRate() { return frameRate_; }
    void SetFrameRate(const TRational& value) {
        frameRate_.Assign(value);
        frameRateChosen_ = true;
    }
    // Whether the request names an output frame rate: set through SetFrameRate (or copied from a
    // tree where it was), or different from the initial 25/1. Otherwise a run keeps the source's.
    bool FrameRateChosen() const {
        return frameRateChosen_ || frameRate_.num() != 25 || frameRate_.den() != 1;
    }

    // Unpublished: pixel format of the encoder input in the library's numbering, -1 = not set.
    int PixelFormat = -1;
    // Unpublished numeric quantiser tables filled by the matrix rule.
    TQuantMatrix IntraMatrixTable{};
    TQuantMatrix InterMatrixTable{};

private:
    TStringList intraMatrix_;
    TStringList interMatrix_;
    int pass_ = 0;
    TRational frameRate_;
    bool frameRateChosen_ = false;
};

}  // namespace tw
