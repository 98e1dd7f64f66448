#include "desktop/desktop_alert.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/icons.h"
#include "app/scaling.h"

namespace tw::ui {

namespace {

constexpr int kFadeMs = 1500;

}  // namespace

TAVDesktopAlert::TAVDesktopAlert(const TaskAlert& alert, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      targetFile_(QString::fromStdString(alert.targetFile)),
      lblMessage_(new QLabel(QString::fromStdString(alert.message))),
      fade_(this, "windowOpacity") {
    setObjectName(QStringLiteral("TAVDesktopAlert"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QString::fromStdString(alert.header));

    const int iconSize = ScaledPixels(*this, 32);
    auto* icon = new QLabel;
    icon->setPixmap(ApplicationIcon().pixmap(iconSize, iconSize));
    auto* header = new QLabel(QString::fromStdString(alert.header));
    header->setObjectName(QStringLiteral("lblHeader"));
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    lblMessage_->setObjectName(QStringLiteral("lblMessage"));
    lblMessage_->setTextFormat(Qt::PlainText);
    lblMessage_->setWordWrap(true);
    lblMessage_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMessage_->setCursor(Qt::PointingHandCursor);
    lblMessage_->setToolTip(targetFile_);
    // Paths have no spaces to break at: let the label break anywhere rather than grow.
    lblMessage_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (QLabel* label : {icon, header, lblMessage_}) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    auto* folder = new QPushButton(QStringLiteral("Folder"));
    folder->setObjectName(QStringLiteral("btnFolder"));
    auto* close = new QPushButton(QStringLiteral("Close"));
    close->setObjectName(QStringLiteral("btnClose"));
    connect(folder, &QPushButton::clicked, this, [this] {
        emit FolderRequested(targetFile_);
        this->close();
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(ScaledPixels(*this, 6));
    auto* text = new QVBoxLayout;
    text->addWidget(header);
    text->addWidget(lblMessage_, 1);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(folder);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    setFixedSize(ScaledPixels(*this, alert.width), ScaledPixels(*this, alert.height));

    life_.setSingleShot(true);
    life_.setInterval(alert.showTimeMs);
    connect(&life_, &QTimer::timeout, this, &TAVDesktopAlert::FadeOut);
    fade_.setDuration(kFadeMs);
    fade_.setStartValue(1.0);
    fade_.setEndValue(0.0);
    connect(&fade_, &QPropertyAnimation::finished, this, &QWidget::close);
}

void TAVDesktopAlert::Popup(const QPoint& bottomRight) {
    move(bottomRight - QPoint(width() - 1, height() - 1));
    show();
    life_.start();
}

void TAVDesktopAlert::FadeOut() {
    fade_.start();
}

void TAVDesktopAlert::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        pressGlobal_ = event->globalPosition().toPoint();
        pressOffset_ = pressGlobal_ - pos();
    }
}

void TAVDesktopAlert::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_) {
        move(event->globalPosition().toPoint() - pressOffset_);
    }
}

void TAVDesktopAlert::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed_ || event->button() != Qt::LeftButton) {
        return;
    }
    pressed_ = false;
    const bool dragged = (event->globalPosition().toPoint() - pressGlobal_).manhattanLength() >=
                         QApplication::startDragDistance();
    if (!dragged && lblMessage_->geometry().contains(event->position().toPoint())) {
        emit FolderRequested(targetFile_);
        close();
    }
}

void TAVDesktopAlert::enterEvent(QEnterEvent*) {
    // The user is reading it: it stays until the pointer leaves.
    life_.stop();
    fade_.stop();
    setWindowOpacity(1.0);
}

void TAVDesktopAlert::leaveEvent(QEvent*) {
    life_.start();
}

void TAVDesktopAlert::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tw::ui
