#include "wizard/filter_dialogs/cleanup_filter_dialogs.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

namespace tw::ui {

TFormDenoiseFilter::TFormDenoiseFilter(QWidget* parent)
    : FilterDialog("FormDenoiseFilter", "Denoise Filter", parent), cbbStrength_(new QComboBox) {
    cbbStrength_->setObjectName(QStringLiteral("cbbStrength"));
    for (const char* name : filters::DenoiseStrengthNames()) {
        cbbStrength_->addItem(QString::fromLatin1(name));
    }
    connect(cbbStrength_, &QComboBox::currentIndexChanged, this, &TFormDenoiseFilter::UpdateCustom);
    Form()->addRow(QStringLiteral("&Strength:"), cbbStrength_);
    const struct {
        const char* name;
        const char* caption;
    } fields[] = {{"edtLumaSpatial", "Brightness in &space:"},
                  {"edtChromaSpatial", "Colour in s&pace:"},
                  {"edtLumaTemporal", "Brightness over &time:"},
                  {"edtChromaTemporal", "Colour over t&ime:"}};
    for (size_t i = 0; i < edtCustom_.size(); ++i) {
        auto* box = new QDoubleSpinBox;
        box->setObjectName(QString::fromLatin1(fields[i].name));
        box->setRange(0, filters::kMaxDenoiseValue);
        box->setDecimals(2);
        box->setSingleStep(0.5);
        connect(box, &QDoubleSpinBox::valueChanged, this, &TFormDenoiseFilter::UpdateOk);
        Form()->addRow(QString::fromLatin1(fields[i].caption), box);
        edtCustom_[i] = box;
    }
    SetValues({});
    FinishLayout();
}

void TFormDenoiseFilter::SetValues(const filters::DenoiseDialogValues& values) {
    cbbStrength_->setCurrentIndex(values.strength);
    for (size_t i = 0; i < edtCustom_.size(); ++i) {
        edtCustom_[i]->setValue(values.custom[i]);
    }
    UpdateCustom();
}

filters::DenoiseDialogValues TFormDenoiseFilter::Values() const {
    filters::DenoiseDialogValues values;
    values.strength = cbbStrength_->currentIndex();
    for (size_t i = 0; i < edtCustom_.size(); ++i) {
        values.custom[i] = edtCustom_[i]->value();
    }
    return values;
}

void TFormDenoiseFilter::UpdateCustom() {
    const bool custom = cbbStrength_->currentIndex() == TDenoiseFilter::kCustom;
    for (QDoubleSpinBox* box : edtCustom_) {
        box->setEnabled(custom);
    }
    UpdateOk();
}

bool TFormDenoiseFilter::Acceptable() const {
    return filters::Accepts(Values());
}

std::string TFormDenoiseFilter::FilterText() const {
    TDenoiseFilter filter;
    filters::CopyTo(Values(), filter);
    return filter.GetFilterText();
}

TFormSharpenFilter::TFormSharpenFilter(QWidget* parent)
    : FilterDialog("FormSharpenFilter", "Sharpen Filter", parent), cbbStrength_(new QComboBox) {
    cbbStrength_->setObjectName(QStringLiteral("cbbStrength"));
    for (const char* name : filters::SharpenStrengthNames()) {
        cbbStrength_->addItem(QString::fromLatin1(name));
    }
    connect(cbbStrength_, &QComboBox::currentIndexChanged, this, &TFormSharpenFilter::UpdateOk);
    Form()->addRow(QStringLiteral("&Strength:"), cbbStrength_);
    SetValues({});
    FinishLayout();
}

void TFormSharpenFilter::SetValues(const filters::SharpenDialogValues& values) {
    cbbStrength_->setCurrentIndex(values.strength);
    UpdateOk();
}

filters::SharpenDialogValues TFormSharpenFilter::Values() const {
    return {cbbStrength_->currentIndex()};
}

bool TFormSharpenFilter::Acceptable() const {
    return filters::Accepts(Values());
}

std::string TFormSharpenFilter::FilterText() const {
    TSharpenFilter filter;
    filters::CopyTo(Values(), filter);
    return filter.GetFilterText();
}

}  // namespace tw::ui
