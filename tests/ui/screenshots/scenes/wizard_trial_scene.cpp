// The wizard after a trial run: the sample's figures and what they predict for the whole film,
// with the sample ready to play.
#include <QPushButton>
#include <QSignalSpy>

#include "screenshots/scene_registry.h"
#include "screenshots/wizard_on_film.h"
#include "support/wizard_support.h"
#include "wizard/frame_trial.h"

namespace tw::screenshots {
namespace {

QImage WizardTrial() {
    test::ClipDescription clip;
    clip.durationSec = 40;
    clip.videoFilter = "noise=alls=6:allf=t";
    return WizardOnFilm(clip, "Harbour at dusk.mkv", [](ui::TFormNewConversion& wizard) {
        test::ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
        QSignalSpy ended(&wizard.Trial(), &ui::TFrameTrial::ended);
        test::ClickWhenOffered(test::Find<QPushButton>(&wizard, "btnTrial"));
        if (ended.count() == 0) {
            ended.wait(300000);
        }
    });
}

TW_SCREENSHOT_SCENE("wizard-trial", WizardTrial);

}  // namespace
}  // namespace tw::screenshots
