#pragma once

// "Overlay Text Filter": a text drawn over the video with a TrueType font, at X, Y, in a colour.
// OK needs a text that is not blank and an existing font file. The background colour is kept
// but not shown.

#include "filters/filter_dialog_rules.h"
#include "wizard/filter_dialogs/filter_dialog.h"

class QPlainTextEdit;

namespace tw::ui {

class ColorButton;
class FileEdit;

class TFormOverlayText : public FilterDialog {
    Q_OBJECT

public:
    explicit TFormOverlayText(QWidget* parent = nullptr);

    void SetValues(const filters::OverlayTextDialogValues& values);
    filters::OverlayTextDialogValues Values() const;

protected:
    bool Acceptable() const override;
    std::string FilterText() const override;

private:
    QPlainTextEdit* edtText_;
    QSpinBox* edtFontSize_;
    QSpinBox* edtX_;
    QSpinBox* edtY_;
    ColorButton* btnFontColor_;
    FileEdit* edtFontFile_;
    TColor bgColor_ = kColorBlue;
};

// Where font pickers open: the system's fonts.
QString SystemFontFolder();

}  // namespace tw::ui
