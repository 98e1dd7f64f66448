// The wizard's filter page with a standard filter, a logo and a text overlay in the list.
#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/wizard_support.h"

namespace tw::screenshots {
namespace {

QImage WizardFilters() {
    Demo().ShowConverting();
    test::ShellWorld& world = Demo().World();
    ui::TFormNewConversion wizard(test::WizardEnvironmentOf(world), &Demo().Window());
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(DemoFilm()));
    test::ClickWhenOffered(test::Find<QPushButton>(&wizard, "btnNext"));
    world.dialogs.Push([](QDialog& dialog) {
        test::Find<QAbstractButton>(&dialog, "chkHorizontalFlip")->click();
        test::Find<QAbstractButton>(&dialog, "chkNegate")->click();
        test::Find<QPushButton>(&dialog, "btnOk")->click();
    });
    test::Find<QAction>(&wizard, "actNewStdFilter")->trigger();
    world.dialogs.Push([](QDialog& dialog) {
        test::Find<QLineEdit>(&dialog, "edtLogoFile")->setText(QString::fromStdString(DemoLogo()));
        test::Find<QPushButton>(&dialog, "btnOk")->click();
    });
    test::Find<QAction>(&wizard, "actNewLogoFilter")->trigger();
    world.dialogs.Push([](QDialog& dialog) {
        test::Find<QPlainTextEdit>(&dialog, "edtText")->setPlainText("Sailing trip, 2023");
        test::Find<QLineEdit>(&dialog, "edtFontFile")->setText(test::kTestFontFile);
        test::Find<QPushButton>(&dialog, "btnOk")->click();
    });
    test::Find<QAction>(&wizard, "actNewTextFilter")->trigger();
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

TW_SCREENSHOT_SCENE("wizard-filters", WizardFilters);

}  // namespace
}  // namespace tw::screenshots
