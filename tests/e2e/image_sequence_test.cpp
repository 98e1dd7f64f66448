// Image-sequence targets: one real picture file per frame, and a task that owns all of them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "profiles/profile_catalogue.h"
#include "profiles/profile_list.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"
#include "tasks/task_text.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void ApplyGifSequence(TAVConvertOptions& options) {
    ASSERT_TRUE(CreateBuiltInCatalogue()->FindByDescription("GIF Sequence")->ApplyTo(options));
}

std::string Picture(const fs::path& folder, int number) {
    return folder / ("clip" + std::to_string(number) + ".gif");
}

// Mean difference per colour channel, 0..255.
double MeanDifference(const RgbFrame& a, const RgbFrame& b) {
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        sum += std::abs(a.rgb[i] - b.rgb[i]);
    }
    return sum / static_cast<double>(a.rgb.size());
}

TEST(GifSequence, WritesEachPictureAsAGifWithColoursOfItsOwn) {
    TempFolder folder;
    const std::string source = MakeClip(folder.Path(), "clip.mkv", 1);
    ConversionRunner runner;
    ApplyGifSequence(runner.Options());
    ASSERT_EQ(runner.Run({source}, {Picture(folder / "out", 1)}).errorMessage, "");

    int64_t total = 0;
    for (int number = 1; number <= 25; ++number) {
        total += static_cast<int64_t>(fs::file_size(Picture(folder / "out", number)));
    }
    EXPECT_FALSE(fs::exists(Picture(folder / "out", 26)));
    EXPECT_NEAR(static_cast<double>(runner.Converter().OutputSize()), total, total * 0.05);
    std::vector<std::string> palettes;
    for (const int number : {1, 13, 25}) {
        SCOPED_TRACE(number);
        const std::string picture = Picture(folder / "out", number);
        const std::string bytes = ReadFileBytes(picture);
        ASSERT_GT(bytes.size(), 13u + 768u);
        EXPECT_EQ(bytes.substr(0, 6), "GIF89a");
        EXPECT_EQ(bytes.back(), ';');
        // The screen descriptor announces a table of 256 colours right after it.
        EXPECT_EQ(static_cast<uint8_t>(bytes[10]) & 0x87, 0x87);
        palettes.push_back(bytes.substr(13, 768));
        const MediaInfo info = InspectMedia(picture);
        EXPECT_EQ(info.formatName, "gif");
        EXPECT_EQ(info.First(StreamKind::Video).decodedFrameCount, 1);
        EXPECT_LT(MeanDifference(DecodeVideoFrameRgb(picture, 0),
                                 DecodeVideoFrameRgb(source, number - 1)),
                  10.0);
    }
    // Colours chosen for each picture, not one fixed set for all.
    EXPECT_NE(palettes[0], palettes[1]);
    EXPECT_NE(palettes[1], palettes[2]);
}

TEST(GifSequence, TaskShowsTheSizeOfAllPicturesAndDeletesThemAll) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "clip.mkv", 1);
    const fs::path out = home / "out";
    fs::create_directories(out);
    // Left over from a longer run before: not this task's.
    WriteBytes(Picture(out, 26), "old");

    TaskWorld world(home.Path().string());
    world.configuration.SetShowAlert(false);
    world.explorer.Show(world.Category(1), world.list);
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(Picture(out, 1));
    settings->SetProfile("GIF Sequence");
    settings->SetCategoryId(1);
    ApplyGifSequence(settings->ConvertOptions());
    world.Converting().AddTask(std::move(settings));
    ASSERT_TRUE(world.RunUntil([&] { return world.Converting().Tasks().empty(); }, 60s));
    ASSERT_EQ(world.list.RowCount(), 1);
    TAVTask& task = *world.list.rows[0];

    int64_t total = 0;
    for (int number = 1; number <= 25; ++number) {
        total += static_cast<int64_t>(fs::file_size(Picture(out, number)));
    }
    EXPECT_EQ(task.GetText(3), SizeText(total));
    task.Delete(false, true);
    for (int number = 1; number <= 25; ++number) {
        EXPECT_FALSE(fs::exists(Picture(out, number))) << number;
    }
    EXPECT_EQ(ReadFileBytes(Picture(out, 26)), "old");
}

}  // namespace
}  // namespace tw::test
