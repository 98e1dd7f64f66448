#pragma once

// What the four filter dialogs share: the OK and Cancel buttons, with OK offered only while the
// dialog's acceptance rule holds, the builders of their value fields, and a thumbnail of the
// preview's picture with the filters before this one in the list and this one as the values
// stand, so that it looks as it will in the file. UI thread only.

#include <QDialog>
#include <QTimer>
#include <climits>
#include <string>
#include <vector>

#include "preview/ff_sample.h"

class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QSpinBox;

namespace tw::ui {

class FilterDialog : public QDialog {
    Q_OBJECT

public:
    QPushButton* OkButton() const { return btnOk_; }

    // Shows this picture (the preview's) beside the values, through the filters that come before
    // this one (their texts, in list order) and this one; no picture hides it.
    void SetPicture(preview::SamplePtr picture, std::vector<std::string> earlierFilters = {});
    // The thumbnail as drawn last; null while none is shown.
    const QImage* Thumbnail() const;

protected:
    FilterDialog(const char* objectName, const char* caption, QWidget* parent);

    // The dialog's rule over its current values.
    virtual bool Acceptable() const = 0;
    // The filter's text as the current values would make it.
    virtual std::string FilterText() const = 0;
    // Re-applies the rule and redraws the thumbnail soon; every field's change calls it.
    void UpdateOk();

    // The fields go into Form(); FinishLayout is called once they stand.
    QFormLayout* Form() const { return form_; }
    void FinishLayout();

    QSpinBox* SpinBox(const char* objectName, int low = INT_MIN, int high = INT_MAX);

private:
    void DrawThumbnail();

    QFormLayout* form_;
    QDialogButtonBox* buttons_;
    QPushButton* btnOk_;
    QLabel* lblThumbnail_;
    QImage thumbnail_;
    preview::SamplePtr picture_;
    std::vector<std::string> earlierFilters_;
    // Typing in a field changes the values at every key; the picture follows once it pauses.
    QTimer redraw_;
};

}  // namespace tw::ui
