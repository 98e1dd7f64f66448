#pragma once

// The pictures of the program for the README and for review. Each scene file registers its
// scenes with TW_SCREENSHOT_SCENE; the program renders every one (or those named on its
// command line) into <name>.png at the picture size.

#include <QImage>
#include <QSize>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace tw::screenshots {

inline constexpr QSize kPictureSize{1280, 800};

using SceneFunction = std::function<QImage()>;

struct Scene {
    std::string name;  // the file name without ".png"
    SceneFunction render;
};

bool RegisterScene(const std::string& name, SceneFunction render);
// Every registered scene, by name.
std::vector<Scene> Scenes();

// The widget as it is on screen, after pending paints.
QImage Grab(QWidget& widget);
// The window dimmed a little under a dialog, centred, drawn with a title bar that carries the
// dialog's caption (the offscreen platform has no window decorations).
QImage Compose(QWidget& window, QWidget& dialog);
// A frameless popup over the window with its bottom right corner at the given point.
QImage ComposePopup(QWidget& window, QWidget& popup, const QPoint& bottomRight);

}  // namespace tw::screenshots

#define TW_SCREENSHOT_CONCAT2(a, b) a##b
#define TW_SCREENSHOT_CONCAT(a, b) TW_SCREENSHOT_CONCAT2(a, b)
#define TW_SCREENSHOT_SCENE(name, render)                                                  \
    static const bool TW_SCREENSHOT_CONCAT(twScreenshotScene, __LINE__) [[maybe_unused]] = \
        ::tw::screenshots::RegisterScene(name, render)
