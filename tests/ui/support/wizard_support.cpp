#include "support/wizard_support.h"

#include <QTest>

#include "preview/frame_preview.h"
#include "preview/video_view.h"

namespace tw::test {

ui::WizardEnvironment WizardEnvironmentOf(ShellWorld& world) {
    ui::WizardEnvironment environment;
    environment.profiles = &world.data->Profiles();
    environment.configuration = &world.configuration;
    environment.findDrives = [] { return std::vector<dvd::DvdDrive>(); };
    environment.tasks = &world.data->Environment();
    return environment;
}

bool Choose(QComboBox* list, const QString& text) {
    const int index = list->findText(text);
    if (index >= 0) {
        list->setCurrentIndex(index);
    }
    return index >= 0;
}

void ChooseProfile(const QObject& wizard, const char* category, const char* profile) {
    ASSERT_TRUE(Choose(Find<QComboBox>(&wizard, "cbbCategory"), QString::fromUtf8(category)));
    ASSERT_TRUE(Choose(Find<QComboBox>(&wizard, "cbbProfile"), QString::fromUtf8(profile)));
}

void ClickWhenOffered(QAbstractButton* button) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); }, 60000))
        << button->objectName().toStdString();
    button->click();
}

void ClickFinish(ui::TFormNewConversion& wizard) {
    ClickWhenOffered(Find<QAbstractButton>(&wizard, "btnFinish"));
    // The files are checked off the UI thread first.
    ASSERT_TRUE(WaitUntilIdle(wizard));
    ASSERT_EQ(wizard.result(), QDialog::Accepted);
}

bool WaitUntilIdle(const ui::TFormNewConversion& wizard) {
    return QTest::qWaitFor([&] { return !wizard.Busy(); }, 30000);
}

bool WaitForPreview(ui::TFormNewConversion& wizard) {
    return QTest::qWaitFor([&] { return wizard.Preview().View()->HasPicture(); }, 60000);
}

}  // namespace tw::test
