// What the libraries say they can write and read.
#include "media/codec_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tw::media {
namespace {

TEST(CodecSupport, MediaFileExtensionsComeFromTheDemuxersAndSkipSubtitles) {
    const std::vector<std::string> extensions = MediaFileExtensions();
    EXPECT_TRUE(std::is_sorted(extensions.begin(), extensions.end()));
    EXPECT_EQ(std::adjacent_find(extensions.begin(), extensions.end()), extensions.end());
    const auto has = [&](const char* extension) {
        return std::binary_search(extensions.begin(), extensions.end(), std::string(extension));
    };
    for (const char* named : {"webm", "mkv", "m4a", "3gp", "flac", "ogg", "mp3", "avi", "flv"}) {
        EXPECT_TRUE(has(named)) << named;
    }
    // Found by their contents, so named by nobody.
    for (const char* common : {"ts", "m2ts", "vob", "mpg", "wav", "wmv"}) {
        EXPECT_TRUE(has(common)) << common;
    }
    for (const char* text : {"srt", "ass", "vtt", "txt", "sub", "nfo"}) {
        EXPECT_FALSE(has(text)) << text;
    }
}

TEST(CodecSupport, MuxersByNameOrExtension) {
    EXPECT_EQ(MuxerName("webm", {}), "webm");
    EXPECT_EQ(MuxerName({}, "/films/a.mkv"), "matroska");
    EXPECT_EQ(MuxerName("nonsense", {}), std::nullopt);
    EXPECT_EQ(MuxerName({}, "/films/no-extension"), std::nullopt);
    EXPECT_TRUE(MuxerHolds("matroska", "h264"));
    EXPECT_FALSE(MuxerHolds("webm", "h264"));
    EXPECT_FALSE(MuxerHolds("nonsense", "h264"));
    EXPECT_FALSE(MuxerHolds("webm", "nonsense"));
}

}  // namespace
}  // namespace tw::media
