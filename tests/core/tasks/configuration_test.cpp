#include "tasks/configuration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/message_service.h"
#include "support/scoped_env.h"
#include "util/av_error.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using platform::RecordingMessageService;
using platform::ScopedMessageService;

// Every test gets its own configuration base and videos folder, and records the priority level
// instead of renicing the test process.
class Configuration : public ::testing::Test {
protected:
    void Use(TAVConfiguration& config) {
        config.SetPriorityApplier([this](int level, std::string*) {
            levels_.push_back(level);
            return true;
        });
    }

    std::string Folder() const { return home_ / "config/TidewellSoft/VideoConverter"; }
    std::string File() const { return home_ / "config/TidewellSoft/VideoConverterConfig.Xml"; }
    std::string Output() const { return home_ / "videos/Conversion"; }

    std::string FileText(const std::string& performance, const std::string& afterPerformance,
                         const std::string& output, const std::string& afterOutput) const {
        return "<data PropFormat=\"node\">\r\n"
               "  <TAVConfiguration>\r\n"
               "    <PerformanceOptions>\r\n" +
               performance + "    </PerformanceOptions>\r\n" + afterPerformance +
               "    <OutputFolder>" + output + "</OutputFolder>\r\n" + afterOutput +
               "  </TAVConfiguration>\r\n"
               "</data>\r\n";
    }

    static constexpr const char* kInitialPerformance =
        "      <ThreadCount>0</ThreadCount>\r\n"
        "      <ThreadPrority>2</ThreadPrority>\r\n";

    test::TempFolder home_;
    test::ScopedEnv configHome_{"TIDEWELL_CONFIG_HOME", home_ / "config"};
    test::ScopedEnv videos_{"XDG_VIDEOS_DIR", home_ / "videos"};
    RecordingMessageService messages_;
    ScopedMessageService scope_{messages_};
    std::vector<int> levels_;
};

TEST_F(Configuration, FileNamesLieBesideTheDatabaseFolder) {
    EXPECT_EQ(TAVConfiguration::ConfigFolder(), Folder());
    EXPECT_EQ(TAVConfiguration::ConfigFileName(), File());
    EXPECT_EQ(TAVConfiguration::InitialOutputFolder(), Output());

    const TAVConfiguration config;
    EXPECT_EQ(config.PerformanceOptions().ThreadCount(), 0);
    EXPECT_EQ(config.PerformanceOptions().ThreadPrority(), 2);
    EXPECT_FALSE(config.ShutdownWhenDone());
    EXPECT_EQ(config.OutputFolder(), Output());
    EXPECT_TRUE(config.ShowAlert());
}

TEST_F(Configuration, FirstLoadWritesTheInitialFile) {
    TAVConfiguration config;
    Use(config);
    config.Load();

    EXPECT_EQ(test::ReadFileBytes(File()),
              "<data PropFormat=\"node\">\r\n"
              "  <TAVConfiguration>\r\n"
              "    <PerformanceOptions>\r\n"
              "      <ThreadCount>0</ThreadCount>\r\n"
              "      <ThreadPrority>2</ThreadPrority>\r\n"
              "    </PerformanceOptions>\r\n"
              "    <OutputFolder>" +
                  Output() +
                  "</OutputFolder>\r\n"
                  "  </TAVConfiguration>\r\n"
                  "</data>\r\n");
    EXPECT_EQ(levels_, std::vector<int>{2}) << "saving applies the priority level";
    EXPECT_TRUE(config.ShowAlert());
    EXPECT_TRUE(messages_.Messages().empty());

    TAVConfiguration again;
    Use(again);
    levels_.clear();
    again.Load();
    EXPECT_TRUE(again.ShowAlert());
    EXPECT_FALSE(again.ShutdownWhenDone());
    EXPECT_EQ(levels_, std::vector<int>{2}) << "loading applies the stored priority level";
}

TEST_F(Configuration, SwitchesAreWrittenOnlyAwayFromTheirDefaults) {
    TAVConfiguration config;
    Use(config);
    config.SetShowAlert(false);
    config.SetShutdownWhenDone(true);
    config.Save();
    EXPECT_EQ(test::ReadFileBytes(File()),
              FileText(kInitialPerformance, "    <ShutdownWhenDone>1</ShutdownWhenDone>\r\n",
                       Output(), "    <ShowAlert>0</ShowAlert>\r\n"));

    config.SetShowAlert(true);
    config.SetShutdownWhenDone(false);
    config.Save();
    EXPECT_EQ(test::ReadFileBytes(File()), FileText(kInitialPerformance, "", Output(), ""));
}

TEST_F(Configuration, SavedValuesSurviveARoundTrip) {
    TAVConfiguration config;
    Use(config);
    config.PerformanceOptions().SetThreadCount(4);
    config.PerformanceOptions().SetThreadPrority(1);
    config.SetOutputFolder("/srv/media/out & more");
    config.SetShowAlert(false);
    config.SetShutdownWhenDone(true);
    config.Save();
    EXPECT_EQ(levels_, std::vector<int>{1});
    const std::string first = test::ReadFileBytes(File());

    TAVConfiguration read;
    Use(read);
    read.Load();
    EXPECT_EQ(read.PerformanceOptions().ThreadCount(), 4);
    EXPECT_EQ(read.PerformanceOptions().ThreadPrority(), 1);
    EXPECT_EQ(read.OutputFolder(), "/srv/media/out & more");
    EXPECT_FALSE(read.ShowAlert());
    EXPECT_TRUE(read.ShutdownWhenDone());

    read.Save();
    EXPECT_EQ(test::ReadFileBytes(File()), first);
}

