#include "wizard/form_new_conversion.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <set>

#include "app/busy_spinner.h"
#include "app/dialog_runner.h"
#include "app/file_dialog_service.h"
#include "app/icons.h"
#include "app/scaling.h"
#include "dvd/dvd_navigator.h"
#include "engine/trial_run.h"
#include "media/stream_registry.h"
#include "platform/message_service.h"
#include "platform/paths.h"
#include "platform/work_pool.h"
#include "preview/frame_preview.h"
#include "preview/video_view.h"
#include "probe/av_probe.h"
#include "probe/file_checks.h"
#include "profile_editor/form_edit_profile.h"
#include "profiles/custom_audio_profile.h"
#include "profiles/profile_catalogue.h"
#include "profiles/profile_codecs.h"
#include "profiles/profile_list.h"
#include "profiles/target_name.h"
#include "tasks/configuration.h"
#include "tasks/node_object.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/ini_file.h"
#include "wizard/dvd_combo.h"
#include "wizard/file_edit.h"
#include "wizard/frame_crop.h"
#include "wizard/frame_dvd_source.h"
#include "wizard/frame_filters.h"
#include "wizard/frame_sources.h"
#include "wizard/frame_tracks.h"
#include "wizard/frame_trial.h"
#include "wizard/frame_video_info.h"
#include "wizard/wizard_rules.h"

namespace tw::ui {

namespace {

constexpr int kSourcePage = 0;
constexpr int kFilterPage = 1;
constexpr int kReadyIntervalMs = 300;
constexpr const char* kPageTitles[] = {"Select Source File", "Filters Settings"};
// The profile category listing the profiles no category lists.
constexpr char kOtherProfiles[] = "Other";
constexpr int kOtherProfilesRole = Qt::UserRole + 1;

QPushButton* Button(const char* objectName, const char* caption, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoDefault(false);
    return button;
}

QStringList QtNameFilters(std::string_view filter) {
    QStringList filters;
    for (const std::string& name : wizard::NameFilters(filter)) {
        filters << QString::fromStdString(name);
    }
    return filters;
}

// What opening the preview found: the source loaded, or why not.
struct PreviewLoad {
    std::shared_ptr<std::unique_ptr<preview::TFFPushSource>> source;
    std::string name;
    bool loaded = false;
    std::string failure;
};

// What Finish's checks found, and the stream a disc title's request reads.
struct FinishCheck {
    std::vector<std::string> problems;
    std::string dvdStream;
};

void DiscardStreamOf(const std::string& name) {
    if (const std::optional<int> stream = media::ParseStreamUrl(name)) {
        media::DiscardStream(*stream);
    }
}

}  // namespace

TFormNewConversion::TFormNewConversion(const WizardEnvironment& environment, QWidget* parent)
    : QDialog(parent),
      environment_(environment),
      pages_(new QStackedWidget(this)),
      lblPageTitle_(new QLabel(this)),
      filters_(new TFrameFilters(this)),
      crop_(new TFrameCrop(this)),
      cbbDeinterlace_(new QComboBox(this)),
      trial_(new TFrameTrial(this)) {
    TW_ASSERT(environment_.profiles && environment_.configuration);
    if (!environment_.findDrives) {
        environment_.findDrives = [] { return dvd::FindDvdDrives(); };
    }
    background_ = environment_.background;
    if (!background_) {
        ownBackground_ = std::make_unique<platform::WorkPool>(platform::Dispatcher());
        background_ = ownBackground_.get();
    }
    setObjectName(QStringLiteral("FormNewConversion"));
    setWindowTitle(QStringLiteral("New Conversion Wizard"));
    setSizeGripEnabled(true);

    categoryPath_ = environment_.configuration->OutputFolder();
    if (environment_.tasks) {
        // A tree of its own: the explorer's shows and selects, this one only lists.
        categoryEnvironment_ = *environment_.tasks;
        categoryEnvironment_.ExplorerTree = nullptr;
        categories_ = std::make_unique<TCategoryTree>(categoryEnvironment_);
        categories_->BuildTree(false);
    }
    // No limit until the preview's selection says otherwise.
    options_.SetRecordingTime(INT64_MAX);

    QFont heading = lblPageTitle_->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.25);
    lblPageTitle_->setFont(heading);
    lblPageTitle_->setObjectName(QStringLiteral("lblPageTitle"));
    pages_->addWidget(CreateSourcePage());
    auto* filterPage = new QWidget;
    auto* filterLayout = new QVBoxLayout(filterPage);
    filterLayout->setContentsMargins(0, 0, 0, 0);
    filterLayout->addWidget(filters_, 1);
    filterLayout->addWidget(crop_);
    cbbDeinterlace_->setObjectName(QStringLiteral("cbbDeinterlace"));
    cbbDeinterlace_->addItems({QStringLiteral("Off"), QStringLiteral("Always"),
                               QStringLiteral("Automatic (pictures found interlaced)")});
    auto* deinterlaceRow = new QFormLayout;
    deinterlaceRow->addRow(QStringLiteral("De&interlace:"), cbbDeinterlace_);
    filterLayout->addLayout(deinterlaceRow);
    pages_->addWidget(filterPage);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPageTitle_);
    layout->addWidget(pages_, 1);
    layout->addWidget(trial_);
    layout->addWidget(CreateButtons());

    for (const std::string& category : environment_.profiles->Categories()) {
        cbbCategory_->addItem(QString::fromStdString(category));
    }
    if (!environment_.profiles->ProfilesInNoCategory().empty()) {
        cbbCategory_->addItem(QString::fromLatin1(kOtherProfiles));
        cbbCategory_->setItemData(cbbCategory_->count() - 1, true, kOtherProfilesRole);
    }
    FillOutputCategories();
    connect(edtCategory_, &QComboBox::currentIndexChanged, this,
            &TFormNewConversion::OutputCategoryChanged);
    connect(cbbCategory_, &QComboBox::currentIndexChanged, this,
            &TFormNewConversion::CategoryChanged);
    connect(cbbProfile_, &QComboBox::currentIndexChanged, this,
            &TFormNewConversion::ProfileChanged);
    cbbCategory_->setCurrentIndex(cbbCategory_->count() > 0 ? 0 : -1);
    CategoryChanged();

    dvdSource_->SetBackground(background_, environment_.scanTitles);
    dvdSource_->FindDrives(environment_.findDrives);
    connect(dvdSource_, &TFrameDvdSource::scanStarting, preview_, &FramePreview::StopAndClear);
    connect(dvdSource_, &TFrameDvdSource::titleChanged, this, [this] {
        UpdatePreview();
        UpdateTargetName();
    });
    connect(dvdSource_, &TFrameDvdSource::rangeChanged, this, &TFormNewConversion::UpdatePreview);
    filters_->SetPictureSource([this] { return preview_->View()->Picture(); });
    crop_->SetPictureSource([this] { return preview_->View()->Picture(); });
    connect(crop_, &TFrameCrop::cropFrameChanged, preview_->View(), &VideoView::SetCropFrame);
    connect(edtSource_, &FileEdit::nameTaken, this, &TFormNewConversion::SourceNameTaken);
    connect(edtSource_, &FileEdit::namesChosen, this, &TFormNewConversion::TakeSourceFiles);
    connect(sources_, &TFrameSources::changed, this, &TFormNewConversion::SourcesChanged);
    connect(sources_, &TFrameSources::folderListed, this, &TFormNewConversion::FolderListed);
    // Another sheet is another source.
    connect(pgcSource_, &QTabWidget::currentChanged, this, &TFormNewConversion::SourceChanged);
    connect(trial_, &TFrameTrial::tryRequested, this, &TFormNewConversion::StartTrial);
    // The preview sounds as the conversion will: the first checked sound track.
    connect(tracks_, &TFrameTracks::previewAudioChanged, this,
            [this](int index) { preview_->Playback().Graph().Player().SetAudioIndex(index); });

    tmrUpdate_.setInterval(kReadyIntervalMs);
    connect(&tmrUpdate_, &QTimer::timeout, this, &TFormNewConversion::UpdateReadyState);
    tmrUpdate_.start();
    ShowPage(kSourcePage);
    UpdateReadyState();
    edtSource_->setFocus();
    resize(ScaledPixels(*this, 860), ScaledPixels(*this, 560));
}

