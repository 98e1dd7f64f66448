#include "preview/preview_graph.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace tw::preview {

namespace {

// How long to wait when nothing is due: while waiting for the source, and while still.
constexpr double kPollSeconds = 0.01;
constexpr double kIdleSeconds = 0.25;

}  // namespace

PreviewGraph::PreviewGraph() = default;

PreviewGraph::PreviewGraph(PresentationClock::TimeSource now) : clock_(std::move(now)) {}

TFFPushSource* PreviewGraph::Source() const {
    return active_ ? player_.Source() : nullptr;
}

bool PreviewGraph::Activate() {
    if (!player_.Source()) {
        return false;
    }
    active_ = true;
    state_ = GraphState::Stopped;
    StartSegment(static_cast<double>(player_.Source()->StartPosition()) / 1e7);
    return true;
}

void PreviewGraph::Deactivate() {
    active_ = false;
    state_ = GraphState::Stopped;
    clock_.Pause();
    nextPicture_.reset();
    sound_.reset();
}

void PreviewGraph::Clear() {
    Deactivate();
    player_.Close();
}

void PreviewGraph::StartSegment(double position) {
    nextPicture_.reset();
    sound_.reset();
    soundRead_ = 0;
    picturesEnded_ = !player_.HasVideo();
    soundEnded_ = !player_.HasAudio();
    soundWrittenUpTo_ = -1.0;
    lastStop_ = position;
    atEnd_ = false;
    clock_.Pause();
    clock_.Set(position);
    prerolling_ = true;
    ++soundGeneration_;
}

void PreviewGraph::Run() {
    if (!active_) {
        return;
    }
    if (atEnd_) {
        SetStart(0);
    }
    state_ = GraphState::Running;
    if (!prerolling_) {
        clock_.Run();
    }
}

void PreviewGraph::Pause() {
    if (!active_) {
        return;
    }
    state_ = GraphState::Paused;
    clock_.Pause();
}

void PreviewGraph::Stop() {
    state_ = GraphState::Stopped;
    clock_.Pause();
}

int64_t PreviewGraph::CurrentPosition() const {
    if (!player_.Source()) {
        return 0;
    }
    const double stop = static_cast<double>(StopPosition()) / 1e7;
    return std::llround(std::clamp(clock_.Position(), 0.0, std::max(stop, 0.0)) * 1e7);
}

int64_t PreviewGraph::StopPosition() const {
    return player_.Source() ? player_.Source()->StopPosition() : 0;
}

void PreviewGraph::SetStart(int64_t position) {
    TFFPushSource* source = Source();
    if (!source) {
        return;
    }
    source->SetPositions(&position, kAbsolutePositioning, nullptr, kNoPositioning);
    StartSegment(static_cast<double>(position) / 1e7);
}

bool PreviewGraph::TakePicture() {
    if (nextPicture_) {
        return true;
    }
    if (picturesEnded_) {
        return false;
    }
    Delivered delivered = Source()->DeliverVideo();
    if (delivered.result == Delivery::Sample) {
        nextPicture_ = std::move(delivered.sample);
        return true;
    }
    picturesEnded_ = delivered.result == Delivery::EndOfStream;
    return false;
}

bool PreviewGraph::TakeSound() {
    if (sound_) {
        return true;
    }
    if (soundEnded_) {
        return false;
    }
    Delivered delivered = Source()->DeliverAudio();
    if (delivered.result == Delivery::Sample) {
        sound_ = std::move(delivered.sample);
        soundRead_ = 0;
        return true;
    }
    soundEnded_ = delivered.result == Delivery::EndOfStream;
    return false;
}

void PreviewGraph::EndPreroll() {
    prerolling_ = false;
    if (state_ == GraphState::Running) {
        clock_.Run();
    }
}

void PreviewGraph::DropPassedSound(double now) {
    while (TakeSound() && sound_->Stop() <= now) {
        lastStop_ = std::max(lastStop_, sound_->Stop());
        sound_.reset();
    }
}

PreviewGraph::Step PreviewGraph::Advance() {
    Step step;
    step.waitSeconds = kIdleSeconds;
    if (!Source()) {
        return step;
    }
    if (prerolling_) {
        // The first picture of a new position is shown as soon as it is there, running or not.
        if (TakePicture()) {
            step.picture = std::move(nextPicture_);
            lastStop_ = std::max(lastStop_, step.picture->Stop());
            EndPreroll();
        } else if (picturesEnded_ && (soundEnded_ || TakeSound())) {
            EndPreroll();
        } else {
            step.waitSeconds = kPollSeconds;
            return step;
        }
    }

    const double now = clock_.Position();
    while (TakePicture() && nextPicture_->Start() <= now) {
        if (step.picture) {
            ++droppedPictures_;
        }
        step.picture = std::move(nextPicture_);
        lastStop_ = std::max(lastStop_, step.picture->Stop());
    }
    if (!soundDevice_) {
        DropPassedSound(now);
    }

    if (state_ == GraphState::Running) {
        step.waitSeconds = nextPicture_ ? std::max(0.0, nextPicture_->Start() - now) : kPollSeconds;
        if (soundDevice_) {
            // The device is fed on the same beat.
            step.waitSeconds = std::min(step.waitSeconds, kPollSeconds * 2);
        }
        const bool picturesDone = picturesEnded_ && !nextPicture_;
        const bool soundDone = soundEnded_ && !sound_;
        if (picturesDone && soundDone && now >= lastStop_) {
            atEnd_ = true;
            state_ = GraphState::Paused;
            clock_.Pause();
            step.reachedEnd = true;
            step.waitSeconds = kIdleSeconds;
        }
    }
    return step;
}

bool PreviewGraph::HasSound() const {
    const TFFPushSource* source = Source();
    return source && source->HasAudio() && source->AudioSampleRate() > 0;
}

int PreviewGraph::SoundChannels() const {
    return player_.Source() ? player_.Source()->AudioChannels() : 0;
}

int PreviewGraph::SoundRate() const {
    return player_.Source() ? player_.Source()->AudioSampleRate() : 0;
}

void PreviewGraph::SetSoundDevice(bool attached) {
    soundDevice_ = attached;
}

int PreviewGraph::BytesPerSecond() const {
    return SoundRate() * SoundChannels() * 2;
}

int64_t PreviewGraph::ReadSound(uint8_t* buffer, int64_t maxBytes) {
    if (!Source() || prerolling_ || state_ != GraphState::Running || BytesPerSecond() <= 0) {
        return 0;
    }
    const int64_t frameBytes = SoundChannels() * 2;
    maxBytes -= maxBytes % frameBytes;
    int64_t copied = 0;
    while (copied < maxBytes && TakeSound()) {
        const int64_t count = std::min<int64_t>(sound_->Size() - soundRead_, maxBytes - copied);
        std::memcpy(buffer + copied, sound_->Buffer() + soundRead_, static_cast<size_t>(count));
        copied += count;
        soundRead_ += count;
        soundWrittenUpTo_ = sound_->Start() + static_cast<double>(soundRead_) / BytesPerSecond();
        if (soundRead_ >= sound_->Size()) {
            lastStop_ = std::max(lastStop_, sound_->Stop());
            sound_.reset();
        }
    }
    return copied;
}

void PreviewGraph::SoundBuffered(int64_t bufferedBytes) {
    if (soundWrittenUpTo_ < 0 || prerolling_ || state_ != GraphState::Running ||
        BytesPerSecond() <= 0) {
        return;
    }
    clock_.SyncToSound(soundWrittenUpTo_ - static_cast<double>(bufferedBytes) / BytesPerSecond());
}

}  // namespace tw::preview
