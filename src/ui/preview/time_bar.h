#pragma once

// The time bar: a horizontal slider whose positions are seconds of the source, with a start-end
// selection drawn along the groove. A press jumps to the pressed place, dragging follows the
// mouse, and releasing the left button asks for a seek to where it stands.

#include <QSlider>

namespace tw::ui {

class TimeBar : public QSlider {
    Q_OBJECT

public:
    explicit TimeBar(QWidget* parent = nullptr);

    int SelectionStart() const { return selectionStart_; }
    int SelectionEnd() const { return selectionEnd_; }
    void SetSelectionStart(int position);
    void SetSelectionEnd(int position);
    // Draws the selection (the preview frame does, the player does not).
    void SetSelectionShown(bool shown);

    // Moves the handle unless the user holds it.
    void ShowPosition(int position);

signals:
    // The left button was released on the bar at this position.
    void seekRequested(int position);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the handle's centre can go along the groove.
    struct Track {
        QRect groove;
        int left = 0;
        int span = 0;
        bool upsideDown = false;
    };
    Track HandleTrack() const;
    int PositionAt(const QPoint& point) const;

    int selectionStart_ = 0;
    int selectionEnd_ = 0;
    bool selectionShown_ = false;
};

}  // namespace tw::ui
