#pragma once

// The wizard's disc list: the optical drives holding a DVD-Video, each as "%s: [%s]" (device and
// volume label), then "Disc image or folder…", which asks for an .iso image or a VIDEO_TS folder
// (by its VIDEO_TS.IFO) and adds it as one more disc. The list starts with no selection; picking
// a disc announces it, picking an image or folder that is no DVD-Video shows "Can not open DVD"
// and goes back to the disc selected before. UI thread only.

#include <QComboBox>
#include <vector>

#include "dvd/dvd_drives.h"

namespace tw::ui {

class TDvdCombo : public QComboBox {
    Q_OBJECT

public:
    static constexpr char kPickImageText[] = "Disc image or folder…";

    explicit TDvdCombo(QWidget* parent = nullptr);

    // Lists these drives, then the image entry; nothing selected.
    void SetDrives(const std::vector<dvd::DvdDrive>& drives);

    // The disc at a list position; null for the image entry or a position off the list.
    const dvd::DvdDrive* DiscAt(int index) const;
    const dvd::DvdDrive* SelectedDisc() const { return DiscAt(currentIndex()); }

signals:
    // A disc became the selection (a listed one, or an image or folder just picked).
    void DiscSelected(int index);

private:
    void OnIndexChanged(int index);
    // Asks for an image or a folder; its position once listed, or -1.
    int PickImage();
    void Reselect(int index);

    std::vector<dvd::DvdDrive> discs_;  // the entries before the image entry, in list order
    int selected_ = -1;                 // the disc selected before the image entry was chosen
};

}  // namespace tw::ui
