// The overlay text dialog with a two-line caption.
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/wizard_support.h"
#include "wizard/filter_dialogs/overlay_text_dialog.h"

namespace tw::screenshots {
namespace {

QImage OverlayText() {
    Demo().ShowConverting();
    ui::TFormOverlayText dialog(&Demo().Window());
    filters::OverlayTextDialogValues values;
    values.text = "Sailing trip\nSummer 2023";
    values.fontSize = 32;
    values.x = 24;
    values.y = 260;
    values.fontFile = test::kTestFontFile;
    dialog.SetValues(values);
    dialog.SetPicture(DemoPicture());
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-overlay-text-filter", OverlayText);

}  // namespace
}  // namespace tw::screenshots
