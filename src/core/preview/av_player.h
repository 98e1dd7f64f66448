#pragma once

// TAVPlayer makes the push source for a file name and configures it. The player keeps its
// settings across files: every OpenFile makes a new source and hands it the filters, the audio
// switch, the callbacks and the loop count. Owner thread only.

#include <memory>
#include <string>

#include "preview/ff_push_source.h"

namespace tw::preview {

class TAVPlayer {
public:
    const std::string& VideoFilters() const { return videoFilters_; }
    // Kept (and passed to the source) only when it differs, trimmed and ignoring case, from the
    // current text. A chain the running source refuses raises EAVError.
    void SetVideoFilters(const std::string& text);
    bool DisableAudio() const { return disableAudio_; }
    void SetDisableAudio(bool value);
    int LoopCount() const { return loopCount_; }
    void SetLoopCount(int value) { loopCount_ = value; }
    int VideoIndex() const { return videoIndex_; }
    void SetVideoIndex(int value);
    int AudioIndex() const { return audioIndex_; }
    void SetAudioIndex(int value);
    int SubtitleIndex() const { return subtitleIndex_; }
    void SetSubtitleIndex(int value);
    void SetOnBuffer(TFFPushSource::OnBufferEvent handler) { onBuffer_ = std::move(handler); }
    void SetOnAudioBuffer(TFFPushSource::OnAudioBufferEvent handler) {
        onAudioBuffer_ = std::move(handler);
    }

    // Read from the source; 0 or false without one.
    int VideoWidth() const;
    int VideoHeight() const;
    int VideoStreamCount() const;
    int AudioStreamCount() const;
    int SubtitleStreamCount() const;
    bool HasVideo() const;
    bool HasAudio() const;
    bool HasSubtitle() const;

    // A new source for fileName (a file or a "stream:N" name). True, with the name remembered,
    // when it loaded; the previous source is closed either way, and a source that did not load
    // is not kept. A loop count of 0 or less raises
    // "Loop count must be larger than 0".
    bool OpenFile(const std::string& fileName);
    // What OpenFile does in two steps, so that the slow part (loading: opening and examining
    // the file) can run on another thread: a new source configured as OpenFile configures it,
    // which the caller loads (TFFPushSource::Load, any thread) and hands back to TakeSource. The
    // previous source is closed then.
    std::unique_ptr<TFFPushSource> MakeSource() const;
    void TakeSource(std::unique_ptr<TFFPushSource> loaded, const std::string& fileName);
    // Closes and drops the source.
    void Close();

    TFFPushSource* Source() const { return source_.get(); }
    const std::string& FileName() const { return fileName_; }

private:
    std::unique_ptr<TFFPushSource> source_;
    std::string fileName_;
    std::string videoFilters_;
    bool disableAudio_ = false;
    int loopCount_ = 1;
    int videoIndex_ = 0;
    int audioIndex_ = 0;
    int subtitleIndex_ = 0;
    TFFPushSource::OnBufferEvent onBuffer_;
    TFFPushSource::OnAudioBufferEvent onAudioBuffer_;
};

}  // namespace tw::preview
