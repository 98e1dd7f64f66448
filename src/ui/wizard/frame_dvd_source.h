#pragma once

// The wizard's "Dvd" sheet: the disc list, and the title, angle, chapter and through lists of the
// disc scanned last. Picking a disc scans it (unless it is the disc scanned last), on the work
// pool when there is one: the lists are disabled and "Scanning disc…" turns meanwhile, and then
// the first title is selected. A title change fills the angle list and the chapter range with
// chapter 1 through the last chapter. The user may then pick another angle and range; the
// through list offers only the chosen chapter and those after it. UI thread only.

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "dvd/dvd_drives.h"
#include "dvd/dvd_navigator.h"

class QComboBox;
class QLabel;

namespace tw::platform {
class WorkPool;
}

namespace tw::ui {

class BusySpinner;
class TDvdCombo;

class TFrameDvdSource : public QWidget {
    Q_OBJECT

public:
    explicit TFrameDvdSource(QWidget* parent = nullptr);

    // The titles of a disc; throws EAVError "Can not open DVD" (dvd::ScanDiscTitles).
    using TitleScan = std::function<std::vector<dvd::DvdTitle>(const std::string& discPath)>;

    TDvdCombo* DriveList() const { return cbbDvd_; }

    // Where discs are read (their labels, their titles, the drives); none: on the UI thread.
    // scan: how titles are scanned; none: the DVD library.
    void SetBackground(platform::WorkPool* pool, TitleScan scan);
    // Lists the drives findDrives finds (on the work pool, the list saying so meanwhile).
    void FindDrives(std::function<std::vector<dvd::DvdDrive>()> findDrives);

    // True while a title change fills the lists.
    bool Scanning() const { return scanning_; }
    // True while drives are looked for, a picked disc is read or a disc is scanned.
    bool Busy() const;
    // The selected title, or null.
    const dvd::DvdTitle* CurrentTitle() const;
    // The disc the listed titles come from, or null before the first scan.
    const dvd::DvdDrive* ScannedDisc() const;
    // The integer values of the chapter, through and angle lists' texts (0 when empty).
    int Chapter() const;
    int Through() const;
    int Angle() const;

    // What makes a stream object over the selected title's chapter range and angle and returns
    // its "stream:N" name (opening the disc), taken now so that it may run on another thread. It
    // throws EAVError when the disc cannot give the stream.
    std::function<std::string()> TitleStreamOpener() const;

signals:
    // A scan is about to read the disc: whatever plays from a disc stops first.
    void scanStarting();
    // The selected title changed and its lists are filled.
    void titleChanged();
    // The user picked another angle, first chapter or last chapter of the same title.
    void rangeChanged();

private:
    void ScanDvd(int index);
    // A scan's outcome: the titles, or why there are none (empty: the scan did not run).
    void TakeScan(const dvd::DvdDrive& disc, std::vector<dvd::DvdTitle> titles,
                  const std::string& failure);
    void ShowBusy();
    void OnTitleChanged();
    void OnChapterChanged();

    TDvdCombo* cbbDvd_;
    BusySpinner* spinner_;
    QLabel* lblBusy_;
    QComboBox* cbbTitle_;
    QComboBox* cbbAngle_;
    QComboBox* cbbChapter_;
    QComboBox* cbbThrough_;
    int dvdIndex_ = -1;  // the disc list position scanned last; -1 so the first pick scans
    std::vector<dvd::DvdTitle> titles_;
    dvd::DvdDrive scannedDisc_;
    bool scanning_ = false;
    platform::WorkPool* background_ = nullptr;
    TitleScan scanTitles_;
    bool lookingForDrives_ = false;
    int scanRequest_ = 0;  // the scan whose outcome is awaited; earlier ones are dropped
    bool scanRunning_ = false;
};

}  // namespace tw::ui
