#pragma once

// "Denoise Filter" (a strength, or the four values by hand with Custom) and "Sharpen Filter" (a
// strength). The thumbnail shows the strength chosen on the preview's picture.

#include "filters/denoise_filter.h"
#include "filters/sharpen_filter.h"
#include "wizard/filter_dialogs/filter_dialog.h"

class QComboBox;
class QDoubleSpinBox;

namespace tw::ui {

class TFormDenoiseFilter : public FilterDialog {
    Q_OBJECT

public:
    explicit TFormDenoiseFilter(QWidget* parent = nullptr);

    void SetValues(const filters::DenoiseDialogValues& values);
    filters::DenoiseDialogValues Values() const;

protected:
    bool Acceptable() const override;
    std::string FilterText() const override;

private:
    void UpdateCustom();

    QComboBox* cbbStrength_;
    std::array<QDoubleSpinBox*, 4> edtCustom_{};
};

class TFormSharpenFilter : public FilterDialog {
    Q_OBJECT

public:
    explicit TFormSharpenFilter(QWidget* parent = nullptr);

    void SetValues(const filters::SharpenDialogValues& values);
    filters::SharpenDialogValues Values() const;

protected:
    bool Acceptable() const override;
    std::string FilterText() const override;

private:
    QComboBox* cbbStrength_;
};

}  // namespace tw::ui