TFormNewConversion::~TFormNewConversion() {
    // A stream is taken over by whoever opens it; one made and never handed out would stay
    // registered for ever.
    DiscardStreamOf(dvdStream_);
}

QWidget* TFormNewConversion::CreateSourcePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsSource"));

    edtSource_ = new FileEdit(QStringLiteral("edtSource"), FileEdit::Mode::Open, page);
    edtSource_->SetDialogCaption(QStringLiteral("Input File"));
    edtSource_->SetNameFilters(QStringList{MediaFilesFilter()} +
                               QtNameFilters(wizard::kSourceFileFilter));
    edtSource_->SetStartFolder(QString::fromStdString(platform::VideosFolder()));
    edtSource_->SetMultipleChoice(true);
    spnSource_ = new BusySpinner(page);
    spnSource_->setObjectName(QStringLiteral("spnSource"));
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(edtSource_, 1);
    sourceRow->addWidget(spnSource_);
    sources_ = new TFrameSources(*background_, page);
    auto* fileSheet = new QWidget;
    fileSheet->setObjectName(QStringLiteral("tsVideoFile"));
    auto* fileRows = new QFormLayout(fileSheet);
    fileRows->addRow(QStringLiteral("Input File:"), sourceRow);
    fileRows->addRow(sources_);
    dvdSource_ = new TFrameDvdSource;
    pgcSource_ = new QTabWidget;
    pgcSource_->setObjectName(QStringLiteral("pgcSource"));
    pgcSource_->addTab(fileSheet, QStringLiteral("Video File"));
    pgcSource_->addTab(dvdSource_, QStringLiteral("Dvd"));

    cbbCategory_ = new QComboBox;
    cbbCategory_->setObjectName(QStringLiteral("cbbCategory"));
    cbbProfile_ = new QComboBox;
    cbbProfile_->setObjectName(QStringLiteral("cbbProfile"));
    cbbProfile_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbbProfile_->setMinimumContentsLength(20);
    btnEditProfile_ = new QPushButton(ThemeIcon(QStringLiteral("document-edit")), QString());
    btnEditProfile_->setObjectName(QStringLiteral("actEditProfile"));
    btnEditProfile_->setToolTip(QStringLiteral("Edit Profile"));
    btnEditProfile_->setAutoDefault(false);
    connect(btnEditProfile_, &QPushButton::clicked, this, &TFormNewConversion::EditProfile);
    auto* profileRow = new QHBoxLayout;
    profileRow->addWidget(cbbCategory_);
    profileRow->addWidget(cbbProfile_, 1);
    profileRow->addWidget(btnEditProfile_);

    edtCategory_ = new QComboBox;
    edtCategory_->setObjectName(QStringLiteral("edtCategory"));
    edtCategory_->setToolTip(QStringLiteral("The category the converted file is filed under"));

    edtSavePath_ = new FileEdit(QStringLiteral("edtSavePath"), FileEdit::Mode::Save, page);
    edtSavePath_->SetDialogCaption(QStringLiteral("Save to"));
    edtSavePath_->SetNameFilters({QStringLiteral("All Files (*)")});
    edtSavePath_->EnableCompletion();

    frameInfo_ = new TFrameVideoInfo;
    auto* settings = new QWidget;
    auto* settingsRows = new QFormLayout(settings);
    settingsRows->setContentsMargins(0, 0, 0, 0);
    settingsRows->addRow(QStringLiteral("Profile:"), profileRow);
    settingsRows->addRow(QStringLiteral("Category:"), edtCategory_);
    settingsRows->addRow(QStringLiteral("Save to:"), edtSavePath_);
    settingsRows->addRow(new QLabel(QStringLiteral("Profile Settings:")));
    settingsRows->addRow(frameInfo_);

    auto* left = new QWidget;
    auto* leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->addWidget(pgcSource_);
    tracks_ = new TFrameTracks;
    leftColumn->addWidget(tracks_);
    leftColumn->addWidget(settings);
    leftColumn->addStretch(1);

    preview_ = new FramePreview;
    auto* previewBox = new QGroupBox(QStringLiteral("Preview"));
    (new QVBoxLayout(previewBox))->addWidget(preview_);

    auto* split = new QSplitter(Qt::Horizontal);
    split->setChildrenCollapsible(false);
    split->addWidget(left);
    split->addWidget(previewBox);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    return page;
}

