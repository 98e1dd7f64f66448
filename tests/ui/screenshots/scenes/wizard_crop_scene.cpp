// The wizard's filter page with a crop set: the frame round what is kept on the preview's
// picture, a denoise and a sharpen filter in the list.
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/wizard_support.h"
#include "wizard/frame_crop.h"

namespace tw::screenshots {
namespace {

QImage WizardCrop() {
    Demo().ShowConverting();
    test::ShellWorld& world = Demo().World();
    ui::TFormNewConversion wizard(test::WizardEnvironmentOf(world), &Demo().Window());
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(DemoFilm()));
    test::WaitForPreview(wizard);
    test::ClickWhenOffered(test::Find<QPushButton>(&wizard, "btnNext"));
    world.dialogs.Push([](QDialog& dialog) {
        test::Find<QComboBox>(&dialog, "cbbStrength")->setCurrentIndex(0);
        test::Find<QPushButton>(&dialog, "btnOk")->click();
    });
    test::Find<QAction>(&wizard, "actNewDenoiseFilter")->trigger();
    world.dialogs.Push([](QDialog& dialog) { test::Find<QPushButton>(&dialog, "btnOk")->click(); });
    test::Find<QAction>(&wizard, "actNewSharpenFilter")->trigger();
    wizard.Crop().setChecked(true);
    wizard.Crop().SetArea({40, 40, 64, 64});
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

TW_SCREENSHOT_SCENE("wizard-crop", WizardCrop);

}  // namespace
}  // namespace tw::screenshots
