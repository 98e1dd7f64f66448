// The logo filter dialog with a picture in a corner.
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "wizard/filter_dialogs/logo_filter_dialog.h"

namespace tw::screenshots {
namespace {

QImage LogoFilter() {
    Demo().ShowConverting();
    ui::TFormLogoFilter dialog(&Demo().Window());
    dialog.SetValues({10, 10, DemoLogo()});
    dialog.SetPicture(DemoPicture());
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-logo-filter", LogoFilter);

}  // namespace
}  // namespace tw::screenshots
