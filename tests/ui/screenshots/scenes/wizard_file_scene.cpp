// The new-conversion wizard on a file: a device profile, the target in the output folder, and a
// span marked on the preview.
#include <QTest>

#include "preview/frame_preview.h"
#include "preview/video_view.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/wizard_support.h"

namespace tw::screenshots {
namespace {

QImage WizardFileSource() {
    Demo().ShowConverting();
    ui::TFormNewConversion wizard(test::WizardEnvironmentOf(Demo().World()), &Demo().Window());
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(DemoFilm()));
    test::ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
    test::WaitForPreview(wizard);
    wizard.Preview().Playback().Pause();
    wizard.Preview().SeekTo(5);
    wizard.Preview().SetSelection(3, 9);
    // The picture at the new position is shown.
    const bool shown = QTest::qWaitFor(
        [&] {
            const preview::SamplePtr& picture = wizard.Preview().View()->Picture();
            return picture && picture->Start() <= 5.0 && 5.0 < picture->Stop();
        },
        60000);
    if (!shown) {
        qWarning("wizard-file-source: the picture at 0:0:5 never came");
    }
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

TW_SCREENSHOT_SCENE("wizard-file-source", WizardFileSource);

}  // namespace
}  // namespace tw::screenshots
