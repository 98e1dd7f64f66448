#include "tasks/persistent_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "support/scoped_env.h"
#include "support/task_fakes.h"
#include "util/av_error.h"
#include "util/settings_xml.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using test::TaskWorld;
using test::TempFolder;

TEST(TaskDatabase, FirstStartCreatesTablesAndDefaultCategory) {
    TempFolder home;
    TaskWorld world(home.Path().string());
    const std::string file = home / "TidewellSoft/VideoConverter/av.cfg";
    EXPECT_EQ(world.persistence->FileName(), file);
    ASSERT_TRUE(fs::exists(file));

    SqliteDatabase& db = world.persistence->Database();
    SqliteStatement category = db.Prepare("select * from Categories");
    ASSERT_TRUE(category.Step());
    EXPECT_EQ(category.Integer("ID"), 1);
    EXPECT_EQ(category.Integer("Parent"), -1);
    EXPECT_EQ(category.Text("Path"), world.configuration.OutputFolder());
    EXPECT_FALSE(category.Step());
    EXPECT_TRUE(test::ReadStoredTasks(db).empty());

    // The tree shows the Converting node first, then the default category at the top level.
    const auto roots = world.tree->Roots();
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[0], world.tree->ConvertingNode());
    EXPECT_EQ(roots[1], world.tree->DefaultCategory());
}

TEST(TaskDatabase, FileThatCannotBeMadeLeavesADatabaseForTheSessionAndSaysWhichFile) {
    TempFolder home;
    platform::RecordingMessageService messages;
    platform::ScopedMessageService installed(messages);
    // A file where the folder should be: the database can be neither found nor created.
    test::WriteFileBytes(home.Path() / "blocked", "x");
    TPersistentManager manager((home / "blocked") + "/sub", "/tmp");
    EXPECT_TRUE(manager.SessionOnly());
    ASSERT_EQ(messages.Errors().size(), 1u);
    EXPECT_EQ(messages.Errors()[0].rfind(
                  "Database " + (home / "blocked") + "/sub/av.cfg" + " does not exist", 0),
              0u)
        << messages.Errors()[0];
    EXPECT_EQ(manager.Database().QueryInteger("select ID from Categories where Parent=-1"), 1);
}

TEST(TaskDatabase, ConvertedDateSortsAsTimeAndReadsBack) {
    using namespace std::chrono;
    const auto early = system_clock::from_time_t(946684799) + milliseconds(999);  // 1999
    const auto late = system_clock::from_time_t(946684800) + milliseconds(5);     // 2000
    const std::string a = TPersistentManager::DateText(early);
    const std::string b = TPersistentManager::DateText(late);
    EXPECT_EQ(a, "1999-12-31 23:59:59.999");
    EXPECT_LT(a, b);
    EXPECT_EQ(TPersistentManager::ParseDate(a), early);
    EXPECT_EQ(TPersistentManager::ParseDate(b), late);
    EXPECT_EQ(TPersistentManager::ParseDate(""), system_clock::time_point{});
}

TEST(TaskDatabase, LogTextIsLinesEachEndedByCrLf) {
    EXPECT_EQ(TPersistentManager::JoinLog({"one", "", "three"}), "one\r\n\r\nthree\r\n");
    EXPECT_EQ(TPersistentManager::SplitLog("one\r\n\r\nthree\r\n"),
              (TStringList{"one", "", "three"}));
    EXPECT_EQ(TPersistentManager::SplitLog("a\nb"), (TStringList{"a", "b"}));
    EXPECT_TRUE(TPersistentManager::SplitLog("").empty());
}

TEST(TaskDatabase, CategoryOperationsStoreNamesAndPathsAsTexts) {
    TempFolder home;
    TaskWorld world(home.Path().string());
    TConvertedNode& root = *world.tree->DefaultCategory();
    // Quotes and SQL in a name are data, not statement text.
    TConvertedNode& child = world.tree->NewCategory(root, "It's; drop table Categories", "/v/a");
    EXPECT_GT(child.ID(), 1);
    EXPECT_EQ(child.ParentObject(), &root);
    world.tree->SetCategoryProperties(child, "Renamed \"x\"", home / "made/here");
    EXPECT_TRUE(fs::is_directory(home.Path() / "made/here"));

    std::vector<std::unique_ptr<TConvertedNode>> loaded;
    world.persistence->LoadCategories(1, world.environment, &loaded);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->ID(), child.ID());
    EXPECT_EQ(loaded[0]->CategoryName(), "Renamed \"x\"");
    EXPECT_EQ(loaded[0]->Path(), home / "made/here");
}

}  // namespace
}  // namespace tw
