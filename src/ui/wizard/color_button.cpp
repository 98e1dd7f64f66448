#include "wizard/color_button.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

#include "app/dialog_runner.h"

namespace tw::ui {

QColor ToQColor(TColor color) {
    const uint32_t rgb = filters::ColorToRgb(color);
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

TColor FromQColor(const QColor& color) {
    return filters::RgbToColor(static_cast<uint32_t>(color.rgb()) & 0xFFFFFF);
}

ColorButton::ColorButton(const QString& objectName, QWidget* parent) : QToolButton(parent) {
    setObjectName(objectName);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setText(QStringLiteral("Colour…"));
    connect(this, &QToolButton::clicked, this, &ColorButton::Pick);
    SetColor(kColorBlack);
}

void ColorButton::SetColor(TColor color) {
    color_ = color;
    const int side = fontMetrics().height();
    QPixmap swatch(side * 2, side);
    swatch.fill(ToQColor(color));
    QPainter painter(&swatch);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    painter.end();
    setIconSize(swatch.size());
    setIcon(swatch);
    setToolTip(ToQColor(color).name(QColor::HexRgb).toUpper());
    emit colorChanged(color);
}

void ColorButton::Pick() {
    QColorDialog dialog(ToQColor(color_), this);
    dialog.setObjectName(QStringLiteral("ColorDialog"));
    if (Dialogs().Exec(dialog) == QDialog::Accepted) {
        SetColor(FromQColor(dialog.selectedColor()));
    }
}

}  // namespace tw::ui
