#include "preview/time_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

namespace tw::ui {

TimeBar::TimeBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, 0);
    setPageStep(10);
}

void TimeBar::SetSelectionStart(int position) {
    selectionStart_ = position;
    update();
}

void TimeBar::SetSelectionEnd(int position) {
    selectionEnd_ = position;
    update();
}

void TimeBar::SetSelectionShown(bool shown) {
    selectionShown_ = shown;
    update();
}

void TimeBar::ShowPosition(int position) {
    if (!isSliderDown()) {
        setValue(position);
    }
}

TimeBar::Track TimeBar::HandleTrack() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    return {groove, groove.x() + handle.width() / 2, groove.width() - handle.width(),
            option.upsideDown};
}

int TimeBar::PositionAt(const QPoint& point) const {
    const Track track = HandleTrack();
    return QStyle::sliderValueFromPosition(minimum(), maximum(), point.x() - track.left, track.span,
                                           track.upsideDown);
}

void TimeBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QSlider::mousePressEvent(event);
        return;
    }
    setSliderDown(true);
    setValue(PositionAt(event->position().toPoint()));
    event->accept();
}

void TimeBar::mouseMoveEvent(QMouseEvent* event) {
    if (!isSliderDown()) {
        QSlider::mouseMoveEvent(event);
        return;
    }
    setValue(PositionAt(event->position().toPoint()));
    event->accept();
}

void TimeBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isSliderDown()) {
        QSlider::mouseReleaseEvent(event);
        return;
    }
    setValue(PositionAt(event->position().toPoint()));
    setSliderDown(false);
    event->accept();
    emit seekRequested(value());
}

void TimeBar::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    if (!selectionShown_ || maximum() <= minimum() || selectionEnd_ <= selectionStart_) {
        return;
    }
    const Track track = HandleTrack();
    const auto at = [&](int position) {
        return track.left + QStyle::sliderPositionFromValue(minimum(), maximum(), position,
                                                            track.span, track.upsideDown);
    };
    // A band under the groove with a tick at each mark, in a colour of its own so that it reads
    // apart from the played part of the groove.
    QPainter painter(this);
    const QColor colour(230, 126, 34);
    const int from = at(selectionStart_);
    const int to = at(selectionEnd_);
    const int bandTop = std::min(track.groove.bottom() + 1, height() - 4);
    painter.fillRect(QRect(from, bandTop, to - from, 4), colour);
    painter.fillRect(QRect(from - 1, track.groove.top(), 2, bandTop + 4 - track.groove.top()),
                     colour);
    painter.fillRect(QRect(to - 1, track.groove.top(), 2, bandTop + 4 - track.groove.top()),
                     colour);
}

}  // namespace tw::ui
