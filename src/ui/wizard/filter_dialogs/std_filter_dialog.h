#pragma once

// "Standard Filters": flips, negation, rotation by whole degrees and a drawn box. OK needs at
// least one of the switches; the degrees are editable only while Rotate is ticked, the box's
// place, size and colour only while Draw Box is.

#include "filters/filter_dialog_rules.h"
#include "wizard/filter_dialogs/filter_dialog.h"

class QCheckBox;
class QComboBox;

namespace tw::ui {

class TFormStdFilter : public FilterDialog {
    Q_OBJECT

public:
    explicit TFormStdFilter(QWidget* parent = nullptr);

    void SetValues(const filters::StdFilterDialogValues& values);
    filters::StdFilterDialogValues Values() const;

protected:
    bool Acceptable() const override;
    std::string FilterText() const override;

private:
    QCheckBox* Switch(const char* objectName, const char* caption);
    void UpdateEditable();

    QCheckBox* chkRotate_;
    QCheckBox* chkDrawBox_;
    QCheckBox* chkVerticalFlip_;
    QCheckBox* chkHorizontalFlip_;
    QCheckBox* chkNegate_;
    QSpinBox* edtDegree_;
    QSpinBox* edtBoxX_;
    QSpinBox* edtBoxY_;
    QSpinBox* edtBoxWidth_;
    QSpinBox* edtBoxHeight_;
    QComboBox* cbbBoxColor_;
};

}  // namespace tw::ui
