// The task database in states the program did not leave it in: not a database, damaged,
// read-only, held by another program, in a folder the user may not write. The program always
// starts, says what happened, and never writes over the user's file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "child_process.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string DatabaseFile(const TempFolder& home) {
    return home / "TidewellSoft/VideoConverter/av.cfg";
}

bool HasCategory(TaskWorld& world, const std::string& name) {
    SqliteStatement query =
        world.persistence->Database().Prepare("select ID from Categories where Category=?");
    query.Bind(1, name);
    return query.Step();
}

// A database holding the category "Kept", made by the program itself.
void MakeDatabase(const TempFolder& home) {
    TaskWorld world(home.Path().string());
    world.tree->NewCategory(world.Category(1), "Kept", home / "kept");
}

std::string JoinedErrors(const TaskWorld& world) {
    std::string all;
    for (const std::string& error : world.messages.Errors()) {
        all += error + "\n";
    }
    return all;
}

TEST(DatabaseFaults, DamagedFilesAreKeptAsideAndANewDatabaseTakesTheirPlace) {
    TempFolder home;
    MakeDatabase(home);
    std::string database = ReadFileBytes(DatabaseFile(home));
    // A real database whose pages after the first were overwritten: the header still reads.
    std::fill(database.begin() + 4096, database.end(), '\xA5');
    std::string noise(8192, '\0');
    for (size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    }
    const std::string damaged[] = {noise, "not a database, just words\n", database};
    int kept = 0;
    for (const std::string& bytes : damaged) {
        WriteFileBytes(DatabaseFile(home), bytes);
        {
            TaskWorld world(home.Path().string());
            EXPECT_FALSE(world.persistence->SessionOnly());
            ASSERT_EQ(world.messages.Errors().size(), 1u);
            EXPECT_NE(world.messages.Errors()[0].find("av.cfg.bad"), std::string::npos)
                << world.messages.Errors()[0];
            world.tree->NewCategory(world.Category(1), "New", home / "new");
        }
        // Each damaged file is kept, none replaces an earlier one.
        ++kept;
        const std::string name =
            DatabaseFile(home) + (kept == 1 ? ".bad" : ".bad" + std::to_string(kept));
        EXPECT_EQ(ReadFileBytes(name), bytes);
        TaskWorld again(home.Path().string());
        EXPECT_TRUE(again.messages.Errors().empty()) << JoinedErrors(again);
        EXPECT_TRUE(HasCategory(again, "New"));
    }
}

TEST(DatabaseFaults, FileHeldByAnotherProgramLeavesTheProgramWorkingForTheSession) {
    TempFolder home;
    MakeDatabase(home);
    const std::string file = DatabaseFile(home);
    ChildProcess holder([&file](int report) {
        sqlite3* db = nullptr;
        if (sqlite3_open(file.c_str(), &db) != SQLITE_OK ||
            sqlite3_exec(db,
                         "begin exclusive; insert into Categories(Category, Path, Parent) "
                         "values('Other', '/other', -1);",
                         nullptr, nullptr, nullptr) != SQLITE_OK) {
            return 1;
        }
        Report(report, "r");
        pause();
        return 0;
    });
    ASSERT_EQ(holder.Read(1, 30s), "r");
    {
        TaskWorld world(home.Path().string());
        EXPECT_TRUE(world.persistence->SessionOnly());
        ASSERT_EQ(world.messages.Errors().size(), 1u);
        EXPECT_NE(world.messages.Errors()[0].find("locked"), std::string::npos)
            << world.messages.Errors()[0];
        // The program works; what it does now is not stored.
        world.tree->NewCategory(world.Category(1), "Unsaved", home / "u");
        EXPECT_TRUE(HasCategory(world, "Unsaved"));
    }
    holder.Kill();
    holder.Wait();
    TaskWorld again(home.Path().string());
    EXPECT_FALSE(again.persistence->SessionOnly());
    EXPECT_TRUE(again.messages.Errors().empty()) << JoinedErrors(again);
    EXPECT_TRUE(HasCategory(again, "Kept"));
    EXPECT_FALSE(HasCategory(again, "Unsaved"));
    EXPECT_FALSE(HasCategory(again, "Other"));
}

// What a program started by an unprivileged user in home reports: whether it works on a copy,
// whether the stored category shows, and the messages.
std::string StartUnprivileged(const TempFolder& home) {
    ChildProcess child(
        [&home](int report) {
            TaskWorld world(home.Path().string());
            world.tree->NewCategory(world.Category(1), "Unsaved", "/u");
            Report(report,
                   std::string("session=") + (world.persistence->SessionOnly() ? "1" : "0") +
                       " kept=" + (HasCategory(world, "Kept") ? "1" : "0") + " works=" +
                       (HasCategory(world, "Unsaved") ? "1" : "0") + "\n" + JoinedErrors(world));
            return 0;
        },
        true);
    const std::string report = child.ReadAll(60s);
    EXPECT_EQ(child.Wait(), 0) << report;
    return report;
}

