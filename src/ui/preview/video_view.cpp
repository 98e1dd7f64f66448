#include "preview/video_view.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <bit>
#include <cmath>

namespace tw::ui {

// Pictures arrive as BGRA bytes, which is Qt's 32-bit RGB only on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

VideoView::VideoView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("vwVideo"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(160, 90);
}

QSize VideoView::sizeHint() const {
    return {480, 270};
}

void VideoView::SetPicture(preview::SamplePtr picture) {
    picture_ = std::move(picture);
    update();
}

void VideoView::ClearPicture() {
    picture_.reset();
    update();
}

QRect VideoView::PictureRect(const QSize& area, double displayAspect) {
    if (displayAspect <= 0.0 || area.isEmpty()) {
        return {QPoint(0, 0), area};
    }
    int width = area.width();
    int height = static_cast<int>(std::lround(width / displayAspect));
    if (height > area.height()) {
        height = area.height();
        width = static_cast<int>(std::lround(height * displayAspect));
    }
    return {(area.width() - width) / 2, (area.height() - height) / 2, width, height};
}

void VideoView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_) {
        return;
    }
    // The picture's own pixels, not a copy: BGRA in memory is 32-bit RGB on this byte order,
    // and its fourth byte is not looked at.
    const QImage image(picture_->Buffer(), picture_->Width(), picture_->Height(),
                       picture_->Stride(), QImage::Format_RGB32);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect shown = PictureRect(size(), picture_->DisplayAspect());
    painter.drawImage(shown, image);
    if (cropShares_.isNull()) {
        return;
    }
    const QRectF kept(shown.x() + shown.width() * cropShares_.left(),
                      shown.y() + shown.height() * cropShares_.top(),
                      shown.width() * (1 - cropShares_.left() - cropShares_.right()),
                      shown.height() * (1 - cropShares_.top() - cropShares_.bottom()));
    QPainterPath outside;
    outside.addRect(QRectF(shown));
    outside.addRect(kept);
    painter.fillPath(outside, QColor(0, 0, 0, 150));
    painter.setPen(QPen(Qt::yellow, 2, Qt::DashLine));
    painter.drawRect(kept);
}

void VideoView::SetCropFrame(const QMarginsF& shares) {
    cropShares_ = shares;
    update();
}

void VideoView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
    }
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace tw::ui
