#pragma once

// Design sizes in pixels are for a 13-pixel text line (an 8-point font at 96 dots per inch);
// they grow with the font the desktop gives the program, so nothing is cramped at 125-200 %.

#include <QFontMetrics>
#include <QWidget>
#include <algorithm>

namespace tw::ui {

inline int ScaledPixels(const QWidget& widget, int design) {
    return design * std::max(widget.fontMetrics().height(), 13) / 13;
}

}  // namespace tw::ui