QWidget* TFormNewConversion::CreateButtons() {
    auto* row = new QWidget;
    btnBack_ = Button("btnBack", "< &Back", row);
    btnNext_ = Button("btnNext", "&Filter >", row);
    btnFinish_ = Button("btnFinish", "&Start Convert", row);
    btnCancel_ = Button("btnCancel", "Cancel", row);
    connect(btnBack_, &QPushButton::clicked, this, [this] { ShowPage(kSourcePage); });
    connect(btnNext_, &QPushButton::clicked, this, [this] { ShowPage(kFilterPage); });
    connect(btnFinish_, &QPushButton::clicked, this, &TFormNewConversion::Finish);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    for (QPushButton* button : {btnBack_, btnNext_, btnFinish_, btnCancel_}) {
        layout->addWidget(button);
    }
    return row;
}

void TFormNewConversion::ShowPage(int page) {
    pages_->setCurrentIndex(page);
    lblPageTitle_->setText(QString::fromLatin1(kPageTitles[page]));
    btnBack_->setVisible(page == kFilterPage);
    btnNext_->setVisible(page == kSourcePage);
    if (page == kFilterPage) {
        // Bars are looked for in one file; several files take the sides set by hand.
        crop_->SetSourceFile(DvdSheetShown() || ManyFiles() ? std::string()
                                                            : edtSource_->FileName().toStdString());
        crop_->RefreshPicture();
    }
}

bool TFormNewConversion::OnFilterPage() const {
    return pages_->currentIndex() == kFilterPage;
}

TAVProfile* TFormNewConversion::CurrentProfile() const {
    return cbbProfile_->currentIndex() < 0
               ? nullptr
               : static_cast<TAVProfile*>(cbbProfile_->currentData().value<void*>());
}

const dvd::DvdTitle* TFormNewConversion::CurrentTitle() const {
    return dvdSource_->CurrentTitle();
}

void TFormNewConversion::SetSourceFile(const QString& name) {
    presetting_ = true;
    edtSource_->SetFileName(name);
    presetting_ = false;
}

