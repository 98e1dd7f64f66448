#pragma once

// The picture area: paints the current picture with its display aspect, letterboxed on black
// and smoothly scaled. The picture is shared with the source and only read; a new one replaces
// it whole, so a paint never shows half of one and half of another. UI thread only.

#include <QMarginsF>
#include <QWidget>

#include "preview/ff_sample.h"

namespace tw::ui {

class VideoView : public QWidget {
    Q_OBJECT

public:
    explicit VideoView(QWidget* parent = nullptr);

    void SetPicture(preview::SamplePtr picture);
    void ClearPicture();
    const preview::SamplePtr& Picture() const { return picture_; }
    bool HasPicture() const { return picture_ != nullptr; }
    // A frame round the part of the picture a crop keeps, the rest dimmed: the sides' shares
    // (0..1) of the picture's width and height; empty margins: no frame.
    void SetCropFrame(const QMarginsF& shares);

    // Where the picture lands inside a widget of the given size.
    static QRect PictureRect(const QSize& area, double displayAspect);

    QSize sizeHint() const override;

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    preview::SamplePtr picture_;
    QMarginsF cropShares_;
};

}  // namespace tw::ui
