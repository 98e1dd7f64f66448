#pragma once

// The profile editor ("Edit Profile"): the categories (left), the profiles of the selected
// category (top right) and the fields of the current profile (bottom right); New Audio Profile,
// New Video Profile, Delete Profile and Save and Exit. Changes go straight into the catalogue;
// only Save and Exit writes the user-profile file. Closing the editor otherwise while the
// profiles differ from what it opened on asks "Save changes to your profiles?": Save writes
// them, Discard puts the profiles back as they were, Cancel keeps the editor open. So the
// catalogue always holds what the file (or, without one, the built-in catalogue) holds once
// the editor is gone. UI thread only.

#include <QDialog>
#include <filesystem>

#include "profiles/profile_snapshot.h"

class QAction;
class QListWidget;

namespace tw {
class TAVProfile;
class TAVProfileList;
}  // namespace tw

namespace tw::ui {

class TFrameProfile;

class TFormEditProfile : public QDialog {
    Q_OBJECT

public:
    TFormEditProfile(TAVProfileList& profiles, std::filesystem::path userProfileFile,
                     QWidget* parent = nullptr);

    // Selects the profile's category and the profile, and loads it.
    void OpenOn(TAVProfile& profile);
    // The profile loaded last, or null when it was deleted.
    TAVProfile* CurrentProfile() const { return current_; }
    TFrameProfile& Frame() const { return *frame_; }

    // Every way of closing but Save and Exit comes here.
    void reject() override;

private:
    void CategoryClick();
    void ProfileClick();
    template <class Profile>
    void NewProfile(const char* description);
    void DeleteProfile();
    void SaveAndExit();
    bool Save();
    void Discard();
    void UpdateActions();
    TAVProfile* ProfileAt(int row) const;

    TAVProfileList& profiles_;
    std::filesystem::path userProfileFile_;
    TAVProfile* current_ = nullptr;
    UserProfilesSnapshot opened_;
    int openedIndex_ = -1;  // of the profile OpenOn was given
    QListWidget* lstCategory_;
    QListWidget* lstProfile_;
    TFrameProfile* frame_;
    QAction* actDelProfile_;
};

// Runs the editor on profile and hands back the profile that is current when it closes, or,
// when that was deleted, another one that exists (see ProfileToHandBack).
TAVProfile* ExecuteEditProfile(QWidget* parent, TAVProfileList& profiles, TAVProfile& profile,
                               const std::filesystem::path& userProfileFile);

}  // namespace tw::ui
