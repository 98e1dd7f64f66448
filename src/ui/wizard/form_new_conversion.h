#pragma once

// The new-conversion wizard ("New Conversion Wizard"). Page "Select Source File": the source (a
// file, typed or chosen, or a title of a disc on the "Dvd" sheet), the profile by category and
// name (the profiles no category lists under "Other"), the category of converted files the task
// is filed under ("Category:", whose folder the target moves into), the target ("Save to:"), the
// profile's facts and the preview with its start-end selection. Page "Filters Settings": the
// video filters. Finish on either page makes the request; filters apply only when finishing from
// the filter page. Before it closes, Finish checks the files the conversion will read, the
// target's folder and the profile's container and codecs, and says what is wrong instead of
// starting. Below the pages, a trial run of a video file with the settings Finish would take.
//
// Several files (chosen together, a folder's, dropped or handed over) are converted alike: one
// profile, the same filters, no cut, one target folder ("Save to:" then names the folder), each
// target named after its source and numbered where two would meet. They are listed with what
// their examination found; a refused one is left out. One file keeps the wizard as it is.
//
// Whatever reads a disc or a file (examining a source, listing a folder, finding drives, scanning
// a disc, opening the preview, the checks of Finish) runs on the work pool, with a busy
// indicator where the user waits and the controls that would act on half-known state disabled
// meanwhile; the window never waits for it, and closing drops what it would answer.
//
// The form holds an options tree that the chosen profile writes into and that the requests
// finally copy. UI thread only.

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
class QLineEdit;
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

namespace tw::platform {
class WorkPool;
}

namespace tw::ui {

class BusySpinner;
class FileEdit;
class FramePreview;
class TFrameSources;
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
    // Where slow work goes; none: a pool of the wizard's own.
    platform::WorkPool* background = nullptr;
    // The titles of a disc; none: the DVD library's scan.
    std::function<std::vector<dvd::DvdTitle>(const std::string& discPath)> scanTitles;
};

class TFormNewConversion : public QDialog {
    Q_OBJECT

public:
    explicit TFormNewConversion(const WizardEnvironment& environment, QWidget* parent = nullptr);
    ~TFormNewConversion() override;

    // Sets the source as the caller's pre-set (not probed).
    void SetSourceFile(const QString& name);
    // The caller's sources: one file as SetSourceFile; several, and folders (their media files),
    // are converted alike.
    void SetSourceFiles(const QStringList& names);
    // The request of a single source; the caller owns it.
    std::unique_ptr<TConversionSettings> GetConversionSettings();
    // One request per source (the refused ones left out), in list order.
    ConversionRequests GetConversionRequests();

    // The selected profile, or null when the category has none.
    TAVProfile* CurrentProfile() const;
    // The selected disc title, or null.
    const dvd::DvdTitle* CurrentTitle() const;
    bool OnFilterPage() const;
    // Several files are converted alike.
    bool ManyFiles() const;
    // Work off the UI thread is under way (a source examined, a folder listed, drives looked
    // for, a disc read or scanned, the preview opened, Finish checking).
    bool Busy() const;
    // The ready state's tick: enables Next and Finish while the conversion could start.
    void UpdateReadyState();

    FramePreview& Preview() const { return *preview_; }
    TFrameDvdSource& DvdSource() const { return *dvdSource_; }
    TFrameFilters& Filters() const { return *filters_; }
    TFrameSources& Sources() const { return *sources_; }
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
    // A name was taken into the source field: examined (unless the caller set it), and the
    // source once accepted.
    void SourceNameTaken(const QString& name);
    void SourceExamined(const QString& name, bool accepted);
    // The files listed for converting alike changed.
    void SourcesChanged();
    // Files a folder holds join the source (or sources).
    void FolderListed(const QStringList& files);
    // Lists the files to convert alike; one alone becomes the source.
    void TakeSourceFiles(const QStringList& files);
    bool DvdSheetShown() const;
    bool SourceValid() const;
    // The file the preview shows: the source, or the first of several that is ready.
    QString PreviewFile() const;
    // Opens the source in the preview, on the work pool.
    void UpdatePreview();
    void UpdateTargetName();
    // Shows target as the target, numbered past files that exist and other tasks' targets.
    void ProposeTarget(const std::string& target);
    void EditProfile();
    // The folder the targets go into.
    std::string TargetFolder() const;
    // Checks, then closes: the profile at once, the files and the folder on the work pool (and
    // for a disc title the stream the request will read is made there).
    void Finish();
    void Finished(const std::vector<std::string>& problems, const std::string& dvdStream);
    platform::WorkPool& Background() const { return *background_; }
    // What the pages choose beyond the profile (filters, crop, tracks, deinterlacing), with the
    // profile's settings, into options.
    void ApplyChoices(TAVConvertOptions& options, const TAVProfile& profile) const;
    // Converts a sample of the span with the chosen settings (one file source only).
    void StartTrial();
    // Lists file's sound and subtitle tracks, read on the work pool (none: empty).
    void ListTracks(const std::string& file);

    WizardEnvironment environment_;
    std::unique_ptr<platform::WorkPool> ownBackground_;
    platform::WorkPool* background_ = nullptr;
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

    // The single source: the name accepted last, and the one being examined (empty: none).
    QString accepted_;
    QString examining_;
    int examineRequest_ = 0;
    bool presetting_ = false;
    // Whether the form shows several sources (the list, a target folder, no cut).
    bool manyShown_ = false;
    int previewRequest_ = 0;
    bool previewOpening_ = false;
    QString previewed_;
    int finishRequest_ = 0;
    bool finishing_ = false;
    int listingTracks_ = 0;  // track listings on the work pool
    bool finishWhenExamined_ = false;
    // The stream of a disc title the request reads, made by Finish; freed unless handed out.
    std::string dvdStream_;

    QStackedWidget* pages_;
    QLabel* lblPageTitle_;
    QTabWidget* pgcSource_;
    FileEdit* edtSource_;
    BusySpinner* spnSource_;
    TFrameSources* sources_;
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

// Runs the wizard modally with the sources pre-set (none, one, or several converted alike) and
// returns the requests, or none when the user cancels.
ConversionRequests ExecuteNewConversion(QWidget* parent, const QStringList& sourceFiles,
                                        const WizardEnvironment& environment);

// The main window's hook that opens this wizard; tasks: where the categories are read from, and
// whose unfinished tasks' targets a proposed target steps past.
NewConversionHook NewConversionWizard(TAVProfileList& profiles, TAVConfiguration& configuration,
                                      const TTaskEnvironment* tasks = nullptr);

}  // namespace tw::ui
