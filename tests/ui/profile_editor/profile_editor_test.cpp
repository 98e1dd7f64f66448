// The profile editor on the built-in catalogue: what it lists and shows, that edits go straight
// into the profiles, deleting, creating and saving, and the profile it hands back.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <filesystem>

#include "app/dialog_runner.h"
#include "platform/message_service.h"
#include "profile_editor/form_edit_profile.h"
#include "profiles/custom_audio_profile.h"
#include "profiles/profile_catalogue.h"
#include "support/scoped_env.h"
#include "support/shell_world.h"
#include "support/wizard_support.h"

namespace tw::test {
namespace {

class ProfileEditor : public ::testing::Test {
protected:
    TAVProfile& Profile(const char* description) {
        TAVProfile* profile = profiles_->FindByDescription(description);
        EXPECT_NE(profile, nullptr) << description;
        return *profile;
    }
    QStringList Entries(const char* list) const {
        QStringList texts;
        auto* widget = Find<QListWidget>(&editor_, list);
        for (int row = 0; row < widget->count(); ++row) {
            texts << widget->item(row)->text();
        }
        return texts;
    }
    QString Current(const char* list) const {
        QListWidgetItem* item = Find<QListWidget>(&editor_, list)->currentItem();
        return item ? item->text() : QString();
    }
    void Trigger(const char* action) { Find<QAction>(&editor_, action)->trigger(); }
    static QStringList Items(const QComboBox* list) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i) {
            items << list->itemText(i);
        }
        return items;
    }

    TempFolder folder_;
    std::unique_ptr<TAVProfileList> profiles_ = CreateBuiltInCatalogue();
    ui::TFormEditProfile editor_{*profiles_, folder_.Path() / "Profiles.ini"};
    ui::QtUiDispatcher dispatcher_;
    ui::QtMessageService messages_{dispatcher_};
    platform::ScopedMessageService installMessages_{messages_};
    ui::ScriptedDialogRunner dialogs_;
    ui::ScopedDialogRunner installDialogs_{dialogs_};
};

TEST_F(ProfileEditor, ListsWithoutImagesAndShowsAudioProfilesWithoutVideo) {
    editor_.OpenOn(Profile("MP3 Audio"));
    EXPECT_FALSE(Entries("lstCategory").contains("Images"));
    EXPECT_EQ(Current("lstCategory"), "Audio");
    EXPECT_EQ(Entries("lstProfile"), (QStringList{"AAC Audio", "MP3 Audio", "AC3 Dolby Audio"}));
    EXPECT_EQ(Current("lstProfile"), "MP3 Audio");
    EXPECT_EQ(Find<QComboBox>(&editor_, "cbbAudioEncoder")->currentText(), "MP3");
    EXPECT_EQ(Find<QComboBox>(&editor_, "cbbAudioBitrate")->currentText(), "192");
    auto* frameSize = Find<QComboBox>(&editor_, "cbbFrameSize");
    EXPECT_EQ(frameSize->currentIndex(), -1);
    EXPECT_FALSE(frameSize->isEnabled());

    // Another category loads its first profile, with its video.
    Find<QListWidget>(&editor_, "lstCategory")
        ->setCurrentRow(Entries("lstCategory").indexOf("IPod"));
    EXPECT_EQ(editor_.CurrentProfile(), &Profile("IPod 320x240 Video"));
    EXPECT_TRUE(frameSize->isEnabled());
    EXPECT_EQ(frameSize->currentText(), "qvga(320x240)");
    EXPECT_EQ(Find<QComboBox>(&editor_, "cbbFrameRate")->currentText(), "29.97");
}

TEST_F(ProfileEditor, EditsGoIntoTheProfileAndValuesTheListsLackSurvive) {
    auto& film = dynamic_cast<TAVCustomVideoProfile&>(Profile("Matroska Video"));
    film.SetAudioBitrate(100.0);
    film.SetFrameWidth(400);
    film.SetFrameHeight(300);
    editor_.OpenOn(film);
    EXPECT_EQ(Find<QComboBox>(&editor_, "cbbAudioBitrate")->currentIndex(), -1);
    EXPECT_EQ(Find<QComboBox>(&editor_, "cbbFrameSize")->currentIndex(), -1);

    auto* description = Find<QLineEdit>(&editor_, "edtDescript");
    description->clear();
    QTest::keyClicks(description, " My film ");
    EXPECT_EQ(Current("lstProfile"), " My film ");
    EXPECT_EQ(film.Description(), "My film");
    Choose(Find<QComboBox>(&editor_, "cbbVideoBitrate"), "2000");
    EXPECT_EQ(film.VideoBitrate(), 2000);
    EXPECT_EQ(film.AudioBitrate(), 100.0);
    EXPECT_EQ(film.FrameWidth(), 400);
    EXPECT_EQ(film.FrameHeight(), 300);
}

