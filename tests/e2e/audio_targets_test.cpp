// Sound targets: the source's tags and cover picture come along, and a target named like a sound
// file gets no moving picture unless the request asks for one.
#include <gtest/gtest.h>
#include <strings.h>

#include <string>
#include <vector>

#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

const Metadata kTags = {{"title", "Harbour Lights"},
                        {"artist", "The Tidewell Band"},
                        {"album", "Low Water"},
                        {"date", "2011"}};

// A tag as a reader finds it: on the file, or (Ogg keeps its comments there) on the sound.
std::string TagOf(const MediaInfo& info, const std::string& key) {
    std::vector<const Metadata*> places = {&info.metadata};
    if (info.CountOf(StreamKind::Audio) > 0) {
        places.push_back(&info.First(StreamKind::Audio).metadata);
    }
    for (const Metadata* tags : places) {
        for (const auto& [name, value] : *tags) {
            if (strcasecmp(name.c_str(), key.c_str()) == 0) {
                return value;
            }
        }
    }
    return "";
}

class SoundFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ClipDescription cover;
        cover.width = 64;
        cover.height = 64;
        cover.durationSec = 0.04;
        cover.audioCodec = "";
        cover.videoCodec = "png";
        cover.pixelFormat = "rgb24";
        GenerateClip(cover, folder_ / "cover.png");
        for (const auto& [name, codec] : {std::pair{"song.flac", "flac"}, {"song.mp3", "mp3"}}) {
            ClipDescription song;
            song.videoCodec = "";
            song.audioCodec = codec;
            song.durationSec = 1;
            song.containerMetadata = kTags;
            song.coverArtPath = folder_ / "cover.png";
            GenerateClip(song, folder_ / name);
        }
    }

    MediaInfo Convert(const std::string& source, const std::string& target,
                      const TStringList& metaData = {}) {
        ConversionRunner runner;
        runner.Options().SetMetaData(metaData);
        EXPECT_EQ(runner.Run({folder_ / source}, {folder_ / target}).errorMessage, "");
        return InspectMedia(folder_ / target);
    }

    TempFolder folder_;
};

TEST_F(SoundFiles, CarryTheirTagsAndCoverIntoEverySoundFormat) {
    for (const char* source : {"song.flac", "song.mp3"}) {
        const MediaInfo in = InspectMedia(folder_ / source);
        ASSERT_EQ(TagOf(in, "album"), "Low Water");
        ASSERT_EQ(in.CountOf(StreamKind::Video), 1);
        ASSERT_TRUE(in.First(StreamKind::Video).attachedPicture);
        for (const char* extension : {".mp3", ".m4a", ".ogg", ".wav", ".flac"}) {
            const std::string target = std::string("from-") + (source + 5) + extension;
            SCOPED_TRACE(target);
            const MediaInfo out = Convert(source, target);
            for (const auto& [key, value] : kTags) {
                EXPECT_EQ(TagOf(out, key), value) << key;
            }
            // Ogg and WAVE files hold no cover picture.
            const bool cover = std::string(extension) != ".ogg" && std::string(extension) != ".wav";
            ASSERT_EQ(out.CountOf(StreamKind::Video), cover ? 1 : 0);
            if (cover) {
                const StreamInfo picture = out.First(StreamKind::Video);
                EXPECT_TRUE(picture.attachedPicture);
                EXPECT_EQ(picture.width, 64);
                EXPECT_EQ(DecodeVideoFrameRgb(folder_ / target, 0).width, 64);
            }
            EXPECT_GT(out.First(StreamKind::Audio).decodedSampleCount, 40000);
        }
    }
}

TEST_F(SoundFiles, MetaDataOfTheRequestWinsOverTheSourceTags) {
    const MediaInfo out = Convert("song.flac", "renamed.mp3", {"title=Other Lights"});
    EXPECT_EQ(TagOf(out, "title"), "Other Lights");
    EXPECT_EQ(TagOf(out, "artist"), "The Tidewell Band");
}

TEST(SoundTargets, NamedLikeSoundFilesGetNoVideo) {
    TempFolder folder;
    const std::string clip = MakeClip(folder.Path(), "clip.mp4", 1);
    for (const char* extension :
         {".m4a", ".mka", ".oga", ".ogg", ".opus", ".mp3", ".aac", ".wav", ".flac", ".wma"}) {
        SCOPED_TRACE(extension);
        const std::string target = folder / (std::string("clip") + extension);
        ConversionRunner runner;
        ASSERT_EQ(runner.Run({clip}, {target}).errorMessage, "");
        const MediaInfo out = InspectMedia(target);
        EXPECT_EQ(out.CountOf(StreamKind::Video), 0);
        ASSERT_EQ(out.CountOf(StreamKind::Audio), 1);
        EXPECT_GT(out.First(StreamKind::Audio).decodedSampleCount, 20000);
    }
}

TEST(SoundTargets, KeepVideoWhenTheRequestAsksForIt) {
    TempFolder folder;
    const std::string clip = MakeClip(folder.Path(), "clip.mp4", 1);
    ConversionRunner named;
    named.Options().VideoOptions().SetEncoderVideoCodecName("libx264");
    ASSERT_EQ(named.Run({clip}, {folder / "named.m4a"}).errorMessage, "");
    EXPECT_EQ(InspectMedia(folder / "named.m4a").First(StreamKind::Video).codecName, "h264");
    // A video setting without a codec: the container's own video codec.
    ConversionRunner sized;
    sized.Options().VideoOptions().SetFrameWidth(80);
    ASSERT_EQ(sized.Run({clip}, {folder / "sized.ogg"}).errorMessage, "");
    EXPECT_EQ(InspectMedia(folder / "sized.ogg").First(StreamKind::Video).width, 80);
}

}  // namespace
}  // namespace tw::test
