// The program's own player showing a picture of a generated film, and the wizard's preview frame
// with a start-end selection on its time bar.
#include <QTest>
#include <QVBoxLayout>

#include "preview/frame_preview.h"

#include "preview/player_window.h"
#include "preview/video_view.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

namespace tw::screenshots {
namespace {

bool WaitForPicture(const ui::VideoView& view) {
    return QTest::qWaitFor([&] { return view.HasPicture(); }, 60000);
}

// Both are shown over the main window, as when opened from it.
QImage PlayerOn(const std::string& file) {
    Demo().ShowConverted();
    ui::PlayerWindow window(&Demo().Window());
    window.setWindowFlags(Qt::Window);
    window.resize(960, 600);
    window.show();
    window.OpenFile(QString::fromStdString(file));
    window.SeekTo(5);
    window.Pause();
    WaitForPicture(*window.View());
    return Compose(Demo().Window(), window);
}

QImage Player() {
    return PlayerOn(DemoFilm());
}

// The widescreen film converted for the IPod's 320x240 frame: black bars above and below.
QImage PlayerLetterboxed() {
    return PlayerOn(Demo().ConvertedFile("Interview.mp4"));
}

QImage Preview() {
    Demo().ShowConverting();
    QWidget window(&Demo().Window(), Qt::Window);
    window.setWindowTitle(QStringLiteral("Preview"));
    auto* preview = new ui::FramePreview(&window);
    (new QVBoxLayout(&window))->addWidget(preview);
    window.resize(560, 480);
    window.show();
    preview->OpenSource(QString::fromStdString(DemoFilm()));
    preview->Playback().Pause();
    preview->SeekTo(5);
    preview->SetSelection(2, 9);
    WaitForPicture(*preview->View());
    return Compose(Demo().Window(), window);
}

TW_SCREENSHOT_SCENE("player-window", Player);
TW_SCREENSHOT_SCENE("player-letterboxed", PlayerLetterboxed);
TW_SCREENSHOT_SCENE("preview-frame", Preview);

}  // namespace
}  // namespace tw::screenshots
