#include "screenshots/scene_registry.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace tw::screenshots {

namespace {

std::vector<Scene>& Registry() {
    static std::vector<Scene> scenes;
    return scenes;
}

}  // namespace

bool RegisterScene(const std::string& name, SceneFunction render) {
    Registry().push_back({name, std::move(render)});
    return true;
}

std::vector<Scene> Scenes() {
    std::vector<Scene> scenes = Registry();
    std::sort(scenes.begin(), scenes.end(),
              [](const Scene& a, const Scene& b) { return a.name < b.name; });
    return scenes;
}

QImage Grab(QWidget& widget) {
    QApplication::processEvents();
    return widget.grab().toImage();
}

namespace {

// A soft shadow, so that the top window stands off the one below as it does on a desktop.
void DrawShadow(QPainter& painter, const QRect& rect) {
    for (int i = 1; i <= 6; ++i) {
        painter.fillRect(rect.translated(i, i), QColor(0, 0, 0, 12));
    }
}

}  // namespace

QImage ComposePopup(QWidget& window, QWidget& popup, const QPoint& bottomRight) {
    QImage picture = Grab(window).convertToFormat(QImage::Format_RGB32);
    const QImage top = Grab(popup);
    QPainter painter(&picture);
    const QRect rect(bottomRight - QPoint(top.width(), top.height()), top.size());
    DrawShadow(painter, rect);
    painter.drawImage(rect.topLeft(), top);
    return picture;
}

QImage Compose(QWidget& window, QWidget& dialog) {
    QImage picture = Grab(window).convertToFormat(QImage::Format_RGB32);
    const QImage body = Grab(dialog);
    const int titleHeight = dialog.fontMetrics().height() * 2;
    const QSize size(body.width(), body.height() + titleHeight);
    const QRect frame(
        QPoint((picture.width() - size.width()) / 2, (picture.height() - size.height()) / 2), size);
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 70));
    DrawShadow(painter, frame);
    const QRect title(frame.topLeft(), QSize(frame.width(), titleHeight));
    painter.fillRect(title, QColor(0x3b, 0x40, 0x48));
    painter.setPen(Qt::white);
    QFont font = dialog.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(title, Qt::AlignCenter, dialog.windowTitle());
    painter.drawImage(frame.topLeft() + QPoint(0, titleHeight), body);
    return picture;
}

}  // namespace tw::screenshots
