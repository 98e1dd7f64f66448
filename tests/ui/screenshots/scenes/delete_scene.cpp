// The delete confirmation over the converted files.
#include "dialogs/delete_dialog.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

namespace tw::screenshots {
namespace {

QImage DeleteConfirmation() {
    Demo().ShowConverted();
    ui::TFormDelete dialog({}, &Demo().Window());
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-delete", DeleteConfirmation);

}  // namespace
}  // namespace tw::screenshots