TEST_F(Configuration, MissingElementsKeepTheCurrentValues) {
    fs::create_directories(fs::path(File()).parent_path());
    // No PerformanceOptions; an empty OutputFolder is what a save of an empty folder leaves.
    test::WriteFileBytes(File(),
                         "<data PropFormat=\"node\">\r\n  <TAVConfiguration>\r\n"
                         "    <ShowAlert>0</ShowAlert>\r\n  </TAVConfiguration>\r\n"
                         "</data>\r\n");
    TAVConfiguration config;
    Use(config);
    config.Load();
    EXPECT_EQ(config.PerformanceOptions().ThreadCount(), 0);
    EXPECT_EQ(config.PerformanceOptions().ThreadPrority(), 2);
    // As many files at once as there are processors.
    EXPECT_EQ(config.PerformanceOptions().MaxConversions(),
              TPerformanceOptions::kAsManyAsProcessors);
    EXPECT_GE(config.PerformanceOptions().ConversionPlaces(), 1);
    EXPECT_EQ(config.OutputFolder(), Output());
    EXPECT_FALSE(config.ShowAlert());

    config.SetOutputFolder("");
    config.Save();
    const std::string text = test::ReadFileBytes(File());
    EXPECT_EQ(text.find("OutputFolder"), std::string::npos) << text;
    TAVConfiguration read;
    Use(read);
    read.Load();
    EXPECT_EQ(read.OutputFolder(), Output());
}

TEST_F(Configuration, FileWithByteOrderMarkIsRead) {
    fs::create_directories(fs::path(File()).parent_path());
    test::WriteFileBytes(File(),
                         "\xEF\xBB\xBF" + FileText("      <ThreadCount>3</ThreadCount>\r\n", "",
                                                   "/data/v\xC3\xAD"
                                                   "deo",
                                                   ""));
    TAVConfiguration config;
    Use(config);
    config.Load();
    EXPECT_EQ(config.PerformanceOptions().ThreadCount(), 3);
    EXPECT_EQ(config.PerformanceOptions().ThreadPrority(), 2);
    EXPECT_EQ(config.OutputFolder(),
              "/data/v\xC3\xAD"
              "deo");
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(Configuration, MalformedFileIsKeptAsideAndTheInitialValuesRestored) {
    fs::create_directories(fs::path(File()).parent_path());
    const std::string damaged = "<data PropFormat=\"node\"><TAVConfiguration><ShowAlert>0";
    test::WriteFileBytes(File(), damaged);

    TAVConfiguration config;
    Use(config);
    config.PerformanceOptions().SetThreadPrority(5);
    config.SetShowAlert(false);
    config.SetOutputFolder("/elsewhere");
    config.Load();

    EXPECT_EQ(test::ReadFileBytes(File() + ".bad"), damaged);
    EXPECT_EQ(test::ReadFileBytes(File()), FileText(kInitialPerformance, "", Output(), ""));
    EXPECT_EQ(config.PerformanceOptions().ThreadPrority(), 2);
    EXPECT_EQ(config.OutputFolder(), Output());
    EXPECT_TRUE(config.ShowAlert());
    EXPECT_EQ(levels_, std::vector<int>{2});

    const auto errors = messages_.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(File() + ".bad"), std::string::npos) << errors[0];
}

TEST_F(Configuration, WellFormedFileWithABadValueIsRepairedToo) {
    fs::create_directories(fs::path(File()).parent_path());
    const std::string damaged =
        FileText("      <ThreadCount>many</ThreadCount>\r\n", "", "/elsewhere", "");
    test::WriteFileBytes(File(), damaged);
    TAVConfiguration config;
    Use(config);
    config.Load();
    EXPECT_EQ(test::ReadFileBytes(File() + ".bad"), damaged);
    EXPECT_EQ(config.PerformanceOptions().ThreadCount(), 0);
    EXPECT_EQ(config.OutputFolder(), Output());
    EXPECT_EQ(messages_.Errors().size(), 1u);
}

TEST_F(Configuration, SaveReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    TAVConfiguration config;
    Use(config);
    config.Save();
    config.SetShowAlert(false);
    config.Save();
    EXPECT_NE(test::ReadFileBytes(File()).find("<ShowAlert>0</ShowAlert>"), std::string::npos);
    EXPECT_FALSE(fs::exists(File() + ".tmp"));
}

TEST_F(Configuration, SaveRaisesWhenTheFolderCannotBeMade) {
    test::WriteFileBytes(home_ / "config", "a file where the folder should be");
    TAVConfiguration config;
    Use(config);
    EXPECT_THROW(config.Save(), EAVError);
}

TEST(PerformanceOptions, AssignCopiesBothValuesAndRefusesOtherClasses) {
    TPerformanceOptions source;
    source.SetThreadCount(8);
    source.SetThreadPrority(4);
    TPerformanceOptions target;
    target.Assign(source);
    EXPECT_EQ(target.ThreadCount(), 8);
    EXPECT_EQ(target.ThreadPrority(), 4);

    test::TempFolder home;
    test::ScopedEnv videos{"XDG_VIDEOS_DIR", home / "videos"};
    const TAVConfiguration config;
    try {
        target.Assign(config);
        FAIL() << "no error raised";
    } catch (const EAVError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TAVConfiguration to a TPerformanceOptions");
    }
}

}  // namespace
}  // namespace tw
