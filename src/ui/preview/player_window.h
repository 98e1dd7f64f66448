#pragma once

// The program's own player ("Tidewell Player"): a window that plays one file or DVD title name
// with a play/pause button, a seek bar, a volume control and the position. Files come from the
// Open command or are dropped on the window. Double-click toggles full screen; space plays and
// pauses; the left and right arrows move 5 seconds. UI thread only.

#include <QMainWindow>
#include <QTimer>

#include "preview/preview_playback.h"

class QAction;
class QLabel;
class QSlider;

namespace tw::ui {

class TimeBar;
class VideoView;

class PlayerWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit PlayerWindow(QWidget* parent = nullptr);

    // Opens name (a file or "stream:N"), paused at its start. On failure shows
    // "can not open the file %s!" and keeps what was open before closed.
    bool OpenFile(const QString& name);
    const QString& FileName() const { return fileName_; }
    // Moves to a position in seconds.
    void SeekTo(double seconds);
    void Play();
    void Pause();

    PreviewPlayback& Playback() { return playback_; }
    VideoView* View() const { return view_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ChooseFile();
    void ToggleFullScreen();
    void UpdateControls();
    void UpdateTime();
    void SeekToBar(int position);

    VideoView* view_;
    PreviewPlayback playback_;
    QWidget* controls_;
    TimeBar* bar_;
    QSlider* volume_;
    QLabel* time_;
    QAction* actPlay_;
    QString fileName_;
    QTimer timeTimer_;
};

// Opens a player window on file and starts playing it. The window deletes itself when closed;
// when the file cannot be opened the error has been shown and the window stays, empty.
PlayerWindow* OpenPlayerWindow(const QString& file, QWidget* parent = nullptr);

}  // namespace tw::ui
