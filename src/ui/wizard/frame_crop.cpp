#include "wizard/frame_crop.h"

#include <QGridLayout>
#include <algorithm>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QSpinBox>

#include "engine/black_bar_detection.h"
#include "preview/video_view.h"

namespace tw::ui {

namespace {
constexpr int kMostPixels = 16384;
}

TFrameCrop::TFrameCrop(QWidget* parent)
    : QGroupBox(QStringLiteral("&Crop"), parent),
      sedTop_(new QSpinBox),
      sedBottom_(new QSpinBox),
      sedLeft_(new QSpinBox),
      sedRight_(new QSpinBox),
      btnDetect_(new QPushButton(QStringLiteral("&Detect Black Bars"))),
      lblState_(new QLabel),
      view_(new VideoView) {
    setObjectName(QStringLiteral("gbCrop"));
    setCheckable(true);
    setChecked(false);
    view_->setObjectName(QStringLiteral("vwCrop"));
    view_->setMinimumSize(192, 108);
    btnDetect_->setObjectName(QStringLiteral("btnDetectBars"));
    lblState_->setObjectName(QStringLiteral("lblCropState"));
    lblState_->setWordWrap(true);

    auto* layout = new QGridLayout(this);
    const struct {
        QSpinBox* box;
        const char* name;
        const char* caption;
    } sides[] = {{sedTop_, "sedCropTop", "&Top:"},
                 {sedBottom_, "sedCropBottom", "&Bottom:"},
                 {sedLeft_, "sedCropLeft", "&Left:"},
                 {sedRight_, "sedCropRight", "&Right:"}};
    int row = 0;
    for (const auto& side : sides) {
        side.box->setObjectName(QString::fromLatin1(side.name));
        side.box->setRange(0, kMostPixels);
        side.box->setSuffix(QStringLiteral(" px"));
        auto* label = new QLabel(QString::fromLatin1(side.caption));
        label->setBuddy(side.box);
        layout->addWidget(label, row, 0);
        layout->addWidget(side.box, row, 1);
        connect(side.box, &QSpinBox::valueChanged, this, &TFrameCrop::AreaChanged);
        ++row;
    }
    layout->addWidget(btnDetect_, row++, 0, 1, 2);
    layout->addWidget(lblState_, row, 0, 1, 2);
    layout->setRowStretch(row, 1);
    layout->addWidget(view_, 0, 2, row + 1, 1);
    layout->setColumnStretch(2, 1);

    connect(btnDetect_, &QPushButton::clicked, this, &TFrameCrop::DetectBars);
    connect(this, &QGroupBox::toggled, this, &TFrameCrop::AreaChanged);
}

TFrameCrop::~TFrameCrop() = default;

void TFrameCrop::SetSourceFile(const std::string& path) {
    if (path != sourceFile_) {
        ++generation_;
        detecting_ = false;
        lblState_->clear();
    }
    sourceFile_ = path;
    btnDetect_->setEnabled(!path.empty() && !detecting_);
    btnDetect_->setToolTip(path.empty() ? QStringLiteral("Black bars are looked for in files only")
                                        : QString());
}

void TFrameCrop::RefreshPicture() {
    view_->SetPicture(pictureSource_ ? pictureSource_() : nullptr);
    AreaChanged();
}

engine::CropArea TFrameCrop::Area() const {
    return {sedTop_->value(), sedBottom_->value(), sedLeft_->value(), sedRight_->value()};
}

void TFrameCrop::SetArea(const engine::CropArea& area) {
    const QSignalBlocker quietTop(sedTop_), quietBottom(sedBottom_), quietLeft(sedLeft_),
        quietRight(sedRight_);
    sedTop_->setValue(area.top);
    sedBottom_->setValue(area.bottom);
    sedLeft_->setValue(area.left);
    sedRight_->setValue(area.right);
    AreaChanged();
}

std::string TFrameCrop::CropText() const {
    const engine::CropArea area = Area();
    return isChecked() && !area.Empty() ? engine::CropAreaText(area) : std::string();
}

void TFrameCrop::AreaChanged() {
    const preview::SamplePtr& picture = view_->Picture();
    const engine::CropArea area = Area();
    QMarginsF shares;
    if (isChecked() && picture && picture->Width() > 0 && picture->Height() > 0) {
        const double width = picture->Width();
        const double height = picture->Height();
        // A crop larger than the picture is drawn as the whole picture cut away.
        shares = QMarginsF(std::min(area.left / width, 1.0), std::min(area.top / height, 1.0),
                           std::min(area.right / width, 1.0), std::min(area.bottom / height, 1.0));
        if (area.left + area.right >= width || area.top + area.bottom >= height) {
            lblState_->setText(QStringLiteral("The crop leaves nothing of the %1x%2 picture.")
                                   .arg(picture->Width())
                                   .arg(picture->Height()));
        } else if (!detecting_) {
            lblState_->setText(QStringLiteral("Kept: %1x%2")
                                   .arg(picture->Width() - area.left - area.right)
                                   .arg(picture->Height() - area.top - area.bottom));
        }
    }
    view_->SetCropFrame(shares);
    emit cropFrameChanged(shares);
}

void TFrameCrop::DetectBars() {
    if (sourceFile_.empty() || detecting_) {
        return;
    }
    detecting_ = true;
    btnDetect_->setEnabled(false);
    lblState_->setText(QStringLiteral("Looking for black bars…"));
    const unsigned generation = ++generation_;
    // The previous search has ended (detecting_ was false); joining it costs nothing.
    detection_ = std::jthread([this, generation, path = sourceFile_] {
        std::string reason;
        std::optional<engine::CropArea> area = engine::DetectBlackBars(path, &reason);
        // Queued to this object: dropped if it is gone by then (the destructor joins first).
        QMetaObject::invokeMethod(
            this,
            [this, generation, area, why = QString::fromStdString(reason)] {
                DetectionDone(generation, area, why);
            },
            Qt::QueuedConnection);
    });
}

void TFrameCrop::DetectionDone(unsigned generation, std::optional<engine::CropArea> area,
                               const QString& reason) {
    if (generation != generation_) {
        return;
    }
    detecting_ = false;
    btnDetect_->setEnabled(!sourceFile_.empty());
    if (!area) {
        lblState_->setText(QStringLiteral("No black bars looked for: %1").arg(reason));
    } else if (area->Empty()) {
        lblState_->setText(QStringLiteral("No black bars found."));
    } else {
        setChecked(true);
        SetArea(*area);
    }
    emit detectionFinished();
}

}  // namespace tw::ui
