// Converted files filed under the category the user says: "Move to Category" in the task
// popup and rows dragged onto a category, stored in the database too.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTreeView>
#include <memory>

#include "shell/category_tree_model.h"
#include "shell/frame_explorer.h"
#include "shell/frame_list.h"
#include "support/shell_world.h"

namespace tw::test {
namespace {

// Sends a drag of data over pos and, when it may land there, drops it; whether it landed.
bool DragOnto(QWidget* viewport, const QPoint& pos, QMimeData* data) {
    QDragEnterEvent enter(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    if (!enter.isAccepted() || !move.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(pos), Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    return drop.isAccepted();
}

TEST(ConvertedTasks, MoveToAnotherCategoryByMenuOrByDragging) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "clip.mkv", 1);
    ShellWorld world(home.Path());
    world.configuration.SetShowAlert(false);
    ui::TFrameExplorer& explorer = world.Window().Explorer();
    ui::TFrameList& list = world.Window().TaskList();
    TCategoryTree& tree = explorer.Tree();
    // The file as the program has written it so far (writes reach it from a thread of their own).
    const auto db = [&]() -> SqliteDatabase& { return world.data->Persistence().Database(); };
    TConvertedNode& films = tree.NewCategory(*tree.DefaultCategory(), "Films", home / "films");
    TConvertedNode& music = tree.NewCategory(*tree.DefaultCategory(), "Music", home / "music");
    TAVTask& unfinished = world.AddTask(Request(source, home / "a.mp4"));
    world.AddTask(Request(source, home / "b.mp4"));

    // Not while it converts.
    list.SelectTask(unfinished);
    world.Window().UpdateActions();
    QMenu* menu = world.Window().findChild<QMenu*>("mnuMoveToCategory");
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->menuAction()->isEnabled());

    ASSERT_TRUE(world.WaitFor([&] { return world.Converting().Tasks().empty(); }));
    explorer.SelectNode(*tree.DefaultCategory());
    ASSERT_EQ(world.Rows().size(), 2u);
    TAVTask& first = *world.Rows()[0];
    const int firstId = first.ID();
    const int secondId = world.Rows()[1]->ID();

    list.SelectTask(first);
    world.Window().UpdateActions();
    ASSERT_TRUE(menu->menuAction()->isEnabled());
    emit menu->aboutToShow();
    QStringList entries;
    for (QAction* action : menu->actions()) {
        entries << action->text();
    }
    EXPECT_EQ(entries, (QStringList{"Default", "    Films", "    Music"}));
    EXPECT_FALSE(menu->actions()[0]->isEnabled());  // where it is already
    menu->actions()[1]->trigger();
    ASSERT_EQ(world.Rows().size(), 1u);
    EXPECT_EQ(FindStoredTask(db(), firstId)->categoryId, films.ID());

    // The other row dragged onto "Music"; the category on display takes no drop.
    auto* model = static_cast<ui::CategoryTreeModel*>(explorer.View()->model());
    const auto centre = [&](const TNodeObject& node) {
        return explorer.View()->visualRect(model->IndexOf(&node)).center();
    };
    std::unique_ptr<QMimeData> dragged(list.Model().mimeData({list.Model().index(0, 0)}));
    ASSERT_NE(dragged, nullptr);
    QWidget* viewport = explorer.View()->viewport();
    EXPECT_FALSE(DragOnto(viewport, centre(*tree.DefaultCategory()), dragged.get()));
    EXPECT_FALSE(DragOnto(viewport, centre(*tree.ConvertingNode()), dragged.get()));
    EXPECT_TRUE(DragOnto(viewport, centre(music), dragged.get()));
    EXPECT_TRUE(world.Rows().empty());
    EXPECT_EQ(FindStoredTask(db(), secondId)->categoryId, music.ID());
    EXPECT_NE(FindStoredTask(db(), secondId)
                  ->settings.find("<CategoryId>" + std::to_string(music.ID()) + "</CategoryId>"),
              std::string::npos);

    explorer.SelectNode(music);
    ASSERT_EQ(world.Rows().size(), 1u);
    EXPECT_EQ(world.Rows()[0]->ID(), secondId);
    EXPECT_TRUE(world.Errors().empty());
}

}  // namespace
}  // namespace tw::test
