#include "screenshots/wizard_on_film.h"

#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/scoped_env.h"
#include "support/wizard_support.h"

namespace tw::screenshots {

QImage WizardOnFilm(test::ClipDescription clip, const std::string& name,
                    const std::function<void(ui::TFormNewConversion&)>& arrange) {
    static test::TempFolder folder;
    clip.width = 640;
    clip.height = 360;
    const std::string film = folder / name;
    test::GenerateClip(clip, film);

    Demo().ShowConverting();
    ui::TFormNewConversion wizard(test::WizardEnvironmentOf(Demo().World()), &Demo().Window());
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(film));
    test::WaitForPreview(wizard);
    arrange(wizard);
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

}  // namespace tw::screenshots
