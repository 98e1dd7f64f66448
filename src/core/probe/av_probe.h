#pragma once

// TAVProbe opens a media file, reads its stream information and opens a decoder for its first
// video and its first audio stream to collect their basic facts. The wizard uses it to accept or
// refuse a source file (AcceptSourceFile).
//
// Not thread-safe; one owner. Failures raise EAVError with the fixed messages below and leave the
// probe closed.

#include <cstdint>
#include <string>

#include "media/av_ptr.h"
#include "media/library.h"
#include "util/persistent.h"

namespace tw {

class TAVProbe : public TPersistent {
public:
    TAVProbe() = default;
    ~TAVProbe() override;

    const char* ClassName() const override { return "TAVProbe"; }
    const PropertyTable& Properties() const override;

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& name) { fileName_ = name; }

    // Forced input format by its library name; empty lets the library probe.
    const std::string& InputFormat() const { return inputFormat_; }
    void SetInputFormat(const std::string& name) { inputFormat_ = name; }

    bool Active() const { return active_; }
    // true opens and examines FileName, false closes it. Nothing happens when the value is the
    // current one or the file does not exist. Raises "Error Opening File!", "Can not find stream
    // information", "Unsupported codec(id=%d) for input stream %d" or "Error while opening codec
    // for input stream %d".
    void SetActive(bool value);

    bool HasVideo() const { return hasVideo_; }
    bool HasAudio() const { return hasAudio_; }
    const std::string& VideoCodecName() const { return videoCodecName_; }
    const std::string& AudioCodecName() const { return audioCodecName_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }
    int64_t AudioBitrate() const { return audioBitrate_; }  // bits per second
    int64_t VideoBitrate() const { return videoBitrate_; }  // as the container reports it
    double FrameRate() const { return frameRate_; }

private:
    void Open();
    void Close();
    // Opens the decoder of one stream and keeps it while the file is open.
    AVCodecContext* OpenDecoder(int streamIndex);
    void ExamineVideo(int streamIndex);
    void ExamineAudio(int streamIndex);

    media::LibraryUse libraries_;
    std::string fileName_;
    std::string inputFormat_;
    bool active_ = false;
    // Declared before the decoders: the decoders are released first.
    media::InputFormatPtr format_;
    media::CodecContextPtr videoDecoder_;
    media::CodecContextPtr audioDecoder_;
    bool hasVideo_ = false;
    bool hasAudio_ = false;
    std::string audioCodecName_;
    std::string videoCodecName_;
    int width_ = 0;
    int height_ = 0;
    int sampleRate_ = 0;
    int channels_ = 0;
    int64_t audioBitrate_ = 0;
    int64_t videoBitrate_ = 0;
    double frameRate_ = 0.0;
};

namespace probe {

inline constexpr char kInvalidSourceMessage[] = "Invalid Video/Audio File";

// The wizard's rule for a chosen source file: it must open and examine cleanly and hold a video
// or an audio stream. Reads the file (as long as it takes to deliver its first packets): any
// thread.
bool IsSourceFile(const std::string& fileName);
// The same, saying "Invalid Video/Audio File" in the error box when the file will not do.
bool AcceptSourceFile(const std::string& fileName);

}  // namespace probe

}  // namespace tw
