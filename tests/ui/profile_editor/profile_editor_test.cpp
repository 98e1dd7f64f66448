// The profile editor on the built-in catalogue: what it lists and shows, that edits go straight
// into the profiles, deleting, creating and saving, and the profile it hands back.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

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
