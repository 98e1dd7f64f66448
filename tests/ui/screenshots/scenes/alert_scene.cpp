// The program's own completion alert at the bottom right, as shown where the desktop has no
// notification service.
#include "desktop/desktop_alert.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

namespace tw::screenshots {
namespace {

QImage CompletionAlert() {
    Demo().ShowConverted();
    ui::TFormMain& window = Demo().Window();
    const std::vector<TAVTask*> rows = Demo().World().Rows();
    TaskAlert alert;
    alert.header = "Task Completed";
    alert.targetFile = rows.empty() ? "/home/user/Videos/Conversion/Harbour at dawn.mp4"
                                    : rows.front()->Settings().TargetFile();
    alert.message = alert.targetFile + " was generated.";
    ui::TAVDesktopAlert popup(alert);
    popup.setAttribute(Qt::WA_DeleteOnClose, false);
    popup.show();
    const int margin = popup.fontMetrics().height();
    return ComposePopup(window, popup, QPoint(window.width() - margin, window.height() - margin));
}

TW_SCREENSHOT_SCENE("alert", CompletionAlert);

}  // namespace
}  // namespace tw::screenshots
