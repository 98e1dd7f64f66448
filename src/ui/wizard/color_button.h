#pragma once

// A button that shows a colour and lets the user pick another in the colour dialog (run through
// the dialog runner, so tests can answer it). Colours are the filters' TColor values.
// UI thread only.

#include <QToolButton>

#include "filters/av_filter.h"

namespace tw::ui {

QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);

class ColorButton : public QToolButton {
    Q_OBJECT

public:
    explicit ColorButton(const QString& objectName, QWidget* parent = nullptr);

    TColor Color() const { return color_; }
    void SetColor(TColor color);

signals:
    void colorChanged(TColor color);

private:
    void Pick();

    TColor color_ = kColorBlack;
};

}  // namespace tw::ui
