#pragma once

// The wizard's disc list: the optical drives holding a DVD-Video, each as "%s: [%s]" (device and
// volume label), then "Disc image or folder…", which asks for an .iso image or a VIDEO_TS folder
// (by its VIDEO_TS.IFO) and adds it as one more disc. The list starts with no selection; picking
// a disc announces it, picking an image or folder that is no DVD-Video shows "Can not open DVD"
// and goes back to the disc selected before. A picked image or folder is read on the work pool
// when there is one (the list is disabled meanwhile). UI thread only.

#include <QComboBox>
#include <optional>
#include <string>
#include <vector>

#include "dvd/dvd_drives.h"

namespace tw::platform {
class WorkPool;
}

namespace tw::ui {

class TDvdCombo : public QComboBox {
    Q_OBJECT

public:
    static constexpr char kPickImageText[] = "Disc image or folder…";
    static constexpr char kLookingText[] = "Looking for discs…";

    explicit TDvdCombo(QWidget* parent = nullptr);

    // Where a picked image or folder is read; none: on the UI thread.
    void SetBackground(platform::WorkPool* pool) { background_ = pool; }

    // Lists these drives, then the image entry; nothing selected.
    void SetDrives(const std::vector<dvd::DvdDrive>& drives);
    // While the drives are looked for: the list says so and cannot be opened.
    void ShowLooking();

    // The disc at a list position; null for the image entry or a position off the list.
    const dvd::DvdDrive* DiscAt(int index) const;
    const dvd::DvdDrive* SelectedDisc() const { return DiscAt(currentIndex()); }
    // A picked image or folder is being read.
    bool Reading() const { return reading_; }

signals:
    // A disc became the selection (a listed one, or an image or folder just picked).
    void DiscSelected(int index);
    void readingChanged(bool reading);

private:
    void OnIndexChanged(int index);
    // Asks for an image or a folder and has it read.
    void PickImage();
    // The label read for a picked disc path (none: no DVD-Video there).
    void TakePicked(const std::string& path, const std::optional<std::string>& label);
    void SetReading(bool reading);
    void Reselect(int index);

    std::vector<dvd::DvdDrive> discs_;  // the entries before the image entry, in list order
    int selected_ = -1;                 // the disc selected before the image entry was chosen
    platform::WorkPool* background_ = nullptr;
    bool reading_ = false;
};

}  // namespace tw::ui