void TFormNewConversion::SetSourceFiles(const QStringList& names) {
    QStringList files;
    QStringList folders;
    for (const QString& name : names) {
        (QFileInfo(name).isDir() ? folders : files) << name;
    }
    if (files.size() == 1) {
        SetSourceFile(files.front());
    } else if (files.size() > 1) {
        // The same file twice is one source.
        TakeSourceFiles(files);
    }
    if (!folders.isEmpty()) {
        sources_->ListFolders(folders);
    }
}

bool TFormNewConversion::ManyFiles() const {
    return !DvdSheetShown() && sources_->Sources().size() >= 2;
}

bool TFormNewConversion::Busy() const {
    return !examining_.isEmpty() || sources_->Busy() || dvdSource_->Busy() || previewOpening_ ||
           finishing_ || listingTracks_ > 0;
}

void TFormNewConversion::SourceNameTaken(const QString& name) {
    if (!sources_->Sources().empty()) {
        // A file chosen or typed alone replaces the files listed.
        const QSignalBlocker quiet(sources_);
        sources_->SetFiles({});
        SourcesChanged();
    }
    ++examineRequest_;
    examining_.clear();
    spnSource_->SetBusy(false);
    // A name the caller set is not examined here; Finish checks it.
    if (presetting_ || name.isEmpty() || name == accepted_) {
        accepted_ = name;
        SourceChanged();
        return;
    }
    // Examining reads the file, which may deliver its bytes slowly (a pipe, a network share).
    const int request = examineRequest_;
    examining_ = name;
    spnSource_->SetBusy(true);
    UpdateReadyState();
    background_->Run([file = name.toStdString()] { return probe::IsSourceFile(file); },
                     [self = QPointer<TFormNewConversion>(this), request, name](bool accepted) {
                         if (self && request == self->examineRequest_) {
                             self->SourceExamined(name, accepted);
                         }
                     });
}

void TFormNewConversion::SourceExamined(const QString& name, bool accepted) {
    examining_.clear();
    spnSource_->SetBusy(false);
    const bool finish = std::exchange(finishWhenExamined_, false);
    if (!accepted) {
        platform::Messages().ShowError(probe::kInvalidSourceMessage);
        edtSource_->Revert(accepted_);
        UpdateReadyState();
        return;
    }
    accepted_ = name;
    SourceChanged();
    UpdateReadyState();
    if (finish) {
        Finish();
    }
}

void TFormNewConversion::TakeSourceFiles(const QStringList& files) {
    sources_->SetFiles(files);
    if (sources_->Sources().size() == 1) {
        const QString single = sources_->Files().front();
        edtSource_->SetFileName(single);
    }
}

void TFormNewConversion::FolderListed(const QStringList& files) {
    QStringList merged = sources_->Files();
    if (merged.isEmpty() && !accepted_.isEmpty() && examining_.isEmpty()) {
        merged << accepted_;
    }
    TakeSourceFiles(merged + files);
}

void TFormNewConversion::SourcesChanged() {
    const bool many = ManyFiles();
    if (many != manyShown_) {
        manyShown_ = many;
        preview_->SetMarksShown(!many);
        edtSavePath_->SetMode(many ? FileEdit::Mode::Folder : FileEdit::Mode::Save);
        edtSavePath_->SetDialogCaption(many ? QStringLiteral("Save to folder")
                                            : QStringLiteral("Save to"));
        if (many) {
            // The targets go into one folder, each named after its source.
            accepted_.clear();
            edtSavePath_->SetFileName(QString::fromStdString(categoryPath_));
        } else {
            edtSavePath_->SetFileName(QString());
            UpdateTargetName();
        }
    }
    if (many) {
        edtSource_->Revert(sources_->Files().front());
    }
    if (PreviewFile() != previewed_) {
        UpdatePreview();
    }
    UpdateReadyState();
}

void TFormNewConversion::FillOutputCategories() {
    const QSignalBlocker quiet(edtCategory_);
    edtCategory_->clear();
    if (!categories_) {
        return;
    }
    const QIcon folder = ThemeIcon(QStringLiteral("folder"));
    // Each category by its place in the tree ("Default / Trips"), in tree order.
    const std::function<void(TNodeObject&, const QString&)> add = [&](TNodeObject& node,
                                                                      const QString& above) {
        QString name = above;
        if (auto* category = dynamic_cast<TConvertedNode*>(&node)) {
            name += (above.isEmpty() ? QString() : QStringLiteral(" / ")) +
                    QString::fromStdString(category->CategoryName());
            edtCategory_->addItem(folder, name, category->ID());
            edtCategory_->setItemData(edtCategory_->count() - 1,
                                      QString::fromStdString(category->Path()), Qt::ToolTipRole);
        }
        for (TConvertedNode* child : categories_->Children(node)) {
            add(*child, name);
        }
    };
    for (TNodeObject* root : categories_->Roots()) {
        add(*root, QString());
    }
    // Until the user picks one, the default category in the configured output folder.
    edtCategory_->setCurrentIndex(edtCategory_->findData(1));
}

