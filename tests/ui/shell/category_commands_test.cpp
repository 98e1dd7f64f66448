// The category popup's commands on the real tree and database.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <filesystem>

#include "shell/frame_explorer.h"
#include "support/shell_world.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

ui::ScriptedDialogRunner::Handler Fill(const std::string& name, const std::string& path) {
    return [name, path](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("edtName")->setText(QString::fromStdString(name));
        dialog.findChild<QLineEdit*>("edtPath")->setText(QString::fromStdString(path));
        dialog.findChild<QAbstractButton*>("btnOk")->click();
    };
}

int CountCategories(SqliteDatabase& db) {
    SqliteStatement query = db.Prepare("select count(*) as n from Categories");
    query.Step();
    return static_cast<int>(query.Integer("n"));
}

TEST(CategoryCommands, NewPropertiesAndDeleteWithSubCategories) {
    TempFolder home;
    ShellWorld world(home.Path());
    ui::TFrameExplorer& explorer = world.Window().Explorer();
    TCategoryTree& tree = explorer.Tree();
    // The file as the program has written it so far (writes reach it from a thread of their own).
    const auto db = [&]() -> SqliteDatabase& { return world.data->Persistence().Database(); };

    explorer.SelectNode(*tree.DefaultCategory());
    world.Window().UpdateActions();
    EXPECT_FALSE(world.Action("actDelCategory")->isEnabled());

    world.dialogs.Push(Fill("  Holidays ", home / "holidays"));
    world.Trigger("actNewCategory");
    ASSERT_EQ(tree.Children(*tree.DefaultCategory()).size(), 1u);
    TConvertedNode& holidays = *tree.Children(*tree.DefaultCategory())[0];
    EXPECT_EQ(holidays.CategoryName(), "Holidays");
    EXPECT_FALSE(fs::exists(home / "holidays"));
    EXPECT_EQ(world.dialogs.History().back().caption, "New Category");

    explorer.SelectNode(holidays);
    world.dialogs.Push(Fill("Sub", home / "sub"));
    world.Trigger("actNewCategory");
    EXPECT_EQ(CountCategories(db()), 3);

    // Properties creates the folder; one that cannot be made leaves the category as it was.
    world.dialogs.Push(Fill("Trips", home / "trips/2024"));
    world.Trigger("actCategoryProp");
    EXPECT_EQ(world.dialogs.History().back().caption, "Category Properties");
    EXPECT_EQ(holidays.CategoryName(), "Trips");
    EXPECT_TRUE(fs::is_directory(home / "trips/2024"));
    WriteFileBytes(home / "file", "x");
    world.dialogs.Push(Fill("Broken", home / "file/below"));
    world.Trigger("actCategoryProp");
    EXPECT_EQ(world.Errors().size(), 1);
    EXPECT_EQ(holidays.CategoryName(), "Trips");
    EXPECT_EQ(holidays.Path(), home / "trips/2024");

    // A converted file filed under the sub-category: the question says what becomes of it.
    auto settings = Request(home / "in.mkv", home / "done.mp4", tree.Children(holidays)[0]->ID());
    TConvertingTask done(std::move(settings), nullptr, world.data->Environment());
    done.SetCategoryId(tree.Children(holidays)[0]->ID());
    world.data->Persistence().InsertTask(done);
    world.data->Persistence().MarkConverted(done);

    world.Window().UpdateActions();
    ASSERT_TRUE(world.Action("actDelCategory")->isEnabled());
    world.dialogs.Push(Answer(QMessageBox::No));
    world.Trigger("actDelCategory");
    EXPECT_EQ(world.dialogs.History().back().text,
              "Do you want to delete the selected category? Its sub-category goes with it.\n\n1 "
              "converted file is filed there. It will be listed under \"Default\"; the file stays "
              "on disk.");
    EXPECT_EQ(CountCategories(db()), 3);

    world.dialogs.Push(Answer(QMessageBox::Yes));
    world.Trigger("actDelCategory");
    EXPECT_TRUE(tree.Children(*tree.DefaultCategory()).empty());
    EXPECT_EQ(explorer.FocusedNode(), tree.DefaultCategory());
    EXPECT_EQ(CountCategories(db()), 1);
    // Its record is listed under the default category now.
    EXPECT_EQ(FindStoredTask(db(), done.ID())->categoryId, 1);
    EXPECT_EQ(world.Rows().size(), 1u);
}

}  // namespace
}  // namespace tw::test
