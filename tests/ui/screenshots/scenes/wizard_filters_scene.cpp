// The wizard's filter page with a standard filter, a logo, a text overlay and subtitles in the
// list, the text selected.
#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

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
        test::Find<QSpinBox>(&dialog, "edtX")->setValue(24);
        test::Find<QSpinBox>(&dialog, "edtY")->setValue(300);
        test::Find<QPushButton>(&dialog, "btnOk")->click();
    });
    test::Find<QAction>(&wizard, "actNewTextFilter")->trigger();
    world.dialogs.Push([](QDialog& dialog) {
        test::Find<QLineEdit>(&dialog, "edtSubtitleFile")
            ->setText(QString::fromStdString(DemoSubtitles()));
        test::Find<QPushButton>(&dialog, "btnOk")->click();
    });
    test::Find<QAction>(&wizard, "actNewSubtitleFilter")->trigger();
    test::Find<QListWidget>(&wizard, "lstFilters")->setCurrentRow(2);
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

TW_SCREENSHOT_SCENE("wizard-filters", WizardFilters);

}  // namespace
}  // namespace tw::screenshots
