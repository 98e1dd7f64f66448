#include <gtest/gtest.h>

#include <filesystem>

#include "support/scoped_env.h"
#include "support/task_fakes.h"
#include "tasks/av_task.h"
#include "tasks/node_object.h"
#include "util/settings_xml.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using test::TaskWorld;
using test::TempFolder;

std::unique_ptr<TConversionSettings> Settings(const std::string& source, const std::string& target,
                                              int categoryId = 0) {
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(target);
    settings->SetProfile("MP4 Video");
    settings->SetCategoryId(categoryId);
    return settings;
}

// Stores a task the way a run does, without converting: inserted, and when converted marked so.
int StoreTask(TaskWorld& world, std::unique_ptr<TConversionSettings> settings, bool converted,
              const TStringList& log = {}) {
    const int categoryId = settings->CategoryId();
    TConvertingTask task(std::move(settings), nullptr, world.environment);
    task.SetCategoryId(categoryId);
    task.SetLog(log);
    world.persistence->InsertTask(task);
    if (converted) {
        world.persistence->MarkConverted(task);
    }
    return task.ID();
}

std::vector<std::string> Captions(const test::RecordingTaskListView& view) {
    std::vector<std::string> captions;
    for (const auto& column : view.columns) {
        captions.push_back(column.first + "/" + std::to_string(column.second));
    }
    return captions;
}

TEST(TaskModel, ConvertingNodeLoadsOnceAndCategoriesReloadEveryTime) {
    TempFolder home;
    TaskWorld world(home.Path().string());
    const int unfinished = StoreTask(world, Settings("/in/a.avi", "/out/a.mp4", 1), false);

    world.explorer.Show(world.Converting(), world.list);
    EXPECT_EQ(
        Captions(world.list),
        (std::vector<std::string>{"Source/150", "Source Size/100", "Target/150", "Target Size/100",
                                  "Target Profile/100", "Duration/60", "Percent/70",
                                  "Bitrate(kbs)/70", "Left Time/70", "Used Time/70"}));
    ASSERT_EQ(world.list.RowCount(), 1);
    EXPECT_EQ(world.list.rows[0]->ID(), unfinished);

    StoreTask(world, Settings("/in/b.avi", "/out/b.mp4"), false);
    StoreTask(world, Settings("/in/c.avi", "/out/c.mp4", 1), true);
    // Shown again: the Converting node does not read the database a second time.
    world.explorer.Show(world.Converting(), world.list);
    EXPECT_EQ(world.list.RowCount(), 1);
    EXPECT_EQ(world.Converting().Tasks().size(), 1u);

    world.explorer.Show(world.Category(1), world.list);
    EXPECT_EQ(
        Captions(world.list),
        (std::vector<std::string>{"Source/150", "Source Size/100", "Target/150", "Target Size/100",
                                  "Target Profile/100", "Duration/60", "Date/120"}));
    EXPECT_EQ(world.list.RowCount(), 1);
    StoreTask(world, Settings("/in/d.avi", "/out/d.mp4", 1), true);
    world.explorer.Show(world.Category(1), world.list);
    ASSERT_EQ(world.list.RowCount(), 2);
    EXPECT_EQ(world.Category(1).Tasks().size(), 2u);
    // Newest first.
    EXPECT_EQ(world.list.rows[0]->GetText(0), "d.avi");
}