void TFormNewConversion::OutputCategoryChanged() {
    const TConvertedNode* category =
        categories_ ? categories_->FindCategory(edtCategory_->currentData().toInt()) : nullptr;
    if (!category) {
        return;
    }
    categoryId_ = category->ID();
    categoryPath_ =
        category->Path().empty() ? environment_.configuration->OutputFolder() : category->Path();
    if (ManyFiles()) {
        edtSavePath_->SetFileName(QString::fromStdString(categoryPath_));
        return;
    }
    edtSavePath_->SetFileName(QString::fromStdString(
        wizard::MoveIntoFolder(edtSavePath_->FileName().toStdString(), categoryPath_)));
}

void TFormNewConversion::CategoryChanged() {
    {
        const QSignalBlocker quiet(cbbProfile_);
        cbbProfile_->clear();
        const std::string category = cbbCategory_->currentText().toStdString();
        const bool others = cbbCategory_->currentData(kOtherProfilesRole).toBool();
        for (TAVProfile* profile : others ? environment_.profiles->ProfilesInNoCategory()
                                          : environment_.profiles->ProfilesInCategory(category)) {
            cbbProfile_->addItem(QString::fromStdString(profile->Description()),
                                 QVariant::fromValue(static_cast<void*>(profile)));
        }
        // The profile editor can empty a category; it then offers nothing to convert to.
        cbbProfile_->setCurrentIndex(cbbProfile_->count() > 0 ? 0 : -1);
    }
    ProfileChanged();
}

void TFormNewConversion::ProfileChanged() {
    const TAVProfile* profile = CurrentProfile();
    frameInfo_->ShowProfile(profile);
    btnEditProfile_->setEnabled(dynamic_cast<const TAVCustomAudioProfile*>(profile) != nullptr);
    trial_->Clear();
    if (!profile) {
        return;
    }
    tracks_->SetTargetExtension(profile->Extension());
    if (ManyFiles()) {
        // "Save to:" names the folder; each target takes the extension when it is named.
        profileExtension_ = profile->Extension();
        return;
    }
    const QString target = edtSavePath_->FileName();
    if (!target.isEmpty() && target.toStdString() == proposedTarget_) {
        // Still the wizard's own proposal: proposed afresh for the new extension.
        ProposeTarget(
            ReplaceProfileExtension(proposalBase_, profileExtension_, profile->Extension()));
    } else if (!target.trimmed().isEmpty()) {
        edtSavePath_->SetFileName(QString::fromStdString(ReplaceProfileExtension(
            target.toStdString(), profileExtension_, profile->Extension())));
    }
    profileExtension_ = profile->Extension();
}

void TFormNewConversion::ProposeTarget(const std::string& target) {
    // Never a file that exists or that another task converts into; a file the user picks on
    // purpose is another matter (the file dialog asks).
    proposalBase_ = target;
    proposedTarget_ = FreeTargetName(target, environment_.targetTaken);
    edtSavePath_->SetFileName(QString::fromStdString(proposedTarget_));
}

void TFormNewConversion::SourceChanged() {
    trial_->Clear();
    // A disc title's tracks are read only when it converts; several files keep what each holds.
    ListTracks(!DvdSheetShown() && !ManyFiles() && SourceValid()
                   ? edtSource_->FileName().toStdString()
                   : std::string());
    UpdatePreview();
    UpdateTargetName();
}

bool TFormNewConversion::DvdSheetShown() const {
    return pgcSource_->currentWidget() == dvdSource_;
}

bool TFormNewConversion::SourceValid() const {
    if (DvdSheetShown()) {
        return CurrentTitle() != nullptr && !dvdSource_->Busy();
    }
    if (ManyFiles()) {
        return !sources_->Busy() && !sources_->ReadyFiles().isEmpty();
    }
    const QFileInfo source(edtSource_->FileName());
    return examining_.isEmpty() && !edtSource_->FileName().isEmpty() && source.isFile();
}

QString TFormNewConversion::PreviewFile() const {
    if (ManyFiles()) {
        return sources_->ReadyFiles().value(0);
    }
    return edtSource_->FileName();
}

