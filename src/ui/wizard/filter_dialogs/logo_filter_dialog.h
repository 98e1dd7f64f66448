#pragma once

// "Logo Filter": a PNG picture laid over the video with its top-left corner at X, Y. OK needs
// the picture file to exist.

#include "filters/filter_dialog_rules.h"
#include "wizard/filter_dialogs/filter_dialog.h"

namespace tw::ui {

class FileEdit;

class TFormLogoFilter : public FilterDialog {
    Q_OBJECT

public:
    explicit TFormLogoFilter(QWidget* parent = nullptr);

    void SetValues(const filters::LogoFilterDialogValues& values);
    filters::LogoFilterDialogValues Values() const;

protected:
    bool Acceptable() const override;
    std::string FilterText() const override;

private:
    QSpinBox* edtX_;
    QSpinBox* edtY_;
    FileEdit* edtLogoFile_;
};

}  // namespace tw::ui
