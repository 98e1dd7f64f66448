#include "wizard/filter_dialogs/std_filter_dialog.h"
#include "filters/video_std_filter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QSpinBox>

#include "wizard/color_button.h"

namespace tw::ui {

TFormStdFilter::TFormStdFilter(QWidget* parent)
    : FilterDialog("FormStdFilter", "Standard Filters", parent) {
    chkVerticalFlip_ = Switch("chkVerticalFlip", "Vertical Flip");
    chkHorizontalFlip_ = Switch("chkHorizontalFlip", "Horizontal Flip");
    chkNegate_ = Switch("chkNegate", "Negate");
    chkRotate_ = Switch("chkRotate", "Rotate");
    chkDrawBox_ = Switch("chkDrawBox", "Draw Box");

    edtDegree_ = SpinBox("edtDegree", filters::kMinDegree, filters::kMaxDegree);
    edtDegree_->setSuffix(QStringLiteral("°"));
    edtBoxX_ = SpinBox("edtBoxX");
    edtBoxY_ = SpinBox("edtBoxY");
    edtBoxWidth_ = SpinBox("edtBoxWidth");
    edtBoxHeight_ = SpinBox("edtBoxHeight");
    cbbBoxColor_ = new QComboBox(this);
    cbbBoxColor_->setObjectName(QStringLiteral("cbbBoxColor"));
    connect(cbbBoxColor_, &QComboBox::currentIndexChanged, this, &TFormStdFilter::UpdateOk);
    const int side = fontMetrics().height();
    for (const filters::NamedColor& color : filters::StandardColors()) {
        QPixmap swatch(side, side);
        swatch.fill(ToQColor(color.color));
        cbbBoxColor_->addItem(QIcon(swatch), QString::fromLatin1(color.name));
    }

    auto* flips = new QGroupBox(QStringLiteral("Picture"), this);
    auto* flipRows = new QGridLayout(flips);
    flipRows->addWidget(chkVerticalFlip_, 0, 0);
    flipRows->addWidget(chkHorizontalFlip_, 0, 1);
    flipRows->addWidget(chkNegate_, 1, 0);
    Form()->addRow(flips);

    auto* rotation = new QGroupBox(this);
    auto* rotationRows = new QFormLayout(rotation);
    rotationRows->addRow(chkRotate_);
    rotationRows->addRow(QStringLiteral("Degree:"), edtDegree_);
    Form()->addRow(rotation);

    auto* box = new QGroupBox(this);
    auto* boxRows = new QGridLayout(box);
    boxRows->addWidget(chkDrawBox_, 0, 0, 1, 4);
    const auto addField = [&](int row, int column, const char* caption, QWidget* field) {
        boxRows->addWidget(new QLabel(QString::fromLatin1(caption), box), row, column);
        boxRows->addWidget(field, row, column + 1);
    };
    addField(1, 0, "X:", edtBoxX_);
    addField(1, 2, "Y:", edtBoxY_);
    addField(2, 0, "Width:", edtBoxWidth_);
    addField(2, 2, "Height:", edtBoxHeight_);
    addField(3, 0, "Color:", cbbBoxColor_);
    boxRows->setColumnStretch(1, 1);
    boxRows->setColumnStretch(3, 1);
    Form()->addRow(box);

    SetValues({});
    FinishLayout();
}

QCheckBox* TFormStdFilter::Switch(const char* objectName, const char* caption) {
    auto* check = new QCheckBox(QString::fromLatin1(caption), this);
    check->setObjectName(QString::fromLatin1(objectName));
    connect(check, &QCheckBox::toggled, this, [this] {
        UpdateEditable();
        UpdateOk();
    });
    return check;
}

void TFormStdFilter::UpdateEditable() {
    edtDegree_->setEnabled(chkRotate_->isChecked());
    for (QWidget* field : std::initializer_list<QWidget*>{edtBoxX_, edtBoxY_, edtBoxWidth_,
                                                          edtBoxHeight_, cbbBoxColor_}) {
        field->setEnabled(chkDrawBox_->isChecked());
    }
}

void TFormStdFilter::SetValues(const filters::StdFilterDialogValues& values) {
    chkVerticalFlip_->setChecked(values.verticalFlip);
    chkHorizontalFlip_->setChecked(values.horizontalFlip);
    chkNegate_->setChecked(values.negate);
    chkRotate_->setChecked(values.rotate);
    chkDrawBox_->setChecked(values.drawBox);
    edtDegree_->setValue(values.degrees);
    edtBoxX_->setValue(values.boxX);
    edtBoxY_->setValue(values.boxY);
    edtBoxWidth_->setValue(values.boxWidth);
    edtBoxHeight_->setValue(values.boxHeight);
    cbbBoxColor_->setCurrentIndex(filters::StandardColorIndex(values.boxColor));
    UpdateEditable();
}

filters::StdFilterDialogValues TFormStdFilter::Values() const {
    filters::StdFilterDialogValues values;
    values.verticalFlip = chkVerticalFlip_->isChecked();
    values.horizontalFlip = chkHorizontalFlip_->isChecked();
    values.negate = chkNegate_->isChecked();
    values.rotate = chkRotate_->isChecked();
    values.drawBox = chkDrawBox_->isChecked();
    values.degrees = edtDegree_->value();
    values.boxX = edtBoxX_->value();
    values.boxY = edtBoxY_->value();
    values.boxWidth = edtBoxWidth_->value();
    values.boxHeight = edtBoxHeight_->value();
    values.boxColor = cbbBoxColor_->currentText().toStdString();
    return values;
}

bool TFormStdFilter::Acceptable() const {
    return filters::Accepts(Values());
}

std::string TFormStdFilter::FilterText() const {
    TVideoStdFilter filter;
    filters::CopyTo(Values(), filter);
    return filter.GetFilterText();
}

}  // namespace tw::ui
