// The category dialog for an existing category.
#include "dialogs/category_dialog.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

namespace tw::screenshots {
namespace {

QImage CategoryProperties() {
    Demo().ShowConverted();
    TConvertedNode& category = *Demo().Window().Explorer().Tree().DefaultCategory();
    ui::TFormCategory dialog(false, QString::fromStdString(category.Path()), &Demo().Window());
    dialog.SetValues(QString::fromStdString(category.CategoryName()),
                     QString::fromStdString(category.Path()));
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-category", CategoryProperties);

}  // namespace
}  // namespace tw::screenshots
