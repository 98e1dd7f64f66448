// The new-conversion wizard filing the new task under a category of its own: the picker's
// choice takes the target into the category's folder.
#include <QComboBox>
#include <QTest>

#include "preview/frame_preview.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/wizard_support.h"

namespace tw::screenshots {
namespace {

QImage WizardCategory() {
    Demo().ShowConverting();
    ui::TFormNewConversion wizard(test::WizardEnvironmentOf(Demo().World()), &Demo().Window());
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(DemoFilm()));
    test::ChooseProfile(wizard, "Video", "Matroska Video");
    auto* categories = test::Find<QComboBox>(&wizard, "edtCategory");
    categories->setCurrentIndex(categories->count() - 1);
    test::WaitForPreview(wizard);
    wizard.Preview().Playback().Pause();
    wizard.Preview().SeekTo(4);
    QTest::qWait(300);
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

TW_SCREENSHOT_SCENE("wizard-category", WizardCategory);

}  // namespace
}  // namespace tw::screenshots
