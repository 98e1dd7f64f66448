#include "wizard/filter_dialogs/filter_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstring>

#include "app/scaling.h"
#include "filters/filter_list.h"
#include "preview/filtered_picture.h"

namespace tw::ui {

namespace {
constexpr int kRedrawDelayMs = 150;
constexpr int kThumbnailWidth = 240;  // design pixels

// A BGRA picture as an image of its own. Row by row: a flip hands its rows out bottom up, with a
// negative line size.
QImage CopyPicture(const AVFrame& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    const auto rowBytes = static_cast<size_t>(picture.width) * 4;
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(image.scanLine(y),
                    picture.data[0] + static_cast<ptrdiff_t>(y) * picture.linesize[0], rowBytes);
    }
    return image;
}

}  // namespace

FilterDialog::FilterDialog(const char* objectName, const char* caption, QWidget* parent)
    : QDialog(parent),
      form_(new QFormLayout),
      buttons_(new QDialogButtonBox(this)),
      lblThumbnail_(new QLabel(this)) {
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(QString::fromLatin1(caption));
    btnOk_ = buttons_->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnOk_->setObjectName(QStringLiteral("btnOk"));
    btnOk_->setDefault(true);
    buttons_->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (Acceptable()) {
            accept();
        }
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    lblThumbnail_->setObjectName(QStringLiteral("lblThumbnail"));
    lblThumbnail_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    lblThumbnail_->hide();
    // The fields keep to the top when a turned picture makes the dialog taller.
    auto* fields = new QVBoxLayout;
    fields->addLayout(form_);
    fields->addStretch(1);
    auto* row = new QHBoxLayout;
    row->addLayout(fields, 1);
    row->addWidget(lblThumbnail_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row, 1);
    layout->addWidget(buttons_);

    redraw_.setSingleShot(true);
    redraw_.setInterval(kRedrawDelayMs);
    connect(&redraw_, &QTimer::timeout, this, &FilterDialog::DrawThumbnail);
}

void FilterDialog::UpdateOk() {
    btnOk_->setEnabled(Acceptable());
    if (picture_) {
        redraw_.start();
    }
}

void FilterDialog::FinishLayout() {
    UpdateOk();
}

QSpinBox* FilterDialog::SpinBox(const char* objectName, int low, int high) {
    auto* spin = new QSpinBox(this);
    spin->setObjectName(QString::fromLatin1(objectName));
    spin->setRange(low, high);
    connect(spin, &QSpinBox::valueChanged, this, &FilterDialog::UpdateOk);
    return spin;
}

void FilterDialog::SetPicture(preview::SamplePtr picture, std::vector<std::string> earlierFilters) {
    picture_ = std::move(picture);
    earlierFilters_ = std::move(earlierFilters);
    if (picture_ && lblThumbnail_->isHidden()) {
        // The picture comes beside the fields, which keep their width.
        const int spacing = layout()->spacing();
        resize(width() + ScaledPixels(*this, kThumbnailWidth) + spacing, height());
    }
    lblThumbnail_->setVisible(picture_ != nullptr);
    DrawThumbnail();
}

const QImage* FilterDialog::Thumbnail() const {
    return thumbnail_.isNull() ? nullptr : &thumbnail_;
}

void FilterDialog::DrawThumbnail() {
    redraw_.stop();
    thumbnail_ = QImage();
    if (!picture_) {
        return;
    }
    // Values a filter cannot use yet leave the picture as the filters before it make it.
    std::vector<std::string> chain = earlierFilters_;
    if (std::string own = FilterText(); !own.empty()) {
        chain.push_back(std::move(own));
    }
    media::FramePtr filtered = preview::FilterPicture(picture_->Frame(), picture_->Start(),
                                                      filters::JoinFilterItems(chain));
    if (!filtered && !earlierFilters_.empty()) {
        filtered = preview::FilterPicture(picture_->Frame(), picture_->Start(),
                                          filters::JoinFilterItems(earlierFilters_));
    }
    const AVFrame& shown = filtered ? *filtered : picture_->Frame();
    thumbnail_ = CopyPicture(shown);
    const double aspect = shown.sample_aspect_ratio.num > 0 && shown.sample_aspect_ratio.den > 0
                              ? av_q2d(shown.sample_aspect_ratio)
                              : 1.0;
    // Shown with its display aspect inside a square, so that a turned picture fits too.
    const QSize display(static_cast<int>(shown.width * aspect), shown.height);
    const int side = ScaledPixels(*this, kThumbnailWidth);
    const QSize size = display.scaled(side, side, Qt::KeepAspectRatio);
    lblThumbnail_->setPixmap(QPixmap::fromImage(
        thumbnail_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

}  // namespace tw::ui
