// Denoise and sharpen do to the picture what their names say: a grainy source comes out nearer
// the clean picture it was made from, a soft one with steeper edges.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "filters/denoise_filter.h"
#include "filters/filter_list.h"
#include "filters/sharpen_filter.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

constexpr int kFrame = 20;

// The test picture, losslessly coded, with a filter over it.
std::string Source(const TempFolder& folder, const std::string& name, const std::string& filter) {
    ClipDescription clip;
    clip.videoCodec = "ffv1";
    clip.audioCodec.clear();
    clip.videoFilter = filter;
    const std::string path = folder / name;
    GenerateClip(clip, path);
    return path;
}

// Converted losslessly, so that only the filter changes the picture.
std::string Convert(const std::string& source, const std::string& target, const TAVFilter& filter) {
    ConversionRunner runner;
    runner.Options().VideoOptions().SetEncoderVideoCodecName("ffv1");
    runner.Options().FilterOptions().SetVideoFilters(filters::FilterChainText({&filter}));
    EXPECT_EQ(runner.Run({source}, {target}).errorMessage, "");
    return target;
}

// Noise: how far a picture lies from the clean one, per colour value.
double Noise(const std::string& path, const RgbFrame& clean) {
    const RgbFrame frame = DecodeVideoFrameRgb(path, kFrame);
    double sum = 0;
    for (size_t i = 0; i < frame.rgb.size(); ++i) {
        sum += std::abs(static_cast<int>(frame.rgb[i]) - static_cast<int>(clean.rgb[i]));
    }
    return sum / static_cast<double>(frame.rgb.size());
}

// Edges: the mean squared step between neighbouring pixels (green). An edge of a given height
// scores higher the fewer pixels it takes.
double EdgeEnergy(const std::string& path) {
    const RgbFrame frame = DecodeVideoFrameRgb(path, kFrame);
    double sum = 0;
    for (int y = 0; y + 1 < frame.height; ++y) {
        for (int x = 0; x + 1 < frame.width; ++x) {
            const int across = frame.Pixel(x, y)[1] - frame.Pixel(x + 1, y)[1];
            const int down = frame.Pixel(x, y)[1] - frame.Pixel(x, y + 1)[1];
            sum += across * across + down * down;
        }
    }
    return sum / (2.0 * (frame.width - 1) * (frame.height - 1));
}

TEST(CleanupFilters, DenoiseBringsGrainyPicturesNearerTheCleanOneTheStrongerItIs) {
    TempFolder folder;
    const RgbFrame clean = DecodeVideoFrameRgb(Source(folder, "clean.mkv", ""), kFrame);
    const std::string grainy = Source(folder, "grainy.mkv", "noise=alls=6:allf=t");
    double previous = Noise(grainy, clean);
    for (const int strength :
         {TDenoiseFilter::kLight, TDenoiseFilter::kMedium, TDenoiseFilter::kStrong}) {
        TDenoiseFilter denoise;
        denoise.SetStrength(strength);
        const double noise = Noise(
            Convert(grainy, folder / ("denoised" + std::to_string(strength) + ".mkv"), denoise),
            clean);
        EXPECT_LT(noise, previous * 0.95) << denoise.GetSummary();
        previous = noise;
    }
}

TEST(CleanupFilters, SharpenSteepensTheEdgesOfASoftPicture) {
    TempFolder folder;
    const std::string soft = Source(folder, "soft.mkv", "boxblur=2");
    TSharpenFilter sharpen;
    sharpen.SetStrength(TSharpenFilter::kStrong);
    EXPECT_GT(EdgeEnergy(Convert(soft, folder / "sharp.mkv", sharpen)), EdgeEnergy(soft) * 1.08);
}

}  // namespace
}  // namespace tw::test