TEST(TaskModel, ReloadedTasksKeepStatusCategoryAndTexts) {
    TempFolder home;
    const std::string target = home / "done.mp4";
    {
        TaskWorld world(home.Path().string());
        TConvertedNode& sub = world.tree->NewCategory(world.Category(1), "Sub", "/v");
        ASSERT_EQ(sub.ID(), 2);
        auto waiting = Settings("/in/waiting.avi", "/out/w.mp4", 2);
        waiting->SetDuration(100);
        waiting->ConvertOptions().SetStartTime(40000000);
        StoreTask(world, std::move(waiting), false, {"kept?"});
        auto settings = Settings("/in/done.avi", target, 2);
        settings->SetSourceFileSize(1536);
        settings->SetDuration(3725.4);
        StoreTask(world, std::move(settings), true, {"line 1", "line 2"});
    }
    TaskWorld world(home.Path().string());
    world.explorer.Show(world.Converting(), world.list);
    ASSERT_EQ(world.list.RowCount(), 1);
    TAVTask& waiting = *world.list.rows[0];
    EXPECT_EQ(waiting.Status(), stError);
    EXPECT_EQ(waiting.GetImageIndex(), 2);
    EXPECT_FALSE(waiting.IsConverted());
    // The category the user chose is kept for the filing.
    EXPECT_EQ(waiting.CategoryId(), 2);
    EXPECT_EQ(waiting.GetText(0), "waiting.avi");
    // Cut short by the program's end; its length as found before, cut from 40 s on.
    EXPECT_EQ(waiting.GetText(5), "0:1:0");
    EXPECT_EQ(waiting.GetText(6), "Interrupted");
    EXPECT_EQ(waiting.GetText(8), "--:--:--");

    world.explorer.Show(world.Category(2), world.list);
    ASSERT_EQ(world.list.RowCount(), 1);
    TAVTask& done = *world.list.rows[0];
    EXPECT_EQ(done.Status(), stFinished);
    EXPECT_TRUE(done.IsConverted());
    EXPECT_EQ(done.CategoryId(), 2);
    EXPECT_EQ(done.Log(), (TStringList{"line 1", "line 2"}));
    EXPECT_EQ(done.GetText(1), "1KB");
    EXPECT_EQ(done.GetText(2), "done.mp4");
    EXPECT_EQ(done.GetText(3), "0KB");  // the target is not on disk
    EXPECT_EQ(done.GetText(4), "MP4 Video");
    EXPECT_NE(done.GetText(6), "");
    EXPECT_FALSE(done.HasConvertedFile());
    test::WriteFileBytes(target, std::string(3000, 'x'));
    EXPECT_EQ(done.GetText(3), "2KB");
    EXPECT_TRUE(done.HasConvertedFile());
}

TEST(TaskModel, LogKeepsTheMostRecentFiftyOneLines) {
    TempFolder home;
    TaskWorld world(home.Path().string());
    TConvertingTask task(Settings("/in/a.avi", "/out/a.mp4"), &world.list, world.environment);
    for (int i = 0; i < 51; ++i) {
        task.AddLogLine("  line " + std::to_string(i) + "\r\n");
    }
    ASSERT_EQ(task.Log().size(), 51u);
    EXPECT_EQ(task.Log().front(), "line 0");
    task.AddLogLine("\tlast\n");
    ASSERT_EQ(task.Log().size(), 51u);
    EXPECT_EQ(task.Log().front(), "line 1");
    EXPECT_EQ(task.Log().back(), "last");

    // The log pane follows only while the task's row is selected.
    task.ShowInfo(&world.info, &world.log);
    EXPECT_EQ(world.info.columns.size(), 3u);
    EXPECT_EQ(world.log.lines.size(), 51u);
    const int updates = world.log.updates;
    task.AddLogLine("unseen");
    EXPECT_EQ(world.log.updates, updates);
    world.list.selected = &task;
    task.AddLogLine("seen");
    EXPECT_EQ(world.log.lines.back(), "seen");
}

TEST(TaskModel, ClearLogStoresNullAndReloadsEmpty) {
    TempFolder home;
    TaskWorld world(home.Path().string());
    const int id = StoreTask(world, Settings("/in/a.avi", "/out/a.mp4"), true, {"one", "two"});
    world.explorer.Show(world.Category(1), world.list);
    ASSERT_EQ(world.list.RowCount(), 1);
    TAVTask& task = *world.list.rows[0];
    task.ShowInfo(&world.info, &world.log);
    EXPECT_EQ(world.log.lines.size(), 2u);
    task.ClearLog();
    EXPECT_TRUE(task.Log().empty());
    EXPECT_TRUE(world.log.lines.empty());
    auto row = test::FindStoredTask(world.persistence->Database(), id);
    ASSERT_TRUE(row);
    EXPECT_FALSE(row->log.has_value());
    world.explorer.Show(world.Category(1), world.list);
    EXPECT_TRUE(world.list.rows[0]->Log().empty());
}

