// The new-conversion wizard on the "Dvd" sheet: a drive with a film disc, its titles listed and
// the first title's chapters; and the same with a chapter range picked.
#include <QComboBox>
#include <QTabWidget>

#include "core/dvd/test_disc.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/wizard_support.h"
#include "wizard/dvd_combo.h"

namespace tw::screenshots {
namespace {

const test::TestDisc& Disc() {
    static test::TempFolder folder;
    static const test::TestDisc disc = test::AuthorTestDisc(folder.Path());
    if (!disc.error.empty()) {
        std::fprintf(stderr, "screenshots: %s\n", disc.error.c_str());
    }
    return disc;
}

QImage WizardDvd(bool pickChapters) {
    const test::TestDisc& disc = Disc();
    Demo().ShowConverting();
    // The authored disc stands in a drive.
    ui::WizardEnvironment environment = test::WizardEnvironmentOf(Demo().World());
    environment.findDrives = [&] {
        return std::vector<dvd::DvdDrive>{{"/dev/sr0", disc.root.string(), "SUMMER_2023"}};
    };
    ui::TFormNewConversion wizard(environment, &Demo().Window());
    wizard.show();
    test::Find<QTabWidget>(&wizard, "pgcSource")->setCurrentIndex(1);
    test::ChooseProfile(wizard, "Video", "Matroska Video");
    test::WaitUntilIdle(wizard);
    test::Find<ui::TDvdCombo>(&wizard, "cbbDvd")->setCurrentIndex(0);
    test::WaitUntilIdle(wizard);
    if (pickChapters) {
        test::Choose(test::Find<QComboBox>(&wizard, "cbbChapter"), "2");
        test::Choose(test::Find<QComboBox>(&wizard, "cbbThrough"), "2");
    }
    test::WaitForPreview(wizard);
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

TW_SCREENSHOT_SCENE("wizard-dvd-source", [] { return WizardDvd(false); });
TW_SCREENSHOT_SCENE("wizard-dvd-chapters", [] { return WizardDvd(true); });

}  // namespace
}  // namespace tw::screenshots
