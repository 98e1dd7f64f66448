// The wizard's first page on a film with two languages and subtitles: its tracks listed with
// check boxes, both sound tracks checked for a target that holds them.
#include <QListWidget>

#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/wizard_support.h"

namespace tw::screenshots {
namespace {

QImage WizardTracks() {
    static test::TempFolder folder;
    test::ClipDescription clip;
    clip.width = 640;
    clip.height = 360;
    clip.durationSec = 6;
    clip.audioMetadata = {{"language", "eng"}};
    test::AudioTrackDescription french;
    french.metadata = {{"language", "fre"}, {"title", "Version française"}};
    clip.secondAudio = french;
    clip.subtitles = {{0.5, 3, "Hello"}};
    clip.subtitleMetadata = {{"language", "eng"}};
    const std::string film = folder / "Harbour interviews.mkv";
    test::GenerateClip(clip, film);

    Demo().ShowConverting();
    test::ShellWorld& world = Demo().World();
    ui::TFormNewConversion wizard(test::WizardEnvironmentOf(world), &Demo().Window());
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(film));
    test::WaitForPreview(wizard);
    test::WaitUntilIdle(wizard);
    auto* audio = test::Find<QListWidget>(&wizard, "lstAudioTracks");
    audio->item(1)->setCheckState(Qt::Checked);
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

TW_SCREENSHOT_SCENE("wizard-tracks", WizardTracks);

}  // namespace
}  // namespace tw::screenshots