TEST(TaskModel, DeleteRemovesRecordRowAndExactlyTheChosenFiles) {
    TempFolder home;
    TaskWorld world(home.Path().string());
    struct Case {
        bool source, target;
    };
    for (const Case c :
         {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
        const std::string source = home / "source.avi";
        const std::string target = home / "target.mp4";
        test::WriteFileBytes(source, "source");
        test::WriteFileBytes(target, "target");
        const int id = StoreTask(world, Settings(source, target), true);
        world.explorer.Show(world.Category(1), world.list);
        ASSERT_EQ(world.list.RowCount(), 1);
        TAVTask& task = *world.list.rows[0];
        EXPECT_TRUE(task.HasSource());
        task.Delete(c.source, c.target);
        EXPECT_EQ(world.list.RowCount(), 0);
        EXPECT_TRUE(world.Category(1).Tasks().empty());
        EXPECT_FALSE(test::FindStoredTask(world.persistence->Database(), id));
        EXPECT_EQ(fs::exists(source), !c.source);
        EXPECT_EQ(fs::exists(target), !c.target);
    }
}

TEST(TaskModel, DeletingCategoryTakesSubCategoriesAndFilesTheirRecordsUnderTheDefault) {
    TempFolder home;
    {
        TaskWorld world(home.Path().string());
        TConvertedNode& top = world.tree->NewCategory(world.Category(1), "Top", "/v/top");
        TConvertedNode& sub = world.tree->NewCategory(top, "Sub", "/v/sub");
        TConvertedNode& other = world.tree->NewCategory(world.Category(1), "Other", "/v/o");
        const int movedTop = StoreTask(world, Settings("/a", "/top.mp4", top.ID()), true);
        const int movedSub = StoreTask(world, Settings("/b", "/sub.mp4", sub.ID()), true);
        const int kept = StoreTask(world, Settings("/c", "/other.mp4", other.ID()), true);
        const int unfinished = StoreTask(world, Settings("/d", "/run.mp4", top.ID()), false);

        // The default category is never deleted, and nobody is asked.
        EXPECT_FALSE(world.Category(1).CanDelete());
        EXPECT_FALSE(world.tree->DeleteCategory(world.Category(1)));
        EXPECT_TRUE(world.messages.Messages().empty());

        platform::RecordingMessageService no(false);
        {
            platform::ScopedMessageService answer(no);
            EXPECT_FALSE(world.tree->DeleteCategory(top));
        }
        EXPECT_NE(world.tree->FindCategory(top.ID()), nullptr);

        platform::RecordingMessageService yes(true);
        platform::ScopedMessageService answer(yes);
        const int topId = top.ID();
        const int subId = sub.ID();
        TNodeObject* parent = top.ParentObject();
        EXPECT_TRUE(world.tree->DeleteCategory(top));
        ASSERT_EQ(yes.Messages().size(), 1u);
        EXPECT_EQ(yes.Messages()[0].text,
                  "Do you want to delete the selected category? Its sub-category goes with "
                  "it.\n\n2 converted files are filed there. They will be listed under "
                  "\"Default\"; the files stay on disk.");
        EXPECT_EQ(world.explorer.displayed, parent);
        EXPECT_EQ(world.tree->FindCategory(topId), nullptr);
        EXPECT_EQ(world.tree->FindCategory(subId), nullptr);

        std::vector<std::pair<int, int64_t>> filed;
        for (const auto& row : test::ReadStoredTasks(world.persistence->Database())) {
            filed.emplace_back(row.id, row.categoryId.value_or(0));
        }
        // Converted records of both categories are listed under the default one now; an
        // unfinished task is not filed yet.
        EXPECT_EQ(filed, (std::vector<std::pair<int, int64_t>>{
                             {movedTop, 1}, {movedSub, 1}, {kept, other.ID()}, {unfinished, 0}}));
    }
    TaskWorld world(home.Path().string());
    const auto roots = world.tree->Roots();
    ASSERT_EQ(roots.size(), 2u);
    const auto children = world.tree->Children(*roots[1]);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0]->CategoryName(), "Other");
}

}  // namespace
}  // namespace tw
