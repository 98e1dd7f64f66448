#pragma once

// The wizard's preview frame: the picture, the Play/Pause button, the time bar (one position per
// second) with the start-end selection, Set Start / Set End with their labels, and the status
// line. The wizard opens a source name whenever its source becomes valid, stops and clears the
// preview before a DVD scan and before it builds its settings, and reads the selection in seconds.
// UI thread only.

#include <QTimer>
#include <QWidget>

#include "preview/preview_playback.h"

class QAction;
class QLabel;

namespace tw::ui {

class TimeBar;
class VideoView;

class FramePreview : public QWidget {
    Q_OBJECT

public:
    explicit FramePreview(QWidget* parent = nullptr);

    // Opens name (a file or "stream:N") stopped, with the selection cleared. On failure shows
    // "can not open the file %s!" and stays inactive.
    bool OpenSource(const QString& name);
    // The same for a source loaded off the UI thread (made by the player's MakeSource); none: it
    // could not be loaded.
    bool ShowSource(std::unique_ptr<preview::TFFPushSource> loaded, const QString& name);
    // Shows or hides Set Start and Set End with their labels (a cut makes no sense for several
    // files at once); hiding clears the selection.
    void SetMarksShown(bool shown);
    // Stops and clears the graph when it is active.
    void StopAndClear();
    // Leaves the source without showing it (the source is no longer valid).
    void Deactivate();

    // The selection, in seconds of the source; an end of 0 means up to the end.
    int SelectionStart() const;
    int SelectionEnd() const;
    // Sets both marks as Set Start and Set End would at these positions.
    void SetSelection(int startSeconds, int endSeconds);
    // Moves to a position (seconds) as a release on the time bar would.
    void SeekTo(int seconds);

    PreviewPlayback& Playback() { return playback_; }
    VideoView* View() const { return view_; }
    TimeBar* Bar() const { return bar_; }

signals:
    void selectionStartChanged(int seconds);
    void selectionEndChanged(int seconds);

private:
    void UpdateControls();
    void UpdateTime();
    void SetStart();
    void SetEnd();
    void MarkStart(int position);
    void MarkEnd(int position);

    VideoView* view_;
    PreviewPlayback playback_;
    TimeBar* bar_;
    QAction* actPlay_;
    QAction* actSetStart_;
    QAction* actSetEnd_;
    QLabel* lblStart_;
    QLabel* lblEnd_;
    QLabel* lblStatus_;
    QTimer timeTimer_;
};

}  // namespace tw::ui