void TFormNewConversion::UpdatePreview() {
    const int request = ++previewRequest_;
    previewed_ = DvdSheetShown() ? QString() : PreviewFile();
    const bool valid = DvdSheetShown() ? SourceValid() : QFileInfo(previewed_).isFile();
    if (!valid) {
        previewOpening_ = false;
        preview_->Deactivate();
        return;
    }
    // Opening reads the file (or the disc) up to its first pictures.
    std::function<std::string()> name = [file = previewed_.toStdString()] { return file; };
    if (DvdSheetShown()) {
        name = dvdSource_->TitleStreamOpener();
    }
    auto source = std::make_shared<std::unique_ptr<preview::TFFPushSource>>(
        preview_->Playback().Graph().Player().MakeSource());
    previewOpening_ = true;
    background_->Run(
        [name, source] {
            PreviewLoad load;
            load.source = source;
            try {
                load.name = name();
                load.loaded = (*source)->Load(load.name);
            } catch (const EAVError& error) {
                load.failure = error.what();
            }
            if (!load.loaded) {
                DiscardStreamOf(load.name);
            }
            return load;
        },
        [self = QPointer<TFormNewConversion>(this), request](PreviewLoad load) {
            if (!self || request != self->previewRequest_) {
                return;
            }
            self->previewOpening_ = false;
            if (!load.failure.empty()) {
                self->preview_->Deactivate();
                platform::Messages().ShowError(load.failure);
                return;
            }
            self->preview_->ShowSource(load.loaded ? std::move(*load.source) : nullptr,
                                       QString::fromStdString(load.name));
        });
}

void TFormNewConversion::UpdateTargetName() {
    if (ManyFiles()) {
        return;  // "Save to:" names the folder
    }
    const TAVProfile* profile = CurrentProfile();
    const std::string extension = profile ? profile->Extension() : std::string();
    std::string target = edtSavePath_->FileName().toStdString();
    if (!DvdSheetShown() && SourceValid()) {
        target = wizard::FileSourceTarget(edtSource_->FileName().toStdString(), extension);
    } else if (DvdSheetShown() && CurrentTitle() && dvdSource_->ScannedDisc()) {
        target = wizard::DvdSourceTarget(dvdSource_->ScannedDisc()->label, CurrentTitle()->number,
                                         extension);
    }
    ProposeTarget(wizard::MoveIntoFolder(target, categoryPath_));
}

void TFormNewConversion::UpdateReadyState() {
    const bool ready =
        !finishing_ && wizard::ReadyToConvert(SourceValid(), edtSavePath_->FileName().toStdString(),
                                              CurrentProfile() != nullptr);
    btnNext_->setEnabled(ready);
    btnFinish_->setEnabled(ready);
    // A disc title is read by the conversion that takes it; a trial would take it first.
    trial_->SetAvailable(ready && !DvdSheetShown() && !ManyFiles(),
                         ManyFiles()
                             ? QStringLiteral("A trial takes one video file")
                             : QStringLiteral("A trial takes a video file, not a disc title"));
}

void TFormNewConversion::EditProfile() {
    TAVProfile* current = CurrentProfile();
    if (!dynamic_cast<TAVCustomAudioProfile*>(current)) {
        return;
    }
    TAVProfile* chosen = ExecuteEditProfile(this, *environment_.profiles, *current,
                                            UserProfileFileName(TAVConfiguration::ConfigFolder()));
    TW_ASSERT(chosen != nullptr);
    // The editor may have renamed, added or deleted profiles: the lists are filled afresh.
    int category = -1;
    for (int i = 0; i < cbbCategory_->count(); ++i) {
        if (SameText(cbbCategory_->itemText(i).toStdString(), chosen->Category())) {
            category = i;
            break;
        }
    }
    {
        const QSignalBlocker quiet(cbbCategory_);
        cbbCategory_->setCurrentIndex(category);
    }
    CategoryChanged();
    const int row = cbbProfile_->findData(QVariant::fromValue(static_cast<void*>(chosen)));
    if (row >= 0 && row != cbbProfile_->currentIndex()) {
        cbbProfile_->setCurrentIndex(row);
    }
}

std::string TFormNewConversion::TargetFolder() const {
    const std::string target = edtSavePath_->FileName().trimmed().toStdString();
    if (ManyFiles()) {
        return target;
    }
    return QFileInfo(QString::fromStdString(target)).absolutePath().toStdString();
}

