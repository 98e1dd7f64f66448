#include "wizard/filter_dialogs/overlay_text_dialog.h"
#include "filters/overlay_text_filter.h"

#include <QDir>
#include <QFormLayout>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "wizard/color_button.h"
#include "wizard/file_edit.h"

namespace tw::ui {

QString SystemFontFolder() {
    const QString folder = QStringLiteral("/usr/share/fonts/truetype");
    return QDir(folder).exists() ? folder : QStringLiteral("/usr/share/fonts");
}

TFormOverlayText::TFormOverlayText(QWidget* parent)
    : FilterDialog("FormOverlayText", "Overlay Text Filter", parent),
      edtText_(new QPlainTextEdit(this)),
      edtFontSize_(SpinBox("edtFontSize", filters::kMinFontSize, filters::kMaxFontSize)),
      edtX_(SpinBox("edtX", filters::kMinTextPosition)),
      edtY_(SpinBox("edtY", filters::kMinTextPosition)),
      btnFontColor_(new ColorButton(QStringLiteral("btnFontColor"), this)),
      edtFontFile_(new FileEdit(QStringLiteral("edtFontFile"), FileEdit::Mode::Open, this)) {
    edtText_->setObjectName(QStringLiteral("edtText"));
    edtText_->setTabChangesFocus(true);
    edtText_->setFixedHeight(fontMetrics().lineSpacing() * 4);
    connect(edtText_, &QPlainTextEdit::textChanged, this, &TFormOverlayText::UpdateOk);
    edtFontSize_->setSingleStep(filters::kFontSizeStep);
    edtFontFile_->SetDialogCaption(QStringLiteral("Font File"));
    edtFontFile_->SetNameFilters({QStringLiteral("TrueType Fonts (*.ttf *.TTF)")});
    edtFontFile_->SetStartFolder(SystemFontFolder());
    connect(edtFontFile_, &FileEdit::textChanged, this, &TFormOverlayText::UpdateOk);
    connect(btnFontColor_, &ColorButton::colorChanged, this, &TFormOverlayText::UpdateOk);

    Form()->addRow(QStringLiteral("Text:"), edtText_);
    Form()->addRow(QStringLiteral("Font File:"), edtFontFile_);
    Form()->addRow(QStringLiteral("Font Size:"), edtFontSize_);
    Form()->addRow(QStringLiteral("Font Color:"), btnFontColor_);
    Form()->addRow(QStringLiteral("X:"), edtX_);
    Form()->addRow(QStringLiteral("Y:"), edtY_);
    SetValues({});
    FinishLayout();
    resize(fontMetrics().averageCharWidth() * 70, sizeHint().height());
}

void TFormOverlayText::SetValues(const filters::OverlayTextDialogValues& values) {
    edtText_->setPlainText(QString::fromStdString(values.text));
    edtFontSize_->setValue(values.fontSize);
    edtX_->setValue(values.x);
    edtY_->setValue(values.y);
    btnFontColor_->SetColor(values.fontColor);
    bgColor_ = values.bgColor;
    edtFontFile_->SetFileName(QString::fromStdString(values.fontFile));
}

filters::OverlayTextDialogValues TFormOverlayText::Values() const {
    filters::OverlayTextDialogValues values;
    values.text = edtText_->toPlainText().toStdString();
    values.fontSize = edtFontSize_->value();
    values.x = edtX_->value();
    values.y = edtY_->value();
    values.fontColor = btnFontColor_->Color();
    values.bgColor = bgColor_;
    values.fontFile = edtFontFile_->FileName().toStdString();
    return values;
}

bool TFormOverlayText::Acceptable() const {
    return filters::Accepts(Values());
}

std::string TFormOverlayText::FilterText() const {
    TOverlayTextFilter filter;
    filters::CopyTo(Values(), filter);
    return filter.GetFilterText();
}

}  // namespace tw::ui
