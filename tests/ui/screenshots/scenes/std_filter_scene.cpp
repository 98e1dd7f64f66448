// The standard filters dialog with a flip, a rotation and a drawn box.
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "wizard/filter_dialogs/std_filter_dialog.h"

namespace tw::screenshots {
namespace {

QImage StandardFilters() {
    Demo().ShowConverting();
    ui::TFormStdFilter dialog(&Demo().Window());
    filters::StdFilterDialogValues values;
    values.horizontalFlip = true;
    values.rotate = true;
    values.degrees = 90;
    values.drawBox = true;
    values.boxX = 16;
    values.boxY = 16;
    values.boxWidth = 120;
    values.boxHeight = 40;
    values.boxColor = "Navy";
    dialog.SetValues(values);
    dialog.SetPicture(DemoPicture());
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-standard-filters", StandardFilters);

}  // namespace
}  // namespace tw::screenshots
