#include "wizard/dvd_combo.h"

#include <QFileInfo>
#include <QPointer>
#include <QSignalBlocker>

#include "app/file_dialog_service.h"
#include "app/icons.h"
#include "platform/message_service.h"
#include "platform/work_pool.h"

namespace tw::ui {

TDvdCombo::TDvdCombo(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("cbbDvd"));
    setPlaceholderText(QStringLiteral("Select a disc"));
    connect(this, &QComboBox::currentIndexChanged, this, &TDvdCombo::OnIndexChanged);
}

void TDvdCombo::SetDrives(const std::vector<dvd::DvdDrive>& drives) {
    const QSignalBlocker quiet(this);
    clear();
    setEnabled(true);
    setPlaceholderText(QStringLiteral("Select a disc"));
    discs_ = drives;
    const QIcon drive = ThemeIcon(QStringLiteral("media-optical"));
    for (const dvd::DvdDrive& disc : discs_) {
        addItem(drive, QString::fromStdString(dvd::DriveChoiceText(disc.device, disc.label)));
    }
    addItem(ThemeIcon(QStringLiteral("folder")), QString::fromUtf8(kPickImageText));
    setCurrentIndex(-1);
    selected_ = -1;
}

void TDvdCombo::ShowLooking() {
    const QSignalBlocker quiet(this);
    clear();
    discs_.clear();
    selected_ = -1;
    setPlaceholderText(QString::fromUtf8(kLookingText));
    setEnabled(false);
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
        // The disc selected before stays so until the picked one is known.
        Reselect(selected_);
        PickImage();
        return;
    }
    selected_ = index;
    emit DiscSelected(index);
}

void TDvdCombo::PickImage() {
    QString start;
    if (const dvd::DvdDrive* last = DiscAt(selected_)) {
        start = QFileInfo(QString::fromStdString(last->discPath)).absolutePath();
    }
    const QString file = FileDialogs().OpenFileName(
        this, QString::fromUtf8(kPickImageText), start,
        {QStringLiteral("DVD images and folders (*.iso *.ISO VIDEO_TS.IFO video_ts.ifo)"),
         QStringLiteral("All Files (*)")});
    if (file.isEmpty()) {
        return;
    }
    const std::string path = dvd::DiscPathOfPickedFile(file.toStdString());
    if (path.empty()) {
        TakePicked(path, std::nullopt);
        return;
    }
    if (!background_) {
        TakePicked(path, dvd::ReadDvdVideoLabel(path));
        return;
    }
    // Reading a disc may take as long as a drive needs to spin up.
    SetReading(true);
    background_->Run([path] { return dvd::ReadDvdVideoLabel(path); },
                     [self = QPointer<TDvdCombo>(this), path](std::optional<std::string> label) {
                         if (self) {
                             self->SetReading(false);
                             self->TakePicked(path, label);
                         }
                     });
}

void TDvdCombo::TakePicked(const std::string& path, const std::optional<std::string>& label) {
    if (!label) {
        platform::Messages().ShowError("Can not open DVD");
        Reselect(selected_);
        return;
    }
    int index = -1;
    for (size_t i = 0; i < discs_.size(); ++i) {
        if (discs_[i].discPath == path) {
            index = static_cast<int>(i);
        }
    }
    if (index < 0) {
        discs_.push_back({path, path, *label});
        index = static_cast<int>(discs_.size()) - 1;
        const QSignalBlocker quiet(this);
        insertItem(index, ThemeIcon(QStringLiteral("folder")),
                   QString::fromStdString(dvd::DriveChoiceText(path, *label)));
    }
    Reselect(index);
    selected_ = index;
    emit DiscSelected(index);
}

void TDvdCombo::SetReading(bool reading) {
    reading_ = reading;
    setEnabled(!reading);
    emit readingChanged(reading);
}

void TDvdCombo::Reselect(int index) {
    const QSignalBlocker quiet(this);
    setCurrentIndex(index);
}

}  // namespace tw::ui
