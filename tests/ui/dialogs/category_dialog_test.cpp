// The category dialog on its own: when "Ok" is offered and where the folder browser starts.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/file_dialog_service.h"
#include "dialogs/category_dialog.h"

namespace tw::ui {
namespace {

TEST(CategoryDialog, OkOnlyWithNameAndPathAndBrowsingStartsInTheOutputFolder) {
    QueuedFileDialogService files;
    ScopedFileDialogService install(files);
    TFormCategory dialog(true, "/videos/Conversion");
    EXPECT_EQ(dialog.windowTitle(), "New Category");
    auto* name = dialog.findChild<QLineEdit*>("edtName");
    auto* path = dialog.findChild<QLineEdit*>("edtPath");
    auto* ok = dialog.findChild<QPushButton*>("btnOk");
    EXPECT_FALSE(ok->isEnabled());
    name->setText("   ");
    path->setText("/v");
    EXPECT_FALSE(ok->isEnabled());
    name->setText(" Films ");
    EXPECT_TRUE(ok->isEnabled());
    path->setText("\t");
    EXPECT_FALSE(ok->isEnabled());

    files.PushAnswer("/v/films");
    dialog.findChild<QToolButton*>("btnBrowsePath")->click();
    EXPECT_EQ(files.Requests().back().start, "/videos/Conversion");
    EXPECT_EQ(path->text(), "/v/films");
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dialog.Name(), "Films");
}

}  // namespace
}  // namespace tw::ui