void TFormNewConversion::Finish() {
    // A name being typed counts as typed.
    edtSource_->TakeTypedName();
    if (!examining_.isEmpty()) {
        // Taking it started its examination: Finish follows once it is accepted.
        finishWhenExamined_ = true;
        return;
    }
    // The source may have gone since the last tick.
    UpdateReadyState();
    TAVProfile* profile = CurrentProfile();
    if (!btnFinish_->isEnabled() || !profile) {
        return;
    }
    std::vector<std::string> problems;
    if (const auto* custom = dynamic_cast<const TAVCustomAudioProfile*>(profile)) {
        const std::string target = ManyFiles() ? wizard::FileSourceTarget("a", profile->Extension())
                                               : edtSavePath_->FileName().trimmed().toStdString();
        problems.push_back(profiles::ProfileProblem(*custom, target));
    }
    // The files the conversion reads, and where it writes, are looked at on the work pool: a
    // file may be slow to deliver its first bytes.
    std::vector<wizard::FileCheck> checks;
    if (!DvdSheetShown() && !ManyFiles()) {
        checks.push_back([file = edtSource_->FileName().toStdString()] {
            return probe::SourceFileProblem(file);
        });
    }
    if (OnFilterPage()) {
        for (int i = 0; i < filters_->Count(); ++i) {
            for (wizard::FileCheck& check : wizard::FilterFileChecks(filters_->FilterAt(i))) {
                checks.push_back(std::move(check));
            }
        }
    }
    checks.push_back([folder = TargetFolder()] { return probe::TargetFolderProblem(folder); });
    std::function<std::string()> openTitle;
    if (DvdSheetShown()) {
        openTitle = dvdSource_->TitleStreamOpener();
    }
    // Nothing the request is made of changes while it is checked.
    finishing_ = true;
    pages_->setEnabled(false);
    UpdateReadyState();
    const int request = ++finishRequest_;
    background_->Run(
        [checks, openTitle] {
            FinishCheck check;
            for (const wizard::FileCheck& fileCheck : checks) {
                check.problems.push_back(fileCheck());
            }
            const bool clear =
                std::all_of(check.problems.begin(), check.problems.end(),
                            [](const std::string& problem) { return problem.empty(); });
            if (clear && openTitle) {
                try {
                    check.dvdStream = openTitle();
                } catch (const EAVError& error) {
                    check.problems.push_back(error.what());
                }
            }
            return check;
        },
        [self = QPointer<TFormNewConversion>(this), request, problems](FinishCheck check) {
            if (!self || request != self->finishRequest_) {
                DiscardStreamOf(check.dvdStream);
                return;
            }
            // The files first, then the profile.
            std::vector<std::string> all = check.problems;
            all.insert(all.end(), problems.begin(), problems.end());
            self->Finished(all, check.dvdStream);
        });
}

void TFormNewConversion::Finished(const std::vector<std::string>& problems,
                                  const std::string& dvdStream) {
    finishing_ = false;
    pages_->setEnabled(true);
    QStringList lines;
    for (const std::string& problem : problems) {
        if (!problem.empty()) {
            lines << QString::fromStdString(problem);
        }
    }
    lines.removeDuplicates();
    TAVProfile* profile = CurrentProfile();
    if (!lines.isEmpty() || !profile) {
        DiscardStreamOf(dvdStream);
        UpdateReadyState();
        platform::Messages().ShowError(lines.join(QLatin1Char('\n')).toStdString());
        return;
    }
    DiscardStreamOf(dvdStream_);
    dvdStream_ = dvdStream;
    ApplyChoices(options_, *profile);
    accept();
}

void TFormNewConversion::ApplyChoices(TAVConvertOptions& options, const TAVProfile& profile) const {
    const std::optional<std::string> chain =
        OnFilterPage() ? std::optional<std::string>(filters_->ChainText()) : std::nullopt;
    wizard::PrepareFinishOptions(options, chain,
                                 environment_.configuration->PerformanceOptions().ThreadCount(),
                                 profile, environment_.configuration->KeepPictureShape());
    // Like the filters, the crop applies only when finishing from the filter page.
    options.VideoOptions().SetCrop(OnFilterPage() ? crop_->CropText() : std::string());
    options.AudioOptions().SetAudioTracks(tracks_->AudioTracksText());
    options.SubtitleOptions().SetSubtitleTracks(tracks_->SubtitleTracksText());
    if (OnFilterPage()) {
        options.VideoOptions().SetDeinterlace(cbbDeinterlace_->currentIndex() == 1);
        options.VideoOptions().SetDeinterlaceAuto(cbbDeinterlace_->currentIndex() == 2);
    }
}

void TFormNewConversion::StartTrial() {
    edtSource_->TakeTypedName();
    UpdateReadyState();
    const TAVProfile* profile = CurrentProfile();
    if (!btnFinish_->isEnabled() || !profile || DvdSheetShown() || ManyFiles()) {
        return;
    }
    // The request's own tree stays as the profile left it until Finish.
    auto options = std::make_shared<TAVConvertOptions>();
    options->Assign(options_);
    ApplyChoices(*options, *profile);
    const std::string source = edtSource_->FileName().toStdString();
    const wizard::Cut cut =
        wizard::CutOfSelection(preview_->SelectionStart(), preview_->SelectionEnd());
    // The span is measured on the work pool: the source may be slow to read.
    struct Measured {
        std::optional<engine::Span> span;
        std::string error;
    };
    background_->Run(
        [source, cut] {
            Measured measured;
            measured.span =
                engine::SpanOfSource(source, cut.startUs, cut.recordingUs, &measured.error);
            return measured;
        },
        [self = QPointer<TFormNewConversion>(this), source, options](Measured measured) {
            if (!self || self->edtSource_->FileName().toStdString() != source) {
                return;
            }
            if (!measured.span) {
                platform::Messages().ShowError(measured.error);
                return;
            }
            self->trial_->Run(
                source, self->edtSavePath_->FileName().toStdString(), *options, *measured.span,
                self->environment_.configuration->PerformanceOptions().RunInOwnProcess());
        });
}

