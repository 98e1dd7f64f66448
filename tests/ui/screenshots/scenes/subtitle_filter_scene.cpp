// The subtitle filter dialog with a subtitle file, a font and a code page.
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/wizard_support.h"
#include "wizard/filter_dialogs/subtitle_filter_dialog.h"

namespace tw::screenshots {
namespace {

QImage SubtitleFilter() {
    Demo().ShowConverting();
    ui::TFormSubtitleFilter dialog(&Demo().Window());
    dialog.SetValues({DemoSubtitles(), test::kTestFontFile, kColorYellow, "cp1252"});
    dialog.SetPicture(DemoPicture());
    dialog.show();
    return Compose(Demo().Window(), dialog);
}

TW_SCREENSHOT_SCENE("dialog-subtitle-filter", SubtitleFilter);

}  // namespace
}  // namespace tw::screenshots
