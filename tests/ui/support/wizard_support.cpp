#include "support/wizard_support.h"

#include <QTest>

#include "preview/frame_preview.h"
#include "preview/video_view.h"

namespace tw::test {

ui::WizardEnvironment WizardEnvironmentOf(ShellWorld& world) {
    return {&world.data->Profiles(), &world.configuration,
            [] { return std::vector<dvd::DvdDrive>(); }, &world.data->Environment()};
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); }, 5000))
        << button->objectName().toStdString();
    button->click();
}

void ClickFinish(ui::TFormNewConversion& wizard) {
    ClickWhenOffered(Find<QAbstractButton>(&wizard, "btnFinish"));
    ASSERT_EQ(wizard.result(), QDialog::Accepted);
}

bool WaitForPreview(ui::TFormNewConversion& wizard) {
    return QTest::qWaitFor([&] { return wizard.Preview().View()->HasPicture(); }, 30000);
}

}  // namespace tw::test
