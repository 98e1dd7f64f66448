#pragma once

// Helpers for driving the new-conversion wizard, its filter dialogs and the profile editor in
// GUI tests and pictures.

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QComboBox>
#include <QObject>
#include <string>

#include "support/shell_world.h"
#include "wizard/form_new_conversion.h"

namespace tw::test {

// A system font the filters can draw with.
inline constexpr char kTestFontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The child with that object name; fails the test when there is none.
template <class T>
T* Find(const QObject* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// The wizard's environment over the world's catalogue, configuration and categories, with no
// optical drive.
ui::WizardEnvironment WizardEnvironmentOf(ShellWorld& world);

// Selects the entry with that text, as a user picking it from the list; false when there is none.
bool Choose(QComboBox* list, const QString& text);

// Picks a category and a profile in the wizard's lists.
void ChooseProfile(const QObject& wizard, const char* category, const char* profile);

// Clicks the button once the wizard's ready state offers it.
void ClickWhenOffered(QAbstractButton* button);
// Clicks Finish once it is offered; the wizard must then be accepted.
void ClickFinish(ui::TFormNewConversion& wizard);

// Waits until the wizard's work off the UI thread (examining a source, listing a folder,
// opening the preview, checking before Start) is done.
bool WaitUntilIdle(const ui::TFormNewConversion& wizard);

// Waits until the preview shows the source's first picture.
bool WaitForPreview(ui::TFormNewConversion& wizard);

}  // namespace tw::test
