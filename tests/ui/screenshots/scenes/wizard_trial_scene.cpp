// The wizard after a trial run: the sample's figures and what they predict for the whole film,
// with the sample ready to play.
#include <QPushButton>
#include <QSignalSpy>

#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/wizard_support.h"
#include "wizard/frame_trial.h"

namespace tw::screenshots {
namespace {

QImage WizardTrial() {
    static test::TempFolder folder;
    test::ClipDescription clip;
    clip.width = 640;
    clip.height = 360;
    clip.durationSec = 40;
    clip.videoFilter = "noise=alls=6:allf=t";
    const std::string film = folder / "Harbour at dusk.mkv";
    test::GenerateClip(clip, film);

    Demo().ShowConverting();
    test::ShellWorld& world = Demo().World();
    ui::TFormNewConversion wizard(test::WizardEnvironmentOf(world), &Demo().Window());
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(film));
    test::WaitForPreview(wizard);
    test::ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
    QSignalSpy ended(&wizard.Trial(), &ui::TFrameTrial::ended);
    test::ClickWhenOffered(test::Find<QPushButton>(&wizard, "btnTrial"));
    if (ended.count() == 0) {
        ended.wait(300000);
    }
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

TW_SCREENSHOT_SCENE("wizard-trial", WizardTrial);

}  // namespace
}  // namespace tw::screenshots
