#include "preview/preview_playback.h"

#include <algorithm>
#include <cmath>

#include "preview/video_view.h"

namespace tw::ui {

PreviewPlayback::PreviewPlayback(VideoView* view, QObject* parent)
    : QObject(parent), view_(view), audio_(this) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PreviewPlayback::Tick);
    connect(&audio_, &AudioOutput::failed, this, &PreviewPlayback::OnSoundFailed);
}

PreviewPlayback::~PreviewPlayback() {
    timer_.stop();
    audio_.Close();
}

bool PreviewPlayback::Open(const QString& name) {
    Clear();
    std::unique_ptr<preview::TFFPushSource> source = graph_.Player().MakeSource();
    return Show(source->Load(name.toStdString()) ? std::move(source) : nullptr, name);
}

bool PreviewPlayback::Show(std::unique_ptr<preview::TFFPushSource> loaded, const QString& name) {
    Clear();
    if (loaded) {
        graph_.Player().TakeSource(std::move(loaded), name.toStdString());
    }
    if (!graph_.Player().Source() || !graph_.Activate()) {
        graph_.Clear();
        emit stateChanged();
        return false;
    }
    const bool sound = graph_.HasSound() && audio_.Open(graph_.SoundRate(), graph_.SoundChannels());
    graph_.SetSoundDevice(sound);
    audio_.Suspend();
    TickSoon();
    emit stateChanged();
    return true;
}

void PreviewPlayback::Deactivate() {
    timer_.stop();
    audio_.Suspend();
    graph_.Deactivate();
    emit stateChanged();
}

void PreviewPlayback::Clear() {
    timer_.stop();
    audio_.Close();
    graph_.Clear();
    graph_.SetSoundDevice(false);
    if (view_) {
        view_->ClearPicture();
    }
    emit stateChanged();
}

void PreviewPlayback::Play() {
    if (!graph_.Active()) {
        return;
    }
    graph_.Run();
    audio_.Resume();
    TickSoon();
    emit stateChanged();
}

void PreviewPlayback::Pause() {
    if (!graph_.Active()) {
        return;
    }
    graph_.Pause();
    audio_.Suspend();
    emit stateChanged();
}

void PreviewPlayback::TogglePlay() {
    if (graph_.State() == preview::GraphState::Running) {
        Pause();
    } else {
        Play();
    }
}

void PreviewPlayback::Stop() {
    graph_.Stop();
    audio_.Suspend();
    emit stateChanged();
}

void PreviewPlayback::SeekTo(int64_t position) {
    if (!graph_.Active()) {
        return;
    }
    graph_.SetStart(position);
    TickSoon();
    emit stateChanged();
}

void PreviewPlayback::SeekBy(double seconds) {
    const int64_t target = graph_.CurrentPosition() + std::llround(seconds * 1e7);
    SeekTo(std::clamp<int64_t>(target, 0, std::max<int64_t>(graph_.StopPosition(), 0)));
}

bool PreviewPlayback::SoundMissing() const {
    return graph_.HasSound() && !graph_.SoundDevice();
}

void PreviewPlayback::TickSoon() {
    timer_.start(0);
}

void PreviewPlayback::Tick() {
    if (!graph_.Active()) {
        return;
    }
    audio_.Feed(graph_);
    const preview::PreviewGraph::Step step = graph_.Advance();
    if (step.picture && view_) {
        view_->SetPicture(step.picture);
    }
    if (step.reachedEnd) {
        audio_.Suspend();
        emit stateChanged();
    }
    const int waitMs = static_cast<int>(std::ceil(step.waitSeconds * 1000.0));
    timer_.start(std::clamp(waitMs, 1, 250));
}

void PreviewPlayback::OnSoundFailed() {
    // Video goes on alone, on the wall clock.
    graph_.SetSoundDevice(false);
    emit stateChanged();
}

}  // namespace tw::ui
