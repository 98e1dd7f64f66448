// The source's tracks on the wizard's first page: listed with language and codec, the checked
// ones in the request (subtitles ticked at first only where the container takes them unasked), a
// note where the target holds one sound track, and the preview playing the chosen sound track.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>

#include "preview/frame_preview.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/wizard_support.h"
#include "wizard/frame_tracks.h"

namespace tw::test {
namespace {

TEST(WizardTracks, CheckedTracksAreConvertedAndASingleTrackTargetIsNoted) {
    TempFolder home;
    ClipDescription clip;
    clip.audioMetadata = {{"language", "eng"}};
    AudioTrackDescription french;
    french.metadata = {{"language", "fre"}, {"title", "Dubbed"}};
    clip.secondAudio = french;
    clip.subtitles = {{0.2, 1.0, "Hello"}};
    clip.subtitleMetadata = {{"language", "ger"}};
    const std::string source = home / "languages.mkv";
    GenerateClip(clip, source);
    ShellWorld world(home.Path());
    ui::TFormNewConversion wizard(WizardEnvironmentOf(world));
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(source));
    ASSERT_TRUE(WaitUntilIdle(wizard));

    auto* audio = Find<QListWidget>(&wizard, "lstAudioTracks");
    auto* subtitles = Find<QListWidget>(&wizard, "lstSubtitleTracks");
    ASSERT_EQ(audio->count(), 2);
    ASSERT_EQ(subtitles->count(), 1);
    EXPECT_TRUE(audio->item(0)->text().startsWith("1: eng, "));
    EXPECT_TRUE(audio->item(1)->text().contains("fre")) << audio->item(1)->text().toStdString();
    EXPECT_TRUE(audio->item(1)->text().contains("Dubbed"));
    EXPECT_EQ(audio->item(1)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(subtitles->item(0)->text().startsWith("1: ger, "));

    // Subtitles start ticked where the container takes them unasked; MP4's timed text is asked
    // for, so a device's file gets no track it did not have before.
    ChooseProfile(wizard, "Video", "Matroska Video");
    EXPECT_EQ(subtitles->item(0)->checkState(), Qt::Checked);
    ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
    EXPECT_EQ(subtitles->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(wizard.Tracks().SubtitleTracksText(), "");

    audio->item(0)->setCheckState(Qt::Unchecked);
    audio->item(1)->setCheckState(Qt::Checked);
    // The preview sounds as the conversion will.
    EXPECT_EQ(wizard.Preview().Playback().Graph().Player().AudioIndex(), 1);
    subtitles->item(0)->setCheckState(Qt::Checked);
    subtitles->item(0)->setCheckState(Qt::Unchecked);
    ChooseProfile(wizard, "Audio", "MP3 Audio");
    auto* note = Find<QLabel>(&wizard, "lblTracksNote");
    EXPECT_TRUE(note->isHidden());
    audio->item(0)->setCheckState(Qt::Checked);
    EXPECT_FALSE(note->isHidden());
    EXPECT_TRUE(note->text().contains("one sound track"));
    audio->item(0)->setCheckState(Qt::Unchecked);

    ClickFinish(wizard);
    const auto request = wizard.GetConversionSettings();
    EXPECT_EQ(request->ConvertOptions().AudioOptions().AudioTracks(), "2");
    EXPECT_EQ(request->ConvertOptions().SubtitleOptions().SubtitleTracks(), "none");
}

}  // namespace
}  // namespace tw::test
