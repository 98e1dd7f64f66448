// The profile editor opened on a device profile.
#include "profile_editor/form_edit_profile.h"
#include "profiles/profile_list.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

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

}  // namespace
}  // namespace tw::screenshots
