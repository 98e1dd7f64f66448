// The program killed (SIGKILL) at random moments of its tasks' lives — starting, converting,
// completing, being deleted — many times over one configuration: the task database always
// opens, passes its integrity check, and holds every task the program had stored exactly once,
// unfinished or converted, and none it had deleted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "child_process.h"
#include "support/conversion_runner.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"
#include "util/settings_xml.h"

namespace tw::test {
namespace {

using namespace std::chrono_literals;

std::string TargetName(int round, int n) {
    return "k" + std::to_string(round) + "_" + std::to_string(n) + ".mkv";
}

// The child: adds short tasks one after the other and, by turns, lets one complete, deletes
// one while it converts, or leaves one running beside the next. Reports "A n" once task n is
// stored, "D n" before its deletion begins and "d n" once it is done. Runs until killed.
[[noreturn]] void LiveTasks(const std::string& home, int round, int report) {
    TaskWorld world(home);
    world.explorer.Show(world.Converting(), world.list);
    std::mt19937 random(static_cast<unsigned>(round));
    for (int n = 0;; ++n) {
        auto settings = std::make_unique<TConversionSettings>();
        settings->SetSourceFile(LavfiSource(64, 48, "25", 0.4 + 0.1 * (n % 3)));
        settings->SetTargetFile(home + "/" + TargetName(round, n));
        settings->SetCategoryId(1);
        settings->ConvertOptions().SetInputFormat("lavfi");
        TAVTask& task = world.Converting().AddTask(std::move(settings));
        // Stored once the database writer has it in the file.
        world.persistence->Flush();
        Report(report, "A " + std::to_string(n) + "\n");
        // A task that completed is no longer in the list (and is freed); the list also holds
        // the unfinished tasks of the programs killed before.
        const auto converting = [&] {
            const auto& tasks = world.Converting().Tasks();
            return std::any_of(tasks.begin(), tasks.end(),
                               [&](const auto& t) { return t.get() == &task; });
        };
        switch (random() % 3) {
            case 0:
                world.RunUntil([&] { return !converting() || !task.Converter().IsWorking(); }, 30s);
                break;
            case 1:
                world.RunUntil(
                    [&] { return !converting() || task.Converter().ConvertedDuration() > 0.1; },
                    30s);
                if (converting()) {
                    Report(report, "D " + std::to_string(n) + "\n");
                    task.Delete(false, true);
                    world.persistence->Flush();
                    Report(report, "d " + std::to_string(n) + "\n");
                }
                break;
            default:
                world.dispatcher.ProcessPending();
                break;
        }
    }
}

struct Journal {
    std::set<int> stored;
    std::set<int> deleting;
    std::set<int> deleted;
};

Journal ReadJournal(const std::string& text) {
    Journal journal;
    std::istringstream lines(text);
    char kind = 0;
    int n = 0;
    while (lines >> kind >> n) {
        (kind == 'A' ? journal.stored : kind == 'D' ? journal.deleting : journal.deleted).insert(n);
    }
    return journal;
}

TEST(KilledProgram, DatabaseKeepsEveryStoredTaskOnceThroughManyKills) {
    TempFolder home;
    std::mt19937 random(20240611);
    constexpr int kRounds = 16;
    int tasksSeen = 0;
    int deletions = 0;
    int converted = 0;
    for (int round = 0; round < kRounds; ++round) {
        ChildProcess child(
            [&](int report) -> int { LiveTasks(home.Path().string(), round, report); });
        // The first task is stored once its line arrives. From then on any moment will do: a
        // random number of further tasks stored (so that the rounds reach past the first task
        // however slow the machine), then a random delay.
        std::string journalText = child.Read(4, 60s);
        ASSERT_EQ(journalText.rfind("A 0\n", 0), 0u) << journalText;
        const int laterTasks = static_cast<int>(random() % 3);
        while (ReadJournal(journalText).stored.size() <= static_cast<size_t>(laterTasks)) {
            const std::string more = child.Read(1, 60s);
            ASSERT_FALSE(more.empty()) << "the program stopped storing tasks:\n" << journalText;
            journalText += more;
        }
        std::uniform_int_distribution<int> delayMs(0, 900);
        journalText += child.Read(SIZE_MAX, std::chrono::milliseconds(delayMs(random)));
        child.Kill();
        child.Wait();
        journalText += child.Read(SIZE_MAX, 1s);
        const Journal journal = ReadJournal(journalText);
        tasksSeen += static_cast<int>(journal.stored.size());
        deletions += static_cast<int>(journal.deleting.size());

        TaskWorld world(home.Path().string());
        SCOPED_TRACE("round " + std::to_string(round) + ":\n" + journalText);
        EXPECT_TRUE(world.messages.Errors().empty());
        SqliteStatement check = world.persistence->Database().Prepare("pragma integrity_check");
        ASSERT_TRUE(check.Step());
        EXPECT_EQ(check.Text("integrity_check"), "ok");

        std::map<int, int> rowsOf;
        for (const StoredTask& row : ReadStoredTasks(world.persistence->Database())) {
            TConversionSettings settings;
            ASSERT_NO_THROW(ReadSettingsXml(row.settings, settings)) << row.settings;
            const std::string prefix = home / ("k" + std::to_string(round) + "_");
            const std::string& target = settings.TargetFile();
            if (target.rfind(prefix, 0) != 0) {
                continue;  // an earlier round's
            }
            ++rowsOf[std::stoi(target.substr(prefix.size()))];
            if (!row.converting) {
                ++converted;
                EXPECT_FALSE(row.date.empty());
                EXPECT_EQ(row.categoryId, 1);
            }
        }
        for (const auto& [n, count] : rowsOf) {
            EXPECT_EQ(count, 1) << "task " << n << " stored more than once";
            EXPECT_EQ(journal.deleted.count(n), 0u) << "deleted task " << n << " came back";
        }
        for (int n : journal.stored) {
            if (journal.deleting.count(n) == 0) {
                EXPECT_EQ(rowsOf.count(n), 1u) << "task " << n << " was lost";
            }
        }
    }
    std::printf("%d kills; %d tasks stored, %d converted, %d deleted by the killed programs\n",
                kRounds, tasksSeen, converted, deletions);
    // The rounds did more than start a task each.
    EXPECT_GT(tasksSeen, kRounds);
}

}  // namespace
}  // namespace tw::test
