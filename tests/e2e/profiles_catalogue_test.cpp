// Every built-in profile, applied to fresh options, converts a short generated clip into a
// file whose streams are what the profile asks for.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "engine/image_sequence_name.h"
#include "profiles/custom_audio_profile.h"
#include "profiles/profile_catalogue.h"
#include "profiles/profile_list.h"
#include "profiles/target_name.h"
#include "profiles/target_profiles.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// The codec name a stream written by encoder has, as a reader reports it.
std::string CodecOfEncoder(const std::string& encoder) {
    static const std::map<std::string, std::string> kStandIns = {{"libfaac", "aac"},
                                                                 {"libopencore_amrnb", "aac"}};
    const auto standIn = kStandIns.find(encoder);
    const AVCodec* codec = avcodec_find_encoder_by_name(
        standIn == kStandIns.end() ? encoder.c_str() : standIn->second.c_str());
    return codec ? avcodec_get_name(codec->id) : "?";
}

class CatalogueProfiles : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder();
        catalogue_ = CreateBuiltInCatalogue().release();
        ClipDescription small;
        small.width = 320;
        small.height = 240;
        small.durationSec = 1;
        small.sampleRate = 44100;
        GenerateClip(small, *folder_ / "small.mkv");
        // Digital video needs its own picture size when the profile names none.
        ClipDescription pal = small;
        pal.width = 720;
        pal.height = 576;
        pal.sampleRate = 48000;
        pal.pixelFormat = "yuv422p";
        pal.videoCodec = "ffv1";
        GenerateClip(pal, *folder_ / "pal.mkv");
    }
    static void TearDownTestSuite() {
        delete catalogue_;
        delete folder_;
    }

    static TempFolder* folder_;
    static TAVProfileList* catalogue_;
};

TempFolder* CatalogueProfiles::folder_ = nullptr;
TAVProfileList* CatalogueProfiles::catalogue_ = nullptr;

TEST_P(CatalogueProfiles, ConvertsIntoWhatTheProfileAsks) {
    const TAVProfile& profile = catalogue_->Items(GetParam());
    SCOPED_TRACE(profile.Description());
    const bool dv50 = dynamic_cast<const TAVDv50Profile*>(&profile) != nullptr;
    const std::string source = *folder_ / (dv50 ? "pal.mkv" : "small.mkv");
    const std::string outFolder = *folder_ / ("p" + std::to_string(GetParam()));
    const std::string target = TargetFileName(source, profile.Extension(), outFolder);

    ConversionRunner runner;
    TAVConvertOptions& options = runner.Options();
    options.SetThreadCount(2);
    ASSERT_TRUE(profile.ApplyTo(options));
    TAVConvertOptions expected;
    expected.Assign(options);
    const ConversionOutcome outcome = runner.Run({source}, {target});
    ASSERT_EQ(outcome.errorMessage, "");

    const bool images = dynamic_cast<const TAVImageProfile*>(&profile) != nullptr;
    // Image targets are numbered on from the number in their name, or from 1.
    const engine::NumberedName numbered = engine::ImageSequencePattern(target);
    char first[1024];
    std::snprintf(first, sizeof first, numbered.pattern.c_str(), numbered.startNumber);
    const std::string written = images ? std::string(first) : target;
    ASSERT_TRUE(fs::exists(written)) << written;
    if (images) {
        // One picture per frame, numbered on from the target's number.
        int count = 0;
        for (const auto& entry : fs::directory_iterator(outFolder)) {
            (void)entry;
            ++count;
        }
        EXPECT_EQ(count, 25);
    }
    const MediaInfo info = InspectMedia(written);
    const TVideoOptions& video = expected.VideoOptions();
    const TAudioOptions& audio = expected.AudioOptions();
    const bool wantsVideo = !video.EncoderVideoCodecName().empty() || images ||
                            expected.OutputFormat() == "dv" || video.FrameWidth() > 0 ||
                            video.PixelFormat >= 0;
    if (wantsVideo) {
        ASSERT_EQ(info.CountOf(StreamKind::Video), 1);
        const StreamInfo& v = info.First(StreamKind::Video);
        EXPECT_EQ(v.decodeErrors, 0);
        if (!video.EncoderVideoCodecName().empty()) {
            EXPECT_EQ(v.codecName, CodecOfEncoder(video.EncoderVideoCodecName()));
        }
        if (video.FrameWidth() > 0) {
            EXPECT_EQ(v.width, video.FrameWidth());
            EXPECT_EQ(v.height, video.FrameHeight());
        }
        if (video.FrameRateChosen() && !images) {
            EXPECT_NEAR(av_q2d(v.avgFrameRate),
                        static_cast<double>(video.FrameRate().num()) / video.FrameRate().den(),
                        0.02);
        }
        if (!images) {
            EXPECT_GT(v.decodedFrameCount, 0);
        }
    }
    if (!images) {
        // A 50 Mbit DV reader sees two channel pairs.
        ASSERT_GE(info.CountOf(StreamKind::Audio), 1);
        const StreamInfo& a = info.First(StreamKind::Audio);
        if (!audio.EncoderAudioCodecName().empty()) {
            EXPECT_EQ(a.codecName, CodecOfEncoder(audio.EncoderAudioCodecName()));
        }
        if (audio.AudioSampleRate() > 0) {
            EXPECT_EQ(a.sampleRate, audio.AudioSampleRate());
        }
        if (audio.AudioChannels() > 0) {
            EXPECT_EQ(a.channels, audio.AudioChannels());
        }
        EXPECT_GT(a.decodedSampleCount, 0);
    }
    if (!expected.OutputFormat().empty()) {
        const AVOutputFormat* format =
            av_guess_format(expected.OutputFormat().c_str(), nullptr, nullptr);
        ASSERT_NE(format, nullptr);
        // The demuxer that reads the file back belongs to the muxer's family.
        const std::string family = format->name;
        const bool matches = info.formatName.find(family) != std::string::npos ||
                             (family == "vcd" || family == "svcd" || family == "dvd" ||
                              family == "vob") == (info.formatName == "mpeg") ||
                             info.formatName.find("mov") != std::string::npos;
        EXPECT_TRUE(matches) << family << " read back as " << info.formatName;
    }
}

