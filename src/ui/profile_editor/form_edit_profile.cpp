#include "profile_editor/form_edit_profile.h"

#include <QListWidget>
#include <QMessageBox>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/dialog_runner.h"
#include "app/scaling.h"
#include "platform/message_service.h"
#include "profile_editor/frame_profile.h"
#include "profile_editor/profile_editor_rules.h"
#include "profiles/custom_audio_profile.h"
#include "profiles/profile_catalogue.h"
#include "profiles/profile_list.h"
#include "shell/make_action.h"
#include "util/av_error.h"
#include "util/ini_file.h"

namespace tw::ui {

TFormEditProfile::TFormEditProfile(TAVProfileList& profiles, std::filesystem::path userProfileFile,
                                   QWidget* parent)
    : QDialog(parent),
      profiles_(profiles),
      userProfileFile_(std::move(userProfileFile)),
      opened_(profiles),
      lstCategory_(new QListWidget),
      lstProfile_(new QListWidget),
      frame_(new TFrameProfile) {
    setObjectName(QStringLiteral("FormEditProfile"));
    setWindowTitle(QStringLiteral("Edit Profile"));
    setSizeGripEnabled(true);
    lstCategory_->setObjectName(QStringLiteral("lstCategory"));
    lstProfile_->setObjectName(QStringLiteral("lstProfile"));
    for (const std::string& category : profile_editor::EditorCategories(profiles_)) {
        lstCategory_->addItem(QString::fromStdString(category));
    }

    QAction* actNewMusic =
        MakeAction(this, "actNewMusic", QStringLiteral("New Audio Profile"), "audio-x-generic");
    QAction* actNewVideo =
        MakeAction(this, "actNewVideo", QStringLiteral("New Video Profile"), "video-x-generic");
    actDelProfile_ =
        MakeAction(this, "actDelProfile", QStringLiteral("Delete Profile"), "edit-delete");
    QAction* actExit =
        MakeAction(this, "actExit", QStringLiteral("Save and Exit"), "document-save");
    connect(actNewMusic, &QAction::triggered, this,
            [this] { NewProfile<TAVCustomAudioProfile>("New Audio Profile"); });
    connect(actNewVideo, &QAction::triggered, this,
            [this] { NewProfile<TAVCustomVideoProfile>("New Video Profile"); });
    connect(actDelProfile_, &QAction::triggered, this, &TFormEditProfile::DeleteProfile);
    connect(actExit, &QAction::triggered, this, &TFormEditProfile::SaveAndExit);
    auto* bar = new QToolBar;
    bar->setObjectName(QStringLiteral("tbProfiles"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(actNewMusic);
    bar->addAction(actNewVideo);
    bar->addAction(actDelProfile_);
    bar->addSeparator();
    bar->addAction(actExit);

    auto* right = new QSplitter(Qt::Vertical);
    right->addWidget(lstProfile_);
    right->addWidget(frame_);
    right->setStretchFactor(1, 1);
    right->setChildrenCollapsible(false);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(lstCategory_);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);
    split->setSizes({ScaledPixels(*this, 150), ScaledPixels(*this, 570)});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar);
    layout->addWidget(split, 1);

    connect(lstCategory_, &QListWidget::currentRowChanged, this, &TFormEditProfile::CategoryClick);
    connect(lstProfile_, &QListWidget::currentRowChanged, this, &TFormEditProfile::ProfileClick);
    connect(frame_, &TFrameProfile::descriptionEdited, this, [this](const QString& text) {
        if (QListWidgetItem* item = lstProfile_->currentItem()) {
            item->setText(text);
        }
    });
    UpdateActions();
    resize(ScaledPixels(*this, 720), ScaledPixels(*this, 520));
}

TAVProfile* TFormEditProfile::ProfileAt(int row) const {
    QListWidgetItem* item = lstProfile_->item(row);
    return item ? static_cast<TAVProfile*>(item->data(Qt::UserRole).value<void*>()) : nullptr;
}

void TFormEditProfile::OpenOn(TAVProfile& profile) {
    current_ = nullptr;
    openedIndex_ = profiles_.IndexOf(&profile);
    const QList<QListWidgetItem*> category =
        lstCategory_->findItems(QString::fromStdString(profile.Category()), Qt::MatchFixedString);
    lstCategory_->setCurrentItem(category.isEmpty() ? nullptr : category.front());
    current_ = &profile;
    for (int row = 0; row < lstProfile_->count(); ++row) {
        if (ProfileAt(row) == &profile) {
            lstProfile_->setCurrentRow(row);
            return;
        }
    }
    frame_->LoadProfile(&profile);
}

void TFormEditProfile::CategoryClick() {
    {
        const QSignalBlocker quiet(lstProfile_);
        lstProfile_->clear();
        if (QListWidgetItem* category = lstCategory_->currentItem()) {
            for (TAVProfile* profile :
                 profiles_.ProfilesInCategory(category->text().toStdString())) {
                auto* item = new QListWidgetItem(QString::fromStdString(profile->Description()));
                item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(profile)));
                lstProfile_->addItem(item);
            }
        }
    }
    if (lstProfile_->count() > 0 && current_) {
        lstProfile_->setCurrentRow(0);
        ProfileClick();
    }
    UpdateActions();
}

