#pragma once

// The wizard's "Dvd" sheet: the disc list, and the title, angle, chapter and through lists of the
// disc scanned last. Picking a disc scans it (unless it is the disc scanned last): the sheet is
// disabled and the busy cursor shown meanwhile, and the first title is selected. A title change
// fills the angle list and the chapter range with chapter 1 through the last chapter. The user
// may then pick another angle and range; the through list offers only the chosen chapter and
// those after it. UI thread only.

#include <QWidget>
#include <string>
#include <vector>

#include "dvd/dvd_drives.h"
#include "dvd/dvd_navigator.h"

class QComboBox;

namespace tw::ui {

class TDvdCombo;

class TFrameDvdSource : public QWidget {
    Q_OBJECT

public:
    explicit TFrameDvdSource(QWidget* parent = nullptr);

    TDvdCombo* DriveList() const { return cbbDvd_; }

    // True while a title change fills the lists.
    bool Scanning() const { return scanning_; }
    // The selected title, or null.
    const dvd::DvdTitle* CurrentTitle() const;
    // The disc the listed titles come from, or null before the first scan.
    const dvd::DvdDrive* ScannedDisc() const;
    // The integer values of the chapter, through and angle lists' texts (0 when empty).
    int Chapter() const;
    int Through() const;
    int Angle() const;

    // Makes a stream object over the selected title's chapter range and angle and returns its
    // "stream:N" name. Throws EAVError when the disc cannot give it.
    std::string OpenTitleStream() const;

signals:
    // A scan is about to read the disc: whatever plays from a disc stops first.
    void scanStarting();
    // The selected title changed and its lists are filled.
    void titleChanged();
    // The user picked another angle, first chapter or last chapter of the same title.
    void rangeChanged();

private:
    void ScanDvd(int index);
    void OnTitleChanged();
    void OnChapterChanged();

    TDvdCombo* cbbDvd_;
    QComboBox* cbbTitle_;
    QComboBox* cbbAngle_;
    QComboBox* cbbChapter_;
    QComboBox* cbbThrough_;
    int dvdIndex_ = -1;  // the disc list position scanned last; -1 so the first pick scans
    std::vector<dvd::DvdTitle> titles_;
    dvd::DvdDrive scannedDisc_;
    bool scanning_ = false;
};

}  // namespace tw::ui
