// The about box.
#include "dialogs/about_dialog.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

namespace tw::screenshots {
namespace {

QImage About() {
    Demo().ShowConverting();
    ui::TFormAbout dialog(&Demo().Window());
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-about", About);

}  // namespace
}  // namespace tw::screenshots
