#include "preview/presentation_clock.h"

#include <chrono>
#include <utility>

namespace tw::preview {

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

PresentationClock::PresentationClock() : PresentationClock(SteadySeconds) {}

PresentationClock::PresentationClock(TimeSource now) : now_(std::move(now)) {
    anchorTime_ = now_();
}

double PresentationClock::Position() const {
    return running_ ? anchorPosition_ + (now_() - anchorTime_) : anchorPosition_;
}

void PresentationClock::Set(double position) {
    anchorPosition_ = position;
    anchorTime_ = now_();
    lastSound_ = -1.0;
}

void PresentationClock::Run() {
    if (!running_) {
        anchorTime_ = now_();
        running_ = true;
    }
}

void PresentationClock::Pause() {
    if (running_) {
        anchorPosition_ = Position();
        running_ = false;
    }
}

void PresentationClock::SyncToSound(double playedPosition) {
    if (playedPosition == lastSound_) {
        return;
    }
    lastSound_ = playedPosition;
    anchorPosition_ = playedPosition;
    anchorTime_ = now_();
}

}  // namespace tw::preview
