// The overlay text dialog for a text that comes after a rotation in the filter list: its
// picture is already turned, as the text will be drawn on it in the file.
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "wizard/filter_dialogs/overlay_text_dialog.h"

namespace tw::screenshots {
namespace {

QImage TextAfterRotation() {
    Demo().ShowConverting();
    ui::TFormOverlayText dialog(&Demo().Window());
    filters::OverlayTextDialogValues values;
    values.text = "Sailing trip";
    values.fontSize = 32;
    values.x = 20;
    values.y = 40;
    dialog.SetValues(values);
    dialog.SetPicture(DemoPicture(), {"rotate=90"});
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-text-after-rotation", TextAfterRotation);

}  // namespace
}  // namespace tw::screenshots