TEST_F(ProfileEditor, DeleteAsksFirstThenSelectsTheEntryBefore) {
    editor_.OpenOn(Profile("AC3 Dolby Audio"));
    dialogs_.Push(Answer(QMessageBox::No));
    Trigger("actDelProfile");
    EXPECT_EQ(Entries("lstProfile").size(), 3);
    EXPECT_EQ(dialogs_.History().back().text, "Are you sure to delete the profile?");

    dialogs_.Push(Answer(QMessageBox::Yes));
    Trigger("actDelProfile");
    EXPECT_EQ(profiles_->FindByDescription("AC3 Dolby Audio"), nullptr);
    EXPECT_EQ(Current("lstProfile"), "MP3 Audio");
    EXPECT_EQ(editor_.CurrentProfile(), &Profile("MP3 Audio"));
    EXPECT_EQ(Find<QLineEdit>(&editor_, "edtDescript")->text(), "MP3 Audio");
}

TEST_F(ProfileEditor, NewProfilesJoinTheCategoryAndSaveAndExitWritesThem) {
    editor_.show();
    editor_.OpenOn(Profile("PSP AVC Video"));
    Trigger("actNewVideo");
    EXPECT_EQ(Current("lstProfile"), "New Video Profile");
    auto* created = dynamic_cast<TAVCustomVideoProfile*>(editor_.CurrentProfile());
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->Category(), "PSP");
    EXPECT_TRUE(Find<QComboBox>(&editor_, "cbbFrameSize")->isEnabled());
    Find<QLineEdit>(&editor_, "edtExtension")->setText(" .m4v ");
    EXPECT_EQ(created->Extension(), ".m4v");

    Trigger("actExit");
    EXPECT_FALSE(editor_.isVisible());
    auto reloaded = CreateBuiltInCatalogue();
    ASSERT_TRUE(LoadUserProfiles(*reloaded, folder_.Path() / "Profiles.ini"));
    const TAVProfile* saved = reloaded->FindByDescription("New Video Profile");
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->Category(), "PSP");
    EXPECT_EQ(saved->Extension(), ".m4v");
}

TEST_F(ProfileEditor, ContainersOfferTheirCodecsAndAPairThatCannotWorkIsSaid) {
    auto& film = dynamic_cast<TAVCustomVideoProfile&>(Profile("Matroska Video"));
    editor_.show();
    editor_.OpenOn(film);
    auto* problem = Find<QLabel>(&editor_, "lblProblem");
    EXPECT_FALSE(problem->isVisible());
    auto* format = Find<QComboBox>(&editor_, "cbbFormat");
    const QStringList formats = Items(format);
    for (const char* offered : {"WEBM", "WAV", "MP3", "OGG"}) {
        EXPECT_TRUE(formats.contains(offered)) << offered;
    }
    ASSERT_TRUE(Choose(format, "WEBM"));
    EXPECT_EQ(film.Format(), TCustomAVFormat::F_WEBM);
    // What the profile holds stays listed, so that it shows; the rest is what WEBM can hold.
    EXPECT_EQ(Items(Find<QComboBox>(&editor_, "cbbVideoEncoder")),
              (QStringList{"H264", "VP8", "VP9"}));
    EXPECT_EQ(Items(Find<QComboBox>(&editor_, "cbbAudioEncoder")),
              (QStringList{"MP3", "VORBIS", "OPUS"}));
    EXPECT_TRUE(problem->isVisible());
    EXPECT_EQ(problem->text(), "WEBM files cannot hold MP3 audio.");
    Choose(Find<QComboBox>(&editor_, "cbbAudioEncoder"), "OPUS");
    EXPECT_EQ(problem->text(), "WEBM files cannot hold H264 video.");
    Choose(Find<QComboBox>(&editor_, "cbbVideoEncoder"), "VP9");
    EXPECT_FALSE(problem->isVisible());
    EXPECT_EQ(film.VideoEncoder(), TCustomVideoEncoder::VP9);
    EXPECT_EQ(film.AudioEncoder(), TCustomAudioEncoder::OPUS);

    // A new audio profile started from a video category joins an audio one.
    Trigger("actNewMusic");
    EXPECT_EQ(Current("lstCategory"), "Audio");
    EXPECT_EQ(editor_.CurrentProfile()->Category(), "Audio");
    EXPECT_EQ(Current("lstProfile"), "New Audio Profile");
}

