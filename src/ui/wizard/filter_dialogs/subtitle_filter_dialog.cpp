#include "wizard/filter_dialogs/subtitle_filter_dialog.h"
#include "filters/subtitle_filter.h"

#include <QComboBox>
#include <QFormLayout>

#include "wizard/color_button.h"
#include "wizard/file_edit.h"
#include "wizard/filter_dialogs/overlay_text_dialog.h"

namespace tw::ui {

TFormSubtitleFilter::TFormSubtitleFilter(QWidget* parent)
    : FilterDialog("FormSubtitleFilter", "Subtitle Filter", parent),
      edtSubtitleFile_(new FileEdit(QStringLiteral("edtSubtitleFile"), FileEdit::Mode::Open, this)),
      edtFontFile_(new FileEdit(QStringLiteral("edtFontFile"), FileEdit::Mode::Open, this)),
      btnFontColor_(new ColorButton(QStringLiteral("btnFontColor"), this)),
      cbbCodePage_(new QComboBox(this)) {
    QString patterns;
    for (const char* extension : filters::kSubtitleFileExtensions) {
        patterns += QStringLiteral(" *%1").arg(QString::fromLatin1(extension));
    }
    edtSubtitleFile_->SetDialogCaption(QStringLiteral("Subtitle File"));
    edtSubtitleFile_->SetNameFilters({QStringLiteral("Subtitle Files (%1)").arg(patterns.trimmed()),
                                      QStringLiteral("All Files (*)")});
    edtFontFile_->SetDialogCaption(QStringLiteral("Font File"));
    edtFontFile_->SetNameFilters({QStringLiteral("TrueType Fonts (*.ttf *.TTF)")});
    edtFontFile_->SetStartFolder(SystemFontFolder());
    connect(edtSubtitleFile_, &FileEdit::textChanged, this, &TFormSubtitleFilter::UpdateOk);
    connect(edtFontFile_, &FileEdit::textChanged, this, &TFormSubtitleFilter::UpdateOk);
    connect(btnFontColor_, &ColorButton::colorChanged, this, &TFormSubtitleFilter::UpdateOk);
    connect(cbbCodePage_, &QComboBox::currentTextChanged, this, &TFormSubtitleFilter::UpdateOk);
    cbbCodePage_->setObjectName(QStringLiteral("cbbCodePage"));
    cbbCodePage_->setEditable(true);
    cbbCodePage_->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& codePage : filters::CodePageChoices()) {
        cbbCodePage_->addItem(QString::fromStdString(codePage));
    }

    Form()->addRow(QStringLiteral("Subtitle File:"), edtSubtitleFile_);
    Form()->addRow(QStringLiteral("Font File:"), edtFontFile_);
    Form()->addRow(QStringLiteral("Font Color:"), btnFontColor_);
    Form()->addRow(QStringLiteral("Code Page:"), cbbCodePage_);
    SetValues({});
    FinishLayout();
    resize(fontMetrics().averageCharWidth() * 70, sizeHint().height());
}

void TFormSubtitleFilter::SetValues(const filters::SubtitleDialogValues& values) {
    edtSubtitleFile_->SetFileName(QString::fromStdString(values.subtitleFile));
    edtFontFile_->SetFileName(QString::fromStdString(values.fontFile));
    btnFontColor_->SetColor(values.fontColor);
    cbbCodePage_->setCurrentIndex(-1);
    cbbCodePage_->setEditText(QString::fromStdString(values.codePage));
}

filters::SubtitleDialogValues TFormSubtitleFilter::Values() const {
    return {edtSubtitleFile_->FileName().toStdString(), edtFontFile_->FileName().toStdString(),
            btnFontColor_->Color(), cbbCodePage_->currentText().toStdString()};
}

bool TFormSubtitleFilter::Acceptable() const {
    return filters::Accepts(Values());
}

std::string TFormSubtitleFilter::FilterText() const {
    TSubtitleFilter filter;
    filters::CopyTo(Values(), filter);
    return filter.GetFilterText();
}

}  // namespace tw::ui
