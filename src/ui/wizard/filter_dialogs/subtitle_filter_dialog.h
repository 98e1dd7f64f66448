#pragma once

// "Subtitle Filter": subtitles from a subtitle file burned into the picture with a font file and
// a colour, in the file's code page (chosen from the list or typed; empty for UTF-8). OK needs
// both files to exist.

#include "filters/filter_dialog_rules.h"
#include "wizard/filter_dialogs/filter_dialog.h"

class QComboBox;

namespace tw::ui {

class ColorButton;
class FileEdit;

class TFormSubtitleFilter : public FilterDialog {
    Q_OBJECT

public:
    explicit TFormSubtitleFilter(QWidget* parent = nullptr);

    void SetValues(const filters::SubtitleDialogValues& values);
    filters::SubtitleDialogValues Values() const;

protected:
    bool Acceptable() const override;
    std::string FilterText() const override;

private:
    FileEdit* edtSubtitleFile_;
    FileEdit* edtFontFile_;
    ColorButton* btnFontColor_;
    QComboBox* cbbCodePage_;
};

}  // namespace tw::ui
