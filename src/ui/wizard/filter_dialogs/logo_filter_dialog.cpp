#include "wizard/filter_dialogs/logo_filter_dialog.h"
#include "filters/logo_filter.h"

#include <QFormLayout>
#include <QSpinBox>

#include "wizard/file_edit.h"

namespace tw::ui {

TFormLogoFilter::TFormLogoFilter(QWidget* parent)
    : FilterDialog("FormLogoFilter", "Logo Filter", parent),
      edtX_(SpinBox("edtX")),
      edtY_(SpinBox("edtY")),
      edtLogoFile_(new FileEdit(QStringLiteral("edtLogoFile"), FileEdit::Mode::Open, this)) {
    edtLogoFile_->SetDialogCaption(QStringLiteral("Logo File"));
    edtLogoFile_->SetNameFilters({QStringLiteral("PNG Files (*.png *.PNG)")});
    connect(edtLogoFile_, &FileEdit::textChanged, this, &TFormLogoFilter::UpdateOk);
    Form()->addRow(QStringLiteral("Logo File:"), edtLogoFile_);
    Form()->addRow(QStringLiteral("X:"), edtX_);
    Form()->addRow(QStringLiteral("Y:"), edtY_);
    SetValues({});
    FinishLayout();
    resize(fontMetrics().averageCharWidth() * 70, sizeHint().height());
}

void TFormLogoFilter::SetValues(const filters::LogoFilterDialogValues& values) {
    edtX_->setValue(values.x);
    edtY_->setValue(values.y);
    edtLogoFile_->SetFileName(QString::fromStdString(values.logoFile));
}

filters::LogoFilterDialogValues TFormLogoFilter::Values() const {
    return {edtX_->value(), edtY_->value(), edtLogoFile_->FileName().toStdString()};
}

bool TFormLogoFilter::Acceptable() const {
    return filters::Accepts(Values());
}

std::string TFormLogoFilter::FilterText() const {
    TLogoFilter filter;
    filters::CopyTo(Values(), filter);
    return filter.GetFilterText();
}

}  // namespace tw::ui
