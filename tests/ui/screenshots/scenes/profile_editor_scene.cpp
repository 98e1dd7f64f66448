// The profile editor opened on a device profile, and on a film profile whose container was just
// changed to one that cannot hold its codecs.
#include <QComboBox>

#include "profile_editor/form_edit_profile.h"
#include "profiles/profile_list.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/wizard_support.h"

namespace tw::screenshots {
namespace {

QImage ProfileEditor() {
    Demo().ShowConverting();
    TAVProfileList& profiles = Demo().World().data->Profiles();
    static test::TempFolder folder;
    ui::TFormEditProfile editor(profiles, folder.Path() / "Profiles.ini", &Demo().Window());
    editor.OpenOn(*profiles.FindByDescription("IPod 320x240 Video"));
    editor.show();
    return Compose(Demo().Window(), editor);
}

TW_SCREENSHOT_SCENE("profile-editor", ProfileEditor);

QImage ProfileEditorCodecs() {
    Demo().ShowConverting();
    TAVProfileList& profiles = Demo().World().data->Profiles();
    static test::TempFolder folder;
    ui::TFormEditProfile editor(profiles, folder.Path() / "Profiles.ini", &Demo().Window());
    editor.OpenOn(*profiles.FindByDescription("Matroska Video"));
    editor.show();
    test::Choose(test::Find<QComboBox>(&editor, "cbbFormat"), "WEBM");
    test::Choose(test::Find<QComboBox>(&editor, "cbbAudioEncoder"), "OPUS");
    QImage picture = Compose(Demo().Window(), editor);
    // The catalogue is the demo's: the next scenes see it as it was.
    Demo().World().dialogs.Push(test::Answer(QMessageBox::Discard));
    editor.close();
    return picture;
}

TW_SCREENSHOT_SCENE("profile-editor-codecs", ProfileEditorCodecs);

}  // namespace
}  // namespace tw::screenshots
