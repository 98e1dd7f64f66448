// The main window: tasks converting, paused and failed; and a category of converted files.
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

namespace tw::screenshots {
namespace {

QImage Converting() {
    Demo().ShowConverting();
    return Grab(Demo().Window());
}

QImage Converted() {
    Demo().ShowConverted();
    return Grab(Demo().Window());
}

TW_SCREENSHOT_SCENE("main-window-converting", Converting);
TW_SCREENSHOT_SCENE("main-window-converted", Converted);

}  // namespace
}  // namespace tw::screenshots