TEST(DatabaseFaults, ReadOnlyDatabaseShowsItsTasksAndIsLeftAsItWas) {
    TempFolder home;
    MakeDatabase(home);
    const std::string file = DatabaseFile(home);
    const std::string before = ReadFileBytes(file);
    for (const std::string& folder :
         {home.Path().string(), home / "TidewellSoft", home / "TidewellSoft/VideoConverter"}) {
        ShareWithEveryone(folder, false);
    }
    fs::permissions(home / "TidewellSoft/VideoConverterConfig.Xml",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    const std::string report = StartUnprivileged(home);
    EXPECT_EQ(report.rfind("session=1 kept=1 works=1\n", 0), 0u) << report;
    EXPECT_NE(report.find("Can not open Database " + file), std::string::npos) << report;
    EXPECT_EQ(ReadFileBytes(file), before);
}

TEST(DatabaseFaults, ConfigurationFolderWithoutWritePermissionStillStarts) {
    TempFolder home;
    ShareWithEveryone(home.Path().string(), false);
    const std::string report = StartUnprivileged(home);
    EXPECT_EQ(report.rfind("session=1 kept=0 works=1\n", 0), 0u) << report;
    // One message for the configuration, one for the database.
    EXPECT_NE(report.find("changes to them will not be kept"), std::string::npos) << report;
    EXPECT_NE(report.find("Database " + DatabaseFile(home) + " does not exist"), std::string::npos)
        << report;
    EXPECT_TRUE(fs::is_empty(home.Path()));
}

// The file written over or cut short while a task converts: the program says so once, keeps the
// damaged file aside, and goes on with a new one holding its categories and tasks; the task is
// filed, and the categories show.
TEST(DatabaseFaults, DamagedWhileATaskConvertsTheProgramGoesOn) {
    for (const bool cutShort : {false, true}) {
        SCOPED_TRACE(cutShort ? "cut short" : "written over");
        TempFolder home;
        const std::string source = MakeClip(home.Path(), "clip.mkv", 2);
        TaskWorld world(home.Path().string());
        world.configuration.SetShowAlert(false);
        TConvertedNode& kept = world.tree->NewCategory(world.Category(1), "Kept", home / "kept");
        world.explorer.Show(world.Converting(), world.list);
        auto settings = std::make_unique<TConversionSettings>();
        settings->SetSourceFile(source);
        settings->SetTargetFile(home / "out.mp4");
        settings->SetCategoryId(kept.ID());
        settings->ConvertOptions().Engine.RateEmulation = true;
        TAVTask& task = world.Converting().AddTask(std::move(settings));
        const int id = task.ID();
        ASSERT_TRUE(world.RunUntil([&] { return task.Converter().StartTime() > 0; }, 20s));

        // Damaged between two of the program's writes (they go on in a thread of their own).
        world.persistence->Flush();
        const std::string file = DatabaseFile(home);
        const std::string before = ReadFileBytes(file);
        WriteFileBytes(file, cutShort ? std::string() : std::string(before.size(), '\x5A'));
        // The damage is found by the database's writer and repaired on the UI thread.
        ASSERT_TRUE(world.RunUntil(
            [&] { return world.Converting().Tasks().empty() && !world.messages.Errors().empty(); },
            60s));

        ASSERT_EQ(world.messages.Errors().size(), 1u) << JoinedErrors(world);
        EXPECT_NE(world.messages.Errors()[0].find("av.cfg.bad"), std::string::npos)
            << world.messages.Errors()[0];
        EXPECT_EQ(ReadFileBytes(file + ".bad").size(), cutShort ? 0u : before.size());
        EXPECT_TRUE(HasCategory(world, "Kept"));
        auto row = FindStoredTask(world.persistence->Database(), id);
        ASSERT_TRUE(row);
        EXPECT_FALSE(row->converting);
        EXPECT_EQ(row->categoryId, kept.ID());

        world.explorer.Show(kept, world.list);
        ASSERT_EQ(world.list.RowCount(), 1);
        EXPECT_EQ(world.list.rows[0]->ID(), id);
        EXPECT_FALSE(world.persistence->SessionOnly());
        EXPECT_EQ(world.messages.Errors().size(), 1u) << JoinedErrors(world);
    }
}

}  // namespace
}  // namespace tw::test
