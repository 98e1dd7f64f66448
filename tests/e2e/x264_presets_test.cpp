// The H.264 presets reach the encoder: libx264 writes the settings it used into the stream,
// and each preset shows its own.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "profiles/custom_audio_profile.h"
#include "profiles/profile_catalogue.h"
#include "profiles/x264_profile.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

// The "options:" part of the encoder's own description in the stream, as key=value pairs.
std::map<std::string, std::string> EncoderSettings(const std::string& path) {
    const std::string bytes = ReadFileBytes(path);
    const size_t core = bytes.find("x264 - core");
    const size_t start = bytes.find("options: ", core);
    if (core == std::string::npos || start == std::string::npos) {
        return {};
    }
    const size_t end = bytes.find('\0', start);
    std::istringstream words(bytes.substr(start + 9, end - start - 9));
    std::map<std::string, std::string> settings;
    std::string word;
    while (words >> word) {
        const size_t eq = word.find('=');
        if (eq != std::string::npos) {
            settings[word.substr(0, eq)] = word.substr(eq + 1);
        }
    }
    return settings;
}

class X264Presets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder();
        ClipDescription clip;
        clip.durationSec = 1;
        clip.audioCodec = "";
        GenerateClip(clip, *folder_ / "clip.mkv");
    }
    static void TearDownTestSuite() { delete folder_; }

    std::map<std::string, std::string> Encode(TPreset preset) {
        TAVX264Profile profile;
        profile.Setpreset(preset);
        ConversionRunner runner;
        runner.Options().VideoOptions().SetEncoderVideoCodecName("libx264");
        runner.Options().SetThreadCount(1);
        profile.ApplyTo(runner.Options());
        const std::string out =
            *folder_ / ("preset" + std::to_string(static_cast<int>(preset)) + ".mp4");
        const ConversionOutcome outcome = runner.Run({*folder_ / "clip.mkv"}, {out});
        EXPECT_EQ(outcome.errorMessage, "");
        EXPECT_EQ(InspectMedia(out).First(StreamKind::Video).decodeErrors, 0);
        return EncoderSettings(out);
    }

    static void Expect(const std::map<std::string, std::string>& settings,
                       const std::map<std::string, std::string>& expected) {
        ASSERT_FALSE(settings.empty()) << "no encoder settings in the stream";
        for (const auto& [key, value] : expected) {
            const auto found = settings.find(key);
            ASSERT_NE(found, settings.end()) << key;
            EXPECT_EQ(found->second, value) << key;
        }
    }

    static TempFolder* folder_;
};

TempFolder* X264Presets::folder_ = nullptr;

TEST_F(X264Presets, BasicShowsItsChoices) {
    Expect(Encode(TPreset::basic), {{"cabac", "1"},          {"me", "hex"},      {"subme", "7"},
                                    {"me_range", "16"},      {"ref", "3"},       {"bframes", "3"},
                                    {"mixed_ref", "1"},      {"weightb", "1"},   {"8x8dct", "1"},
                                    {"fast_pskip", "1"},     {"mbtree", "1"},    {"trellis", "1"},
                                    {"direct", "1"},         {"weightp", "2"},   {"keyint", "250"},
                                    {"keyint_min", "25"},    {"scenecut", "40"}, {"qcomp", "0.60"},
                                    {"qpmin", "10"},         {"qpmax", "51"},    {"qpstep", "4"},
                                    {"ip_ratio", "1.41"},    {"b_adapt", "1"},   {"chroma_me", "1"},
                                    {"analyse", "0x3:0x113"}});
}

TEST_F(X264Presets, FirstPassPresetsAreQuick) {
    Expect(Encode(TPreset::FastFirstPass), {{"me", "dia"},
                                            {"subme", "2"},
                                            {"ref", "1"},
                                            {"trellis", "0"},
                                            {"8x8dct", "0"},
                                            {"weightb", "0"},
                                            {"b_pyramid", "0"},
                                            {"direct", "3"},
                                            // No partitions but the 4x4 intra blocks
                                            // libx264 always keeps.
                                            {"analyse", "0x1:0"}});
    Expect(Encode(TPreset::SlowFirstPass),
           {{"me", "hex"}, {"subme", "6"}, {"ref", "1"}, {"b_adapt", "2"}, {"direct", "3"}});
}

TEST_F(X264Presets, QualityPresetsSearchHarder) {
    Expect(Encode(TPreset::Common), {{"subme", "6"}, {"ref", "2"}, {"b_adapt", "1"}});
    Expect(Encode(TPreset::HighQuality), {{"me", "umh"},
                                          {"subme", "8"},
                                          {"ref", "4"},
                                          {"trellis", "1"},
                                          {"b_adapt", "2"},
                                          {"mixed_ref", "1"}});
    Expect(Encode(TPreset::Best), {{"me", "tesa"},
                                   {"subme", "10"},
                                   {"me_range", "24"},
                                   {"ref", "16"},
                                   {"trellis", "2"},
                                   {"fast_pskip", "0"}});
}

TEST_F(X264Presets, LosslessPresetsUseAConstantZeroQuantiser) {
    const auto fast = Encode(TPreset::LosslessFast);
    Expect(fast, {{"rc", "cqp"}, {"qp", "0"}, {"subme", "3"}, {"weightp", "0"}});
    Expect(Encode(TPreset::LosslessMedium), {{"qp", "0"}, {"subme", "5"}});
    Expect(Encode(TPreset::LosslessSlow), {{"qp", "0"}, {"me", "umh"}, {"ref", "2"}});
    Expect(Encode(TPreset::LosslessSlower),
           {{"qp", "0"}, {"me", "umh"}, {"subme", "8"}, {"ref", "4"}});
    Expect(Encode(TPreset::LosslessMax), {{"qp", "0"}, {"me", "esa"}, {"ref", "16"}});
}

}  // namespace
}  // namespace tw::test
