// Library use counting and routing of library log lines to the thread that produced them.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "media/library.h"

namespace tw::media {
namespace {

class CollectingSink : public LogSink {
public:
    int LogLevel() const override { return AV_LOG_WARNING; }
    void OnLibraryLog(int level, const std::string& text) override {
        levels.push_back(level);
        lines.push_back(text);
    }
    std::vector<int> levels;
    std::vector<std::string> lines;
};

TEST(Library, UseCountKeepsLibrariesBoundWhileAnyUserRemains) {
    const int before = LibraryUseCount();
    {
        LibraryUse conversion;
        {
            LibraryUse probe;
            EXPECT_EQ(LibraryUseCount(), before + 2);
        }
        // A probe going away leaves the conversion's binding in place.
        EXPECT_EQ(LibraryUseCount(), before + 1);
    }
    EXPECT_EQ(LibraryUseCount(), before);
}

TEST(LibraryLog, LinesReachTheSinkOfTheirThreadUpToItsLevel) {
    LibraryUse use;
    CollectingSink sink;
    {
        ThreadLogRegistration registration(sink);
        av_log(nullptr, AV_LOG_WARNING, "warning %d", 24);
        av_log(nullptr, AV_LOG_ERROR, "an error");
        av_log(nullptr, AV_LOG_INFO, "information is not passed on");
    }
    av_log(nullptr, AV_LOG_ERROR, "after the registration ended");
    ASSERT_EQ(sink.lines.size(), 2u);
    EXPECT_EQ(sink.lines[0], "warning 24");
    EXPECT_EQ(sink.levels[0], AV_LOG_WARNING);
    EXPECT_EQ(sink.lines[1], "an error");
}

TEST(LibraryLog, LinesFromOtherThreadsAreDropped) {
    LibraryUse use;
    CollectingSink sink;
    ThreadLogRegistration registration(sink);
    std::thread other([] { av_log(nullptr, AV_LOG_ERROR, "from elsewhere"); });
    other.join();
    EXPECT_TRUE(sink.lines.empty());
}

TEST(LibraryLog, LongLinesAreCutAt1024Characters) {
    LibraryUse use;
    CollectingSink sink;
    ThreadLogRegistration registration(sink);
    const std::string longText(3000, 'x');
    av_log(nullptr, AV_LOG_ERROR, "%s", longText.c_str());
    ASSERT_EQ(sink.lines.size(), 1u);
    EXPECT_EQ(sink.lines[0].size(), 1024u);
}

TEST(LibraryLog, RegistrationIsRemovedWhenItsScopeEnds) {
    const size_t before = RegisteredLogThreads();
    CollectingSink sink;
    {
        ThreadLogRegistration registration(sink);
        EXPECT_EQ(RegisteredLogThreads(), before + 1);
    }
    EXPECT_EQ(RegisteredLogThreads(), before);
}

}  // namespace
}  // namespace tw::media
