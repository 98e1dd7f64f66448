// The options dialog on each of its pages.
#include <QTreeWidget>

#include "dialogs/options_dialog.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

namespace tw::screenshots {
namespace {

QImage OptionsPage(int page) {
    Demo().ShowConverting();
    ui::TFormOptions dialog(&Demo().Window());
    dialog.Load(Demo().World().configuration);
    auto* pages = dialog.findChild<QTreeWidget*>("tvSettings");
    pages->setCurrentItem(pages->topLevelItem(page));
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-options-general", [] { return OptionsPage(0); });
TW_SCREENSHOT_SCENE("dialog-options-performance", [] { return OptionsPage(1); });

}  // namespace
}  // namespace tw::screenshots