std::string ProfileTestName(const ::testing::TestParamInfo<int>& info) {
    auto catalogue = CreateBuiltInCatalogue();
    std::string name = catalogue->Items(info.param).Name();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return std::to_string(info.param) + "_" + name;
}

INSTANTIATE_TEST_SUITE_P(AllBuiltIn, CatalogueProfiles, ::testing::Range(0, 56), ProfileTestName);

TEST(Catalogue, HasFiftySixProfiles) {
    EXPECT_EQ(CreateBuiltInCatalogue()->Count(), 56);
}

// The containers and codecs a user profile may name beyond the built-in ones write what they
// name.
TEST(UserProfileCodecs, WebmOggAndFlacProfilesConvert) {
    TempFolder folder;
    const std::string source = MakeClip(folder.Path(), "clip.mkv", 1);
    struct Case {
        std::unique_ptr<TAVCustomAudioProfile> profile;
        std::string target;
        std::string video;  // empty: no video stream
        std::string audio;
    };
    auto webm = std::make_unique<TAVCustomVideoProfile>();
    webm->SetFormat(TCustomAVFormat::F_WEBM);
    webm->SetVideoEncoder(TCustomVideoEncoder::VP9);
    webm->SetAudioEncoder(TCustomAudioEncoder::OPUS);
    webm->SetVideoBitrate(300);
    auto ogg = std::make_unique<TAVCustomAudioProfile>();
    ogg->SetFormat(TCustomAVFormat::F_OGG);
    ogg->SetAudioEncoder(TCustomAudioEncoder::VORBIS);
    auto flac = std::make_unique<TAVCustomAudioProfile>();
    flac->SetAudioEncoder(TCustomAudioEncoder::FLAC);
    std::vector<Case> cases;
    cases.push_back({std::move(webm), folder / "clip.webm", "vp9", "opus"});
    cases.push_back({std::move(ogg), folder / "clip.ogg", "", "vorbis"});
    cases.push_back({std::move(flac), folder / "clip.flac", "", "flac"});
    for (Case& c : cases) {
        SCOPED_TRACE(c.target);
        c.profile->SetSampleRate(44100);
        c.profile->SetAudioChannels(TCustomAudioChannels::stereo2);
        c.profile->SetAudioBitrate(96);
        ConversionRunner runner;
        c.profile->ApplyTo(runner.Options());
        ASSERT_EQ(runner.Run({source}, {c.target}).errorMessage, "");
        const MediaInfo info = InspectMedia(c.target);
        if (c.video.empty()) {
            EXPECT_EQ(info.CountOf(StreamKind::Video), 0);
        } else {
            ASSERT_EQ(info.CountOf(StreamKind::Video), 1);
            EXPECT_EQ(info.First(StreamKind::Video).codecName, c.video);
            EXPECT_GT(info.First(StreamKind::Video).decodedFrameCount, 20);
        }
        ASSERT_EQ(info.CountOf(StreamKind::Audio), 1);
        EXPECT_EQ(info.First(StreamKind::Audio).codecName, c.audio);
        EXPECT_NEAR(info.First(StreamKind::Audio).durationSec, 1.0, 0.1);
    }
}

}  // namespace
}  // namespace tw::test
