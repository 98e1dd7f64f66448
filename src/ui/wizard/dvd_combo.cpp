#include "wizard/dvd_combo.h"

#include <QFileInfo>
#include <QSignalBlocker>

#include "app/file_dialog_service.h"
#include "app/icons.h"
#include "platform/message_service.h"

namespace tw::ui {

TDvdCombo::TDvdCombo(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("cbbDvd"));
    setPlaceholderText(QStringLiteral("Select a disc"));
    connect(this, &QComboBox::currentIndexChanged, this, &TDvdCombo::OnIndexChanged);
}

void TDvdCombo::SetDrives(const std::vector<dvd::DvdDrive>& drives) {
    const QSignalBlocker quiet(this);
    clear();
    discs_ = drives;
    const QIcon drive = ThemeIcon(QStringLiteral("media-optical"));
    for (const dvd::DvdDrive& disc : discs_) {
        addItem(drive, QString::fromStdString(dvd::DriveChoiceText(disc.device, disc.label)));
    }
    addItem(ThemeIcon(QStringLiteral("folder")), QString::fromUtf8(kPickImageText));
    setCurrentIndex(-1);
    selected_ = -1;
}

const dvd::DvdDrive* TDvdCombo::DiscAt(int index) const {
    if (index < 0 || index >= static_cast<int>(discs_.size())) {
        return nullptr;
    }
    return &discs_[static_cast<size_t>(index)];
}

void TDvdCombo::OnIndexChanged(int index) {
    if (index < 0) {
        return;
    }
    if (index == static_cast<int>(discs_.size())) {
        index = PickImage();
        Reselect(index >= 0 ? index : selected_);
        if (index < 0) {
            return;
        }
    }
    selected_ = index;
    emit DiscSelected(index);
}

int TDvdCombo::PickImage() {
    QString start;
    if (const dvd::DvdDrive* last = DiscAt(selected_)) {
        start = QFileInfo(QString::fromStdString(last->discPath)).absolutePath();
    }
    const QString file = FileDialogs().OpenFileName(
        this, QString::fromUtf8(kPickImageText), start,
        {QStringLiteral("DVD images and folders (*.iso *.ISO VIDEO_TS.IFO video_ts.ifo)"),
         QStringLiteral("All Files (*)")});
    if (file.isEmpty()) {
        return -1;
    }
    const std::string path = dvd::DiscPathOfPickedFile(file.toStdString());
    const std::optional<std::string> label =
        path.empty() ? std::nullopt : dvd::ReadDvdVideoLabel(path);
    if (!label) {
        platform::Messages().ShowError("Can not open DVD");
        return -1;
    }
    for (size_t i = 0; i < discs_.size(); ++i) {
        if (discs_[i].discPath == path) {
            return static_cast<int>(i);
        }
    }
    discs_.push_back({path, path, *label});
    const int index = static_cast<int>(discs_.size()) - 1;
    const QSignalBlocker quiet(this);
    insertItem(index, ThemeIcon(QStringLiteral("folder")),
               QString::fromStdString(dvd::DriveChoiceText(path, *label)));
    return index;
}

void TDvdCombo::Reselect(int index) {
    const QSignalBlocker quiet(this);
    setCurrentIndex(index);
}

}  // namespace tw::ui
