// The four filter dialogs: when OK is offered, what a confirmed dialog copies into its filter,
// and that editing starts from the filter and Cancel leaves it alone.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>

#include "app/dialog_runner.h"
#include "app/file_dialog_service.h"
#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/subtitle_filter.h"
#include "filters/video_std_filter.h"
#include "support/scoped_env.h"
#include "support/wizard_support.h"
#include "wizard/filter_dialogs/filter_editing.h"
#include "wizard/filter_dialogs/std_filter_dialog.h"

namespace tw::test {
namespace {

class FilterDialogs : public ::testing::Test {
protected:
    // Runs SetupFilter (or EditFilter) with handler acting on the dialog.
    bool Run(TAVFilter& filter, ui::ScriptedDialogRunner::Handler handler, bool edit = false) {
        dialogs_.Push(std::move(handler));
        return edit ? ui::EditFilter(nullptr, filter) : ui::SetupFilter(nullptr, filter);
    }

    static QPushButton* Ok(QDialog& dialog) { return Find<QPushButton>(&dialog, "btnOk"); }

    TempFolder folder_;
    ui::ScriptedDialogRunner dialogs_;
    ui::ScopedDialogRunner installDialogs_{dialogs_};
    ui::QueuedFileDialogService files_;
    ui::ScopedFileDialogService installFiles_{files_};
};

TEST_F(FilterDialogs, StandardFiltersNeedOneSwitchAndCopyWhatIsTicked) {
    TVideoStdFilter filter;
    EXPECT_TRUE(Run(filter, [](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Standard Filters");
        auto* degree = Find<QSpinBox>(&dialog, "edtDegree");
        EXPECT_EQ(degree->value(), 45);
        EXPECT_FALSE(degree->isEnabled());
        EXPECT_FALSE(Find<QComboBox>(&dialog, "cbbBoxColor")->isEnabled());
        EXPECT_FALSE(Ok(dialog)->isEnabled());
        Find<QCheckBox>(&dialog, "chkRotate")->click();
        EXPECT_TRUE(Ok(dialog)->isEnabled());
        EXPECT_TRUE(degree->isEnabled());
        degree->setValue(400);  // kept within a turn
        Find<QCheckBox>(&dialog, "chkVerticalFlip")->click();
        Ok(dialog)->click();
    }));
    EXPECT_EQ(filter.GetFilterText(), "vflip,rotate=359");

    // Editing shows the filter; Cancel changes nothing.
    EXPECT_FALSE(Run(
        filter,
        [](QDialog& dialog) {
            EXPECT_TRUE(Find<QCheckBox>(&dialog, "chkRotate")->isChecked());
            EXPECT_EQ(Find<QSpinBox>(&dialog, "edtDegree")->value(), 359);
            Find<QCheckBox>(&dialog, "chkRotate")->click();
            Find<QCheckBox>(&dialog, "chkVerticalFlip")->click();
            EXPECT_FALSE(Ok(dialog)->isEnabled());
            Find<QPushButton>(&dialog, "btnCancel")->click();
        },
        true));
    EXPECT_EQ(filter.GetFilterText(), "vflip,rotate=359");

    EXPECT_TRUE(Run(
        filter,
        [](QDialog& dialog) {
            Find<QCheckBox>(&dialog, "chkDrawBox")->click();
            Find<QSpinBox>(&dialog, "edtBoxX")->setValue(-10);
            Find<QSpinBox>(&dialog, "edtBoxWidth")->setValue(100);
            Find<QSpinBox>(&dialog, "edtBoxHeight")->setValue(50);
            Choose(Find<QComboBox>(&dialog, "cbbBoxColor"), "Red");
            Ok(dialog)->click();
        },
        true));
    EXPECT_EQ(filter.GetFilterText(), "vflip,drawbox=-10:0:100:50:Red,rotate=359");
}

// The names of the fields Tab visits, from where the dialog starts.
std::string TabChain(QDialog& dialog) {
    QStringList names;
    QWidget* start = dialog.focusWidget();
    if (!start) {
        return {};
    }
    names << start->objectName();
    for (QWidget* widget = start->nextInFocusChain(); widget != start;
         widget = widget->nextInFocusChain()) {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(&dialog) &&
            !widget->objectName().startsWith("qt_")) {
            names << widget->objectName();
        }
    }
    return names.join(' ').toStdString();
}

TEST_F(FilterDialogs, LogoNeedsAnExistingPicture) {
    const std::string logo = folder_ / "corner.png";
    WriteFileBytes(logo, "png");
    TLogoFilter filter;
    files_.PushAnswer(QString::fromStdString(logo));
    EXPECT_TRUE(Run(filter, [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Logo Filter");
        // Tab follows the fields as they stand, then the buttons.
        EXPECT_EQ(TabChain(dialog), "edtLogoFile edtLogoFileBrowse edtX edtY btnOk btnCancel");
        auto* file = Find<QLineEdit>(&dialog, "edtLogoFile");
        file->setText(QString::fromStdString(folder_ / "missing.png"));
        EXPECT_FALSE(Ok(dialog)->isEnabled());
        Find<QAbstractButton>(&dialog, "edtLogoFileBrowse")->click();
        EXPECT_EQ(file->text().toStdString(), logo);
        Find<QSpinBox>(&dialog, "edtX")->setValue(12);
        Find<QSpinBox>(&dialog, "edtY")->setValue(-3);
        Ok(dialog)->click();
    }));
    EXPECT_EQ(files_.Requests().back().nameFilters.front(), "PNG Files (*.png *.PNG)");
    EXPECT_EQ(filter.X(), 12);
    EXPECT_EQ(filter.Y(), -3);
    EXPECT_EQ(filter.LogoFile(), logo);
}

TEST_F(FilterDialogs, OverlayTextNeedsOnlyATextAndKeepsItsColours) {
    TOverlayTextFilter filter;
    std::string font;
    EXPECT_TRUE(Run(filter, [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Overlay Text Filter");
        auto* size = Find<QSpinBox>(&dialog, "edtFontSize");
        EXPECT_EQ(size->value(), 16);
        size->stepUp();
        EXPECT_EQ(size->value(), 32);
        EXPECT_EQ(Find<QSpinBox>(&dialog, "edtX")->minimum(), 0);
        // The font the renderer takes by itself is there already.
        font = Find<QLineEdit>(&dialog, "edtFontFile")->text().toStdString();
        EXPECT_TRUE(std::filesystem::is_regular_file(font)) << font;
        auto* text = Find<QPlainTextEdit>(&dialog, "edtText");
        text->setPlainText("  \n ");
        EXPECT_FALSE(Ok(dialog)->isEnabled());
        text->setPlainText("Two\nlines");
        EXPECT_TRUE(Ok(dialog)->isEnabled());
        // The colour dialog opens on yellow; the user picks red.
        dialogs_.Push([](QDialog& colours) {
            auto& picker = dynamic_cast<QColorDialog&>(colours);
            EXPECT_EQ(picker.currentColor(), QColor(Qt::yellow));
            picker.setCurrentColor(Qt::red);
            picker.accept();
        });
        Find<QAbstractButton>(&dialog, "btnFontColor")->click();
        Ok(dialog)->click();
    }));
    EXPECT_EQ(filter.Text(), "Two\nlines");
    EXPECT_EQ(filter.FontSize(), 32);
    EXPECT_EQ(filter.FontColor(), kColorRed);
    EXPECT_EQ(filter.BgColor(), kColorBlue);
    EXPECT_EQ(filter.FontFile(), font);
}

TEST_F(FilterDialogs, SubtitlesNeedBothFilesAndTakeATypedCodePageTrimmed) {
    const std::string subtitles = folder_ / "film.srt";
    WriteFileBytes(subtitles, "1\n00:00:01,000 --> 00:00:02,000\nHello\n");
    TSubtitleFilter filter;
    EXPECT_TRUE(Run(filter, [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Subtitle Filter");
        auto* codePage = Find<QComboBox>(&dialog, "cbbCodePage");
        EXPECT_TRUE(codePage->isEditable());
        EXPECT_EQ(codePage->itemText(0), "ISO-2022-JP");
        EXPECT_EQ(codePage->currentText(), "");
        EXPECT_FALSE(Ok(dialog)->isEnabled());
        // The font starts as the renderer's own; the subtitle file is all OK waits for.
        Find<QLineEdit>(&dialog, "edtSubtitleFile")->setText(QString::fromStdString(subtitles));
        EXPECT_TRUE(Ok(dialog)->isEnabled());
        auto* font = Find<QLineEdit>(&dialog, "edtFontFile");
        font->clear();
        EXPECT_FALSE(Ok(dialog)->isEnabled());
        font->setText(kTestFontFile);
        EXPECT_TRUE(Ok(dialog)->isEnabled());
        codePage->setEditText(" x-mac-cyrillic ");
        Ok(dialog)->click();
    }));
    EXPECT_EQ(filter.SubtitleFile(), subtitles);
    EXPECT_EQ(filter.FontColor(), kColorYellow);
    EXPECT_EQ(filter.CodePage(), "x-mac-cyrillic");
}

}  // namespace
}  // namespace tw::test
