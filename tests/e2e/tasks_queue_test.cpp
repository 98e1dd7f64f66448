// The queue of unfinished tasks with the real engine and task database: a limit of one lets the
// tasks convert one after another in list order, the others "Waiting"; a place given up starts the
// next; the waiting and the held-back tasks are so again after a restart of the program.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/media_generator.h"
#include "support/task_fakes.h"

namespace tw::test {
namespace {

std::unique_ptr<TConversionSettings> Request(const std::string& source, const std::string& target) {
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(target);
    settings->SetProfile("MP4");
    // Real time, so that a run is still under way when the test looks.
    settings->ConvertOptions().Engine.RateEmulation = true;
    return settings;
}

std::vector<std::string> Statuses(TConvertingNode& node) {
    std::vector<std::string> statuses;
    for (const auto& task : node.Tasks()) {
        statuses.push_back(task->StatusText());
    }
    return statuses;
}

TEST(TasksQueue, OneAtATimeInListOrderAndTheWaitingSurviveARestart) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "source.mkv", 1);
    {
        TaskWorld world(home.Path().string());
        world.configuration.PerformanceOptions().SetMaxConversions(1);
        world.explorer.Show(world.Converting(), world.list);
        TConvertingNode& node = world.Converting();
        for (const char* name : {"a", "b", "c", "d"}) {
            node.AddTask(Request(source, home / (std::string("out/") + name + ".mp4")));
        }
        TAVTask& a = *node.Tasks()[0];
        TAVTask& b = *node.Tasks()[1];
        TAVTask& d = *node.Tasks()[3];
        EXPECT_EQ(Statuses(node),
                  (std::vector<std::string>{"Converting", "Waiting", "Waiting", "Waiting"}));
        EXPECT_EQ(d.GetImageIndex(), TAVTask::kWaitingImage);
        EXPECT_FALSE(d.IsActive());

        // Held back before its turn: it shows "Paused" and is passed over.
        d.Pause();
        // The place a stopped task gives up goes to the first one waiting.
        a.Stop();
        EXPECT_EQ(Statuses(node),
                  (std::vector<std::string>{"Stopped", "Converting", "Waiting", "Paused"}));
        EXPECT_TRUE(b.IsActive());
        // The program ends while b converts.
    }
    TaskWorld world(home.Path().string());
    world.configuration.PerformanceOptions().SetMaxConversions(1);
    world.explorer.Show(world.Converting(), world.list);
    TConvertingNode& node = world.Converting();
    ASSERT_EQ(node.Tasks().size(), 4u);
    // c waited, so it converts now; d stays held back.
    EXPECT_EQ(Statuses(node),
              (std::vector<std::string>{"Stopped", "Interrupted", "Converting", "Paused"}));
    TAVTask& c = *node.Tasks()[2];
    TAVTask& d = *node.Tasks()[3];
    EXPECT_EQ(c.Settings().TargetFile(), home / "out/c.mp4");
    // Let go again, d waits for c's place.
    d.Resume();
    EXPECT_EQ(d.StatusText(), "Waiting");
    ASSERT_TRUE(world.RunUntil([&] { return node.Tasks().size() == 3; }));
    EXPECT_EQ(Statuses(node), (std::vector<std::string>{"Stopped", "Interrupted", "Converting"}));
    ASSERT_TRUE(world.RunUntil([&] { return node.Tasks().size() == 2; }));
    EXPECT_TRUE(std::filesystem::exists(home / "out/c.mp4"));
    EXPECT_TRUE(std::filesystem::exists(home / "out/d.mp4"));
    EXPECT_TRUE(world.messages.Errors().empty());
}

}  // namespace
}  // namespace tw::test