void TFormEditProfile::ProfileClick() {
    if (TAVProfile* profile = ProfileAt(lstProfile_->currentRow())) {
        frame_->LoadProfile(profile);
        current_ = profile;
    }
}

template <class Profile>
void TFormEditProfile::NewProfile(const char* description) {
    QListWidgetItem* category = lstCategory_->currentItem();
    if (!category) {
        return;
    }
    const std::string joins =
        profile_editor::CategoryForNewProfile(profiles_, category->text().trimmed().toStdString(),
                                              std::is_same_v<Profile, TAVCustomVideoProfile>);
    const QList<QListWidgetItem*> found =
        lstCategory_->findItems(QString::fromStdString(joins), Qt::MatchFixedString);
    if (!found.isEmpty() && found.front() != category) {
        lstCategory_->setCurrentItem(found.front());
    }
    auto created = std::make_unique<Profile>();
    created->SetDescription(description);
    created->SetCategory(joins);
    Profile& profile = profiles_.Add(std::move(created));
    auto* item = new QListWidgetItem(QString::fromLatin1(description));
    item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(&profile)));
    lstProfile_->addItem(item);
    lstProfile_->setCurrentItem(item);
    UpdateActions();
}

void TFormEditProfile::DeleteProfile() {
    const int row = lstProfile_->currentRow();
    TAVProfile* profile = ProfileAt(row);
    if (!profile || !platform::Messages().AskQuestion("Are you sure to delete the profile?")) {
        return;
    }
    // Nothing may keep the profile once it is freed.
    if (frame_->Profile() == profile) {
        frame_->LoadProfile(nullptr);
    }
    if (current_ == profile) {
        current_ = nullptr;
    }
    profiles_.Delete(*profile);
    {
        const QSignalBlocker quiet(lstProfile_);
        std::unique_ptr<QListWidgetItem> gone(lstProfile_->takeItem(row));
        lstProfile_->setCurrentRow(-1);
    }
    if (lstProfile_->count() > 0) {
        lstProfile_->setCurrentRow(std::max(row - 1, 0));
    }
    UpdateActions();
}

void TFormEditProfile::SaveAndExit() {
    if (Save()) {
        QDialog::reject();
    }
}

bool TFormEditProfile::Save() {
    try {
        SaveUserProfiles(profiles_, userProfileFile_);
    } catch (const EAVError& error) {
        platform::Messages().ShowError(error.what());
        return false;
    }
    return true;
}

void TFormEditProfile::Discard() {
    // Nothing may keep a profile once it is freed.
    frame_->LoadProfile(nullptr);
    {
        const QSignalBlocker quiet(lstProfile_);
        lstProfile_->clear();
    }
    opened_.Restore(profiles_);
    current_ = openedIndex_ >= 0 && openedIndex_ < profiles_.Count()
                   ? &profiles_.Items(openedIndex_)
                   : nullptr;
}

void TFormEditProfile::reject() {
    if (opened_.Matches(profiles_)) {
        QDialog::reject();
        return;
    }
    QMessageBox question(QMessageBox::Question, QStringLiteral("Warning"),
                         QStringLiteral("Save changes to your profiles?"),
                         QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    question.setDefaultButton(QMessageBox::Save);
    switch (Dialogs().Exec(question)) {
        case QMessageBox::Save:
            if (Save()) {
                QDialog::reject();
            }
            break;
        case QMessageBox::Discard:
            Discard();
            QDialog::reject();
            break;
        default:
            break;
    }
}

void TFormEditProfile::UpdateActions() {
    actDelProfile_->setEnabled(lstProfile_->count() > 0);
}

TAVProfile* ExecuteEditProfile(QWidget* parent, TAVProfileList& profiles, TAVProfile& profile,
                               const std::filesystem::path& userProfileFile) {
    const TAVProfile* openedOn = &profile;
    TFormEditProfile editor(profiles, userProfileFile, parent);
    editor.OpenOn(profile);
    Dialogs().Exec(editor);
    return profile_editor::ProfileToHandBack(profiles, editor.CurrentProfile(), openedOn);
}

}  // namespace tw::ui