void TFormNewConversion::ListTracks(const std::string& file) {
    if (file.empty()) {
        tracks_->ShowTracks(file, {});
        return;
    }
    ++listingTracks_;
    background_->Run(
        [file] { return probe::ListSourceTracks(file); },
        [self = QPointer<TFormNewConversion>(this), file](std::vector<probe::SourceTrack> tracks) {
            if (!self) {
                return;
            }
            --self->listingTracks_;
            // Only the answer for the file still chosen counts.
            if (self->edtSource_->FileName().toStdString() == file && !self->ManyFiles()) {
                self->tracks_->ShowTracks(file, tracks);
            }
        });
}

void TFormNewConversion::done(int result) {
    // A title change in progress would be left half done. Work on the pool is not waited for:
    // its answers find the form gone.
    if (dvdSource_->Scanning()) {
        return;
    }
    tmrUpdate_.stop();
    QDialog::done(result);
}

std::unique_ptr<TConversionSettings> TFormNewConversion::GetConversionSettings() {
    preview_->StopAndClear();
    TAVProfile* profile = CurrentProfile();
    TW_ASSERT(profile != nullptr);
    auto settings = std::make_unique<TConversionSettings>();
    if (DvdSheetShown()) {
        // Handed out: the task opens it.
        settings->SetSourceFile(std::exchange(dvdStream_, std::string()));
        const dvd::DvdDrive* disc = dvdSource_->ScannedDisc();
        settings->SetSourceType(stDvd);
        settings->SetDvdDriver(disc->discPath);
        settings->SetDvdTitle(CurrentTitle()->number);
        settings->SetDvdChapter(dvdSource_->Chapter());
        settings->SetDvdThrough(dvdSource_->Through());
        settings->SetDvdAngle(dvdSource_->Angle());
        settings->SetDvdVolume(disc->label);
    } else {
        settings->SetSourceFile(edtSource_->FileName().toStdString());
        settings->SetSourceType(stFile);
    }
    settings->SetTargetFile(edtSavePath_->FileName().toStdString());
    settings->SetProfile(profile->Description());
    settings->SetCategoryId(categoryId_);
    const wizard::Cut cut =
        wizard::CutOfSelection(preview_->SelectionStart(), preview_->SelectionEnd());
    options_.SetStartTime(cut.startUs);
    if (cut.recordingUs) {
        options_.SetRecordingTime(*cut.recordingUs);
    }
    settings->SetConvertOptions(options_);
    return settings;
}

ConversionRequests TFormNewConversion::GetConversionRequests() {
    ConversionRequests requests;
    if (!ManyFiles()) {
        requests.push_back(GetConversionSettings());
        return requests;
    }
    preview_->StopAndClear();
    TAVProfile* profile = CurrentProfile();
    TW_ASSERT(profile != nullptr);
    const std::string folder = edtSavePath_->FileName().trimmed().toStdString();
    // Each target is free of files on disk, of other tasks' targets and of the ones named here.
    std::set<std::string> named;
    const auto taken = [&](const std::string& target) {
        return named.count(platform::ComparablePath(target)) != 0 ||
               (environment_.targetTaken && environment_.targetTaken(target));
    };
    for (const QString& source : sources_->ReadyFiles()) {
        const std::string target = FreeTargetName(
            wizard::MoveIntoFolder(
                wizard::FileSourceTarget(source.toStdString(), profile->Extension()), folder),
            taken);
        named.insert(platform::ComparablePath(target));
        auto settings = std::make_unique<TConversionSettings>();
        settings->SetSourceFile(source.toStdString());
        settings->SetSourceType(stFile);
        settings->SetTargetFile(target);
        settings->SetProfile(profile->Description());
        settings->SetCategoryId(categoryId_);
        // No cut: the whole of every file.
        settings->SetConvertOptions(options_);
        requests.push_back(std::move(settings));
    }
    return requests;
}

ConversionRequests ExecuteNewConversion(QWidget* parent, const QStringList& sourceFiles,
                                        const WizardEnvironment& environment) {
    TFormNewConversion form(environment, parent);
    form.SetSourceFiles(sourceFiles);
    if (Dialogs().Exec(form) != QDialog::Accepted) {
        return {};
    }
    return form.GetConversionRequests();
}

NewConversionHook NewConversionWizard(TAVProfileList& profiles, TAVConfiguration& configuration,
                                      const TTaskEnvironment* tasks) {
    WizardEnvironment environment;
    environment.profiles = &profiles;
    environment.configuration = &configuration;
    environment.tasks = tasks;
    environment.background = tasks ? tasks->Background : nullptr;
    if (tasks) {
        environment.targetTaken = [tasks](const std::string& file) {
            return tasks->Converting && tasks->Converting->HoldsTarget(file);
        };
    }
    return [environment](QWidget* parent, const QStringList& sourceFiles) {
        return ExecuteNewConversion(parent, sourceFiles, environment);
    };
}

}  // namespace tw::ui
