#pragma once

// Drives a preview graph from the Qt event loop: a timer asks the graph for the picture that is
// due and shows it in a video view, feeds the sound device on the same beat, and reports state
// changes. Shared by the wizard's preview frame and the player window. UI thread only.

#include <QObject>
#include <QString>
#include <QTimer>

#include "preview/audio_output.h"
#include "preview/preview_graph.h"

namespace tw::ui {

class VideoView;

class PreviewPlayback : public QObject {
    Q_OBJECT

public:
    explicit PreviewPlayback(VideoView* view, QObject* parent = nullptr);
    ~PreviewPlayback() override;

    preview::PreviewGraph& Graph() { return graph_; }
    const preview::PreviewGraph& Graph() const { return graph_; }

    // Closes what was open, opens name (a file or "stream:N") and activates the graph, stopped.
    // False, and inactive, when it cannot be opened.
    bool Open(const QString& name);
    // The same for a source loaded elsewhere (made by the player's MakeSource); none: it could
    // not be loaded.
    bool Show(std::unique_ptr<preview::TFFPushSource> loaded, const QString& name);
    // Stops and no longer shows the source; it stays open.
    void Deactivate();
    // Deactivates and closes the source; the picture goes.
    void Clear();

    void Play();
    void Pause();
    void TogglePlay();
    void Stop();
    // Absolute position in 100-ns units; the stop stays.
    void SeekTo(int64_t position);
    // Relative to where it is now, clamped to the source.
    void SeekBy(double seconds);

    bool Active() const { return graph_.Active(); }
    preview::GraphState State() const { return graph_.State(); }
    int64_t PositionMs() const { return graph_.CurrentPosition() / 10'000; }
    int64_t DurationMs() const { return graph_.StopPosition() / 10'000; }
    // The source has sound that no device plays (none there, or it failed).
    bool SoundMissing() const;

    void SetVolume(int percent) { audio_.SetVolume(percent); }
    int Volume() const { return audio_.Volume(); }

signals:
    // Activity or state changed (opened, cleared, playing, paused, stopped, ended).
    void stateChanged();

private:
    void Tick();
    void TickSoon();
    void OnSoundFailed();

    preview::PreviewGraph graph_;
    VideoView* view_;
    AudioOutput audio_;
    QTimer timer_;
};

}  // namespace tw::ui
