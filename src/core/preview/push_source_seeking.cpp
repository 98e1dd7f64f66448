// The push source's seeking and delivery.
#include <algorithm>
#include <cmath>
#include <limits>

#include "preview/ff_push_source.h"
#include "preview/subtitle_overlay.h"

namespace tw::preview {

namespace {

constexpr int64_t kLowest = std::numeric_limits<int64_t>::min();
constexpr int64_t kHighest = std::numeric_limits<int64_t>::max();

bool ValidStartFlags(unsigned flags) {
    const unsigned mode = flags & kPositioningBitsMask;
    return flags == kNoPositioning || mode == kAbsolutePositioning || mode == kRelativePositioning;
}

}  // namespace

bool TFFPushSource::SetPositions(const int64_t* current, unsigned currentFlags, const int64_t* stop,
                                 unsigned stopFlags) {
    if (!ValidStartFlags(currentFlags) || stopFlags > kIncrementalPositioning) {
        return false;
    }
    if ((currentFlags != kNoPositioning && !current) || (stopFlags != kNoPositioning && !stop)) {
        return false;
    }
    const bool startSet = currentFlags != kNoPositioning;
    {
        std::lock_guard lock(seekMutex_);
        if (startSet) {
            previousStart_ = start_;
            start_ = (currentFlags & kPositioningBitsMask) == kAbsolutePositioning
                         ? *current
                         : start_ + *current;
        }
        switch (stopFlags) {
            case kAbsolutePositioning:
                stop_ = *stop;
                break;
            case kRelativePositioning:
                stop_ += *stop;
                break;
            case kIncrementalPositioning:
                stop_ = start_ + *stop;
                break;
            default:
                break;
        }
        if (!startSet || !demuxRunning_) {
            return true;
        }
        seekRequested_ = true;
    }
    wake_.notify_all();
    std::unique_lock lock(seekMutex_);
    // A demux thread stopped by an error will never answer.
    seekDone_.wait(lock, [this] { return !seekRequested_ || !demuxRunning_; });
    seekRequested_ = false;
    return true;
}

int64_t TFFPushSource::StartPosition() const {
    std::lock_guard lock(seekMutex_);
    return start_;
}

int64_t TFFPushSource::StopPosition() const {
    std::lock_guard lock(seekMutex_);
    return stop_;
}

int64_t TFFPushSource::Duration() const {
    std::lock_guard lock(seekMutex_);
    return duration_;
}

int64_t TFFPushSource::FileDuration() const {
    std::lock_guard lock(seekMutex_);
    return fileDuration_;
}

void TFFPushSource::PerformSeek() {
    std::lock_guard stream(streamMutex_);
    int64_t start = 0;
    int64_t previous = 0;
    {
        std::lock_guard lock(seekMutex_);
        start = start_;
        previous = previousStart_;
    }
    int64_t position = start;
    if (fileDuration_ > 0) {
        loopIndex_ =
            static_cast<int>(std::clamp<int64_t>(start / fileDuration_, 0, loopCount_ - 1));
        position = start - fileDuration_ * loopIndex_;
        previous %= fileDuration_;
    } else {
        loopIndex_ = 0;
    }
    SeekFile(position, previous);
    // What was decoded for the old position is dropped; the first picture and sound kept are
    // the ones the new position falls in.
    videoSkipUntil_ = audioSkipUntil_ = static_cast<double>(start) / 1e7;
    videoClock_ = audioClock_ = static_cast<double>(position) / 1e7;

    std::lock_guard lock(seekMutex_);
    EmptyQueues();
    videoTakenUntil_ = audioTakenUntil_ = static_cast<double>(start) / 1e7;
    endOfStream_ = false;
    seekRequested_ = false;
    seekDone_.notify_all();
}

void TFFPushSource::Reread(Replaced replaced) {
    std::unique_lock lock(seekMutex_);
    // A seek still to come empties everything and reads from its own position anyway.
    if (seekRequested_) {
        return;
    }
    // After the end of the last pass the loop index stands one past it.
    const int pass = std::min(loopIndex_, loopCount_ - 1);
    const double passOffset = static_cast<double>(fileDuration_) * pass / 1e7;
    const double videoRead = std::max(passOffset + videoClock_, videoSkipUntil_);
    const double audioRead = std::max(passOffset + audioClock_, audioSkipUntil_);
    // What is kept goes on from where it was read up to; what is replaced from where it was
    // taken up to.
    double videoFrom = videoRead;
    double audioFrom = audioRead;
    double from = std::numeric_limits<double>::max();
    {
        std::scoped_lock pins(videoPin_.mutex, audioPin_.mutex);
        switch (replaced) {
            case Replaced::Pictures:
                videoPin_.samples.clear();
                videoPin_.bytes = 0;
                videoFrom = videoTakenUntil_;
                break;
            case Replaced::Sound:
                audioPin_.samples.clear();
                audioPin_.bytes = 0;
                audioFrom = audioTakenUntil_;
                break;
            case Replaced::Subtitles:
                subtitles_.clear();
                lastSubtitle_ = std::numeric_limits<double>::lowest();
                // The pictures not yet taken get their subtitles again.
                from = videoTakenUntil_;
                break;
        }
    }
    if (producesVideo_) {
        from = std::min(from, videoFrom);
    }
    if (producesAudio_) {
        from = std::min(from, audioFrom);
    }
    endOfStream_ = false;
    lock.unlock();
    // The demux thread may be resting on a full queue or at the end.
    wake_.notify_all();
    if (from == std::numeric_limits<double>::max()) {
        return;  // nothing to read for
    }

    const int64_t start = std::llround(from * 1e7);
    int64_t previous = std::llround(std::max(videoRead, audioRead) * 1e7);
    int64_t position = start;
    if (fileDuration_ > 0) {
        loopIndex_ =
            static_cast<int>(std::clamp<int64_t>(start / fileDuration_, 0, loopCount_ - 1));
        position = start - fileDuration_ * loopIndex_;
        previous -= fileDuration_ * loopIndex_;
    } else {
        loopIndex_ = 0;
    }
    SeekFile(position, previous);
    videoClock_ = audioClock_ = static_cast<double>(position) / 1e7;
    videoSkipUntil_ = videoFrom;
    audioSkipUntil_ = audioFrom;
}

void TFFPushSource::RestartLoop() {
    int64_t previous = 0;
    {
        std::lock_guard lock(seekMutex_);
        previousStart_ = start_;
        start_ = fileDuration_ * loopIndex_;
        previous = fileDuration_ > 0 ? previousStart_ % fileDuration_ : previousStart_;
    }
    SeekFile(0, previous);
    videoClock_ = audioClock_ = 0.0;
    // The skip marks are presentation times, so what they still hold back lies in this pass or a
    // later one; without a known length every pass has the same times, and a pass starts afresh.
    if (fileDuration_ <= 0) {
        videoSkipUntil_ = audioSkipUntil_ = 0.0;
    }
}

void TFFPushSource::SeekFile(int64_t position, int64_t previous) {
    const int64_t target = position / 10 + startTimeUs_;
    // The key picture at or before the target, so that decoding starts clean; the pictures
    // between it and the target are decoded and dropped.
    if (avformat_seek_file(format_.get(), -1, kLowest, target, target, 0) < 0) {
        // No index to find a key picture by: any packet in a window that never lands back at
        // the previous position (forwards past it, backwards before it, or around it).
        int64_t minimum = kLowest;
        int64_t maximum = kHighest;
        if (position > previous) {
            minimum = previous / 10 + 2 + startTimeUs_;
        } else if (position < previous) {
            maximum = previous / 10 - 2 + startTimeUs_;
        } else {
            minimum = previous / 10 - 2 + startTimeUs_;
            maximum = previous / 10 + 2 + startTimeUs_;
        }
        avformat_seek_file(format_.get(), -1, std::min(minimum, target), target,
                           std::max(maximum, target), AVSEEK_FLAG_ANY);
    }
    FlushDecoders();
}

void TFFPushSource::FlushDecoders() {
    for (StreamDecoder* decoder : {&video_, &audio_, &subtitle_}) {
        if (decoder->context) {
            avcodec_flush_buffers(decoder->context.get());
        }
    }
    // The graph may hold pictures back (the deinterlacer does), and after the end of the file
    // it takes no more: a fresh one starts the new position.
    if (graph_.Built()) {
        RebuildGraph(graph_.Shape());
    }
}

void TFFPushSource::EmptyQueues() {
    std::scoped_lock pins(videoPin_.mutex, audioPin_.mutex);
    for (Pin* pin : {&videoPin_, &audioPin_}) {
        pin->samples.clear();
        pin->bytes = 0;
        pin->firstSample = true;
    }
    subtitles_.clear();
    lastSubtitle_ = std::numeric_limits<double>::lowest();
}

Delivered TFFPushSource::DeliverVideo() {
    std::lock_guard seek(seekMutex_);
    std::unique_lock pin(videoPin_.mutex);
    if (videoPin_.samples.empty()) {
        return {endOfStream_ ? Delivery::EndOfStream : Delivery::NothingYet, nullptr};
    }
    std::unique_ptr<TFFSample> sample = std::move(videoPin_.samples.front());
    videoPin_.samples.pop_front();
    videoPin_.bytes -= static_cast<size_t>(sample->Size());
    if (!subtitles_.empty()) {
        AVFrame* picture = sample->MutableFrame();
        // Only a picture that gets drawn on needs its own pixels.
        if (!AnySubtitleShown(subtitles_, sample->Start()) ||
            av_frame_make_writable(picture) >= 0) {
            OverlaySubtitles(
                subtitles_, sample->Start(),
                {picture->data[0], picture->linesize[0], picture->width, picture->height});
        }
    }
    if (onBuffer_) {
        onBuffer_(sample->Buffer(), sample->Width(), sample->Height());
    }
    videoTakenUntil_ = sample->Stop();
    if (videoPin_.firstSample) {
        sample->MarkDiscontinuity(static_cast<double>(start_) / 1e7);
        videoPin_.firstSample = false;
    }
    pin.unlock();
    wake_.notify_all();
    return {Delivery::Sample, std::move(sample)};
}

Delivered TFFPushSource::DeliverAudio() {
    std::lock_guard seek(seekMutex_);
    std::unique_lock pin(audioPin_.mutex);
    if (audioPin_.samples.empty()) {
        return {endOfStream_ ? Delivery::EndOfStream : Delivery::NothingYet, nullptr};
    }
    std::unique_ptr<TFFSample> sample = std::move(audioPin_.samples.front());
    audioPin_.samples.pop_front();
    audioPin_.bytes -= static_cast<size_t>(sample->Size());
    if (onAudioBuffer_) {
        onAudioBuffer_(sample->Buffer(), sample->Size());
    }
    audioTakenUntil_ = sample->Stop();
    if (audioPin_.firstSample) {
        sample->MarkDiscontinuity(static_cast<double>(start_) / 1e7);
        audioPin_.firstSample = false;
    }
    pin.unlock();
    wake_.notify_all();
    return {Delivery::Sample, std::move(sample)};
}

}  // namespace tw::preview
