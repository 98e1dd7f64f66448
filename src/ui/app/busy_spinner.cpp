#include "app/busy_spinner.h"

#include <QPainter>

namespace tw::ui {

namespace {

constexpr int kSteps = 12;
constexpr int kStepMs = 80;

}  // namespace

BusySpinner::BusySpinner(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Busy"));
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    timer_.setInterval(kStepMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSteps;
        update();
    });
    hide();
}

void BusySpinner::SetBusy(bool busy) {
    if (busy == Busy()) {
        return;
    }
    if (busy) {
        timer_.start();
    } else {
        timer_.stop();
    }
    setVisible(busy);
}

QSize BusySpinner::sizeHint() const {
    const int side = fontMetrics().height();
    return {side, side};
}

void BusySpinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    QColor color = palette().color(QPalette::WindowText);
    // Twelve spokes, the newest darkest, fading behind it.
    for (int i = 0; i < kSteps; ++i) {
        color.setAlphaF(0.15 + 0.85 * ((i + kSteps - step_) % kSteps) / (kSteps - 1.0));
        painter.setPen(QPen(color, std::max(1.5, side / 10.0), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -side * 0.22), QPointF(0, -side * 0.42));
        painter.rotate(360.0 / kSteps);
    }
}

}  // namespace tw::ui