TEST_F(ProfileEditor, ClosingWithChangesAsksAndOnlyWhatIsSavedStays) {
    const std::filesystem::path file = folder_.Path() / "Profiles.ini";
    TAVProfile* film = &Profile("Matroska Video");
    const int bitrate = dynamic_cast<TAVCustomVideoProfile*>(film)->VideoBitrate();
    // Changes the film's bit rate and deletes the first audio profile, then closes the window.
    const auto editAndClose = [&](QMessageBox::StandardButton answer) {
        dialogs_.Push([&, answer](QDialog& dialog) {
            Choose(Find<QComboBox>(&dialog, "cbbVideoBitrate"), "5000");
            dialogs_.Push(Answer(QMessageBox::Yes));
            auto* categories = Find<QListWidget>(&dialog, "lstCategory");
            categories->setCurrentItem(categories->findItems("Audio", Qt::MatchExactly).front());
            Find<QAction>(&dialog, "actDelProfile")->trigger();
            dialogs_.Push(Answer(answer));
            dialog.close();
            EXPECT_EQ(dialogs_.History().back().text, "Save changes to your profiles?");
            EXPECT_EQ(dialog.isVisible(), answer == QMessageBox::Cancel);
        });
        return ui::ExecuteEditProfile(nullptr, *profiles_, *film, file);
    };
    const int count = profiles_->Count();
    const std::string firstAudio = profiles_->ProfilesInCategory("Audio").front()->Description();

    // Discard: everything as it was, the profile handed back included.
    film = editAndClose(QMessageBox::Discard);
    EXPECT_EQ(film->Description(), "Matroska Video");
    auto& again = dynamic_cast<TAVCustomVideoProfile&>(*film);
    EXPECT_EQ(again.VideoBitrate(), bitrate);
    EXPECT_EQ(profiles_->Count(), count);
    EXPECT_NE(profiles_->FindByDescription(firstAudio), nullptr);
    EXPECT_FALSE(std::filesystem::exists(file));

    // Cancel keeps the editor open with the changes; Save writes them.
    editAndClose(QMessageBox::Cancel);
    EXPECT_EQ(again.VideoBitrate(), 5000);
    EXPECT_EQ(profiles_->Count(), count - 1);
    again.SetVideoBitrate(bitrate);
    editAndClose(QMessageBox::Save);
    auto reloaded = CreateBuiltInCatalogue();
    ASSERT_TRUE(LoadUserProfiles(*reloaded, file));
    EXPECT_EQ(reloaded->Count(), count - 2);
    EXPECT_EQ(dynamic_cast<TAVCustomVideoProfile*>(reloaded->FindByDescription("Matroska Video"))
                  ->VideoBitrate(),
              5000);

    // Nothing changed: closing asks nothing.
    const size_t asked = dialogs_.History().size();
    dialogs_.Push([](QDialog& dialog) { dialog.close(); });
    ui::ExecuteEditProfile(nullptr, *profiles_, again, file);
    EXPECT_EQ(dialogs_.History().size(), asked + 1);
}

TEST_F(ProfileEditor, EmptyingTheCategoryStillHandsBackAProfileThatExists) {
    TAVProfile& opened = Profile("Xbox360 HD H264 Video");
    dialogs_.Push([&](QDialog& dialog) {
        for (int i = 0; i < 2; ++i) {
            dialogs_.Push(Answer(QMessageBox::Yes));
            Find<QAction>(&dialog, "actDelProfile")->trigger();
        }
        EXPECT_EQ(Find<QListWidget>(&dialog, "lstProfile")->count(), 0);
        EXPECT_FALSE(Find<QAction>(&dialog, "actDelProfile")->isEnabled());
        // Nothing is being edited any more: typing goes nowhere.
        Find<QLineEdit>(&dialog, "edtDescript")->setText("gone");
    });
    TAVProfile* handed =
        ui::ExecuteEditProfile(nullptr, *profiles_, opened, folder_.Path() / "p.ini");
    ASSERT_NE(handed, nullptr);
    EXPECT_GE(profiles_->IndexOf(handed), 0);
    EXPECT_EQ(handed->Description(), "Matroska Video");
    EXPECT_TRUE(profiles_->ProfilesInCategory("Xbox").empty());
}

}  // namespace
}  // namespace tw::test
