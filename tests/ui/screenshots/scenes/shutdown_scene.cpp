// The countdown before the computer powers off.
#include "dialogs/shutdown_dialog.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

namespace tw::screenshots {
namespace {

QImage Countdown() {
    Demo().ShowConverted();
    ui::TFormShutdown dialog(60, &Demo().Window());
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-shutdown", Countdown);

}  // namespace
}  // namespace tw::screenshots
