#pragma once

// The new-conversion wizard ("New Conversion Wizard"). Page "Select Source File": the source (a
// file, typed or chosen, or a title of a disc on the "Dvd" sheet), the profile by category and
// name (the profiles no category lists under "Other"), the category of converted files the task
// is filed under ("Category:", whose folder the target moves into), the target ("Save to:"), the
// profile's facts and the preview with its start-end selection. Page "Filters Settings": the
// video filters. Finish on either page makes the request; filters apply only when finishing from
// the filter page. Before it closes, Finish checks the files the conversion will read and the
// profile's container and codecs, and says what is wrong instead of starting. Below the pages,
// a trial run of a video file with the settings Finish would take.
//
// The form holds an options tree that the chosen profile writes into and that the request
// finally copies. Stream objects made for previewing disc titles and never opened are freed when
// the form goes. UI thread only.

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dvd/dvd_drives.h"
#include "engine/convert_options.h"
#include "shell/new_conversion.h"
#include "tasks/category_tree.h"
#include "tasks/conversion_settings.h"
#include "tasks/task_environment.h"

class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace tw {
class TAVConfiguration;
class TAVProfile;
class TAVProfileList;
}  // namespace tw

namespace tw::dvd {
struct DvdTitle;
}

namespace tw::ui {

class FileEdit;
class FramePreview;
class TFrameDvdSource;
class TFrameCrop;
class TFrameFilters;
class TFrameTracks;
class TFrameTrial;
class TFrameVideoInfo;

// What the wizard works with; each must outlive it.
struct WizardEnvironment {
    TAVProfileList* profiles = nullptr;
    TAVConfiguration* configuration = nullptr;
    // The optical drives with a DVD-Video; none: the system's.
    std::function<std::vector<dvd::DvdDrive>()> findDrives;
    // Where the categories of converted files are read from; none: the picker offers none and
    // tasks go to the default category.
    const TTaskEnvironment* tasks = nullptr;
    // Whether an unfinished task already converts into this file; none: no task does.
    std::function<bool(const std::string& target)> targetTaken;
};

class TFormNewConversion : public QDialog {
    Q_OBJECT

public:
    explicit TFormNewConversion(const WizardEnvironment& environment, QWidget* parent = nullptr);
    ~TFormNewConversion() override;

    // Sets the source as the caller's pre-set (not probed).
    void SetSourceFile(const QString& name);
    // The request; the caller owns it. Throws EAVError when a disc title cannot be opened.
    std::unique_ptr<TConversionSettings> GetConversionSettings();

    // The selected profile, or null when the category has none.
    TAVProfile* CurrentProfile() const;
    // The selected disc title, or null.
    const dvd::DvdTitle* CurrentTitle() const;
    bool OnFilterPage() const;
    // The ready state's tick: enables Next and Finish while the conversion could start.
    void UpdateReadyState();

    FramePreview& Preview() const { return *preview_; }
    TFrameDvdSource& DvdSource() const { return *dvdSource_; }
    TFrameFilters& Filters() const { return *filters_; }
    TFrameCrop& Crop() const { return *crop_; }
    TFrameTracks& Tracks() const { return *tracks_; }
    TFrameTrial& Trial() const { return *trial_; }

    void done(int result) override;

private:
    QWidget* CreateSourcePage();
    QWidget* CreateButtons();
    void ShowPage(int page);

    void FillOutputCategories();
    void OutputCategoryChanged();
    void CategoryChanged();
    void ProfileChanged();
    void SourceChanged();
    bool DvdSheetShown() const;
    bool SourceValid() const;
    // The name the preview and the request open: the file, or a new "stream:N" for the title.
    std::string SourceName();
    void UpdatePreview();
    void UpdateTargetName();
    // Shows target as the target, numbered past files that exist and other tasks' targets.
    void ProposeTarget(const std::string& target);
    void EditProfile();
    // What keeps the conversion from starting, one line each; empty when nothing does.
    QStringList FinishProblems(const TAVProfile& profile) const;
    // What the pages choose beyond the profile (filters, crop, tracks, deinterlacing), with the
    // profile's settings, into options.
    void ApplyChoices(TAVConvertOptions& options, const TAVProfile& profile) const;
    void Finish();
    // Converts a sample of the span with the chosen settings (file sources only).
    void StartTrial();

    WizardEnvironment environment_;
    TAVConvertOptions options_;
    // The category holder: new tasks go to this folder and category (0: the default one, in the
    // configured output folder, until the user picks one).
    std::string categoryPath_;
    int categoryId_ = 0;
    TTaskEnvironment categoryEnvironment_;
    std::unique_ptr<TCategoryTree> categories_;
    std::string profileExtension_;  // of the profile selected last
    // The target the wizard proposed last, and what it was numbered from; a target the user
    // typed or picked differs.
    std::string proposedTarget_;
    std::string proposalBase_;
    std::vector<int> previewStreams_;

    QStackedWidget* pages_;
    QLabel* lblPageTitle_;
    QTabWidget* pgcSource_;
    FileEdit* edtSource_;
    TFrameDvdSource* dvdSource_;
    QComboBox* cbbCategory_;
    QComboBox* cbbProfile_;
    QComboBox* edtCategory_;
    QPushButton* btnEditProfile_;
    FileEdit* edtSavePath_;
    TFrameVideoInfo* frameInfo_;
    FramePreview* preview_;
    TFrameFilters* filters_;
    TFrameCrop* crop_;
    QComboBox* cbbDeinterlace_;
    TFrameTracks* tracks_ = nullptr;
    TFrameTrial* trial_;
    QPushButton* btnBack_;
    QPushButton* btnNext_;
    QPushButton* btnFinish_;
    QPushButton* btnCancel_;
    QTimer tmrUpdate_;
};

// Runs the wizard modally with sourceFile pre-set (empty: none) and returns the request, or none
// when the user cancels (or a disc title cannot be opened, which the error box says).
std::unique_ptr<TConversionSettings> ExecuteNewConversion(QWidget* parent,
                                                          const QString& sourceFile,
                                                          const WizardEnvironment& environment);

// The main window's hook that opens this wizard; tasks: where the categories are read from, and
// whose unfinished tasks' targets a proposed target steps past.
NewConversionHook NewConversionWizard(TAVProfileList& profiles, TAVConfiguration& configuration,
                                      const TTaskEnvironment* tasks = nullptr);

}  // namespace tw::ui
