#pragma once

// What the four filter dialogs share: the OK and Cancel buttons, with OK offered only while the
// dialog's acceptance rule holds, and the builders of their value fields.
// UI thread only.

#include <QDialog>
#include <climits>

class QDialogButtonBox;
class QFormLayout;
class QPushButton;
class QSpinBox;

namespace tw::ui {

class FilterDialog : public QDialog {
    Q_OBJECT

public:
    QPushButton* OkButton() const { return btnOk_; }

protected:
    FilterDialog(const char* objectName, const char* caption, QWidget* parent);

    // The dialog's rule over its current values.
    virtual bool Acceptable() const = 0;
    // Re-applies the rule; every field's change calls it.
    void UpdateOk();

    // The fields go into Form(); FinishLayout puts the buttons under them.
    QFormLayout* Form() const { return form_; }
    void FinishLayout();

    QSpinBox* SpinBox(const char* objectName, int low = INT_MIN, int high = INT_MAX);

private:
    QFormLayout* form_;
    QDialogButtonBox* buttons_;
    QPushButton* btnOk_;
};

}  // namespace tw::ui
