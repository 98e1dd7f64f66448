// The wizard's first page on a film with two languages and subtitles: its tracks listed with
// check boxes, both sound tracks checked for a target that holds them.
#include <QListWidget>

#include "screenshots/scene_registry.h"
#include "screenshots/wizard_on_film.h"
#include "support/wizard_support.h"

namespace tw::screenshots {
namespace {

QImage WizardTracks() {
    test::ClipDescription clip;
    clip.durationSec = 6;
    clip.audioMetadata = {{"language", "eng"}};
    test::AudioTrackDescription french;
    french.metadata = {{"language", "fre"}, {"title", "Version française"}};
    clip.secondAudio = french;
    clip.subtitles = {{0.5, 3, "Hello"}};
    clip.subtitleMetadata = {{"language", "eng"}};
    return WizardOnFilm(clip, "Harbour interviews.mkv", [](ui::TFormNewConversion& wizard) {
        test::WaitUntilIdle(wizard);
        test::Find<QListWidget>(&wizard, "lstAudioTracks")->item(1)->setCheckState(Qt::Checked);
    });
}

TW_SCREENSHOT_SCENE("wizard-tracks", WizardTracks);

}  // namespace
}  // namespace tw::screenshots
