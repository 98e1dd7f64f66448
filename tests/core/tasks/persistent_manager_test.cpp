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

TEST(TaskDatabase, OpeningFailuresSayWhichFile) {
    TempFolder home;
    // A file where the folder should be: the database can be neither found nor created.
    test::WriteFileBytes(home.Path() / "blocked", "x");
    try {
        TPersistentManager manager((home / "blocked") + "/sub", "/tmp");
        FAIL() << "opened";
    } catch (const EAVError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Database " + (home / "blocked") + "/sub/av.cfg" + " does not exist");
    }
    // Something that is not a database.
    fs::create_directories(home.Path() / "junk");
    test::WriteFileBytes(home.Path() / "junk/av.cfg", std::string(4096, 'j'));
    try {
        TPersistentManager manager(home / "junk", "/tmp");
        FAIL() << "opened";
    } catch (const EAVError& e) {
        EXPECT_EQ(std::string(e.what()), "Can not open Database " + (home / "junk") + "/av.cfg");
    }
    // The junk is still there for the user.
    EXPECT_EQ(fs::file_size(home.Path() / "junk/av.cfg"), 4096u);
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
