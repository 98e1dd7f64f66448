// The user's filters as a conversion renders them: a generated picture of known colours is
// converted with each filter kind and the decoded output is checked pixel by pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "filters/filter_list.h"
#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/subtitle_filter.h"
#include "filters/video_std_filter.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

constexpr char kFont[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Sources are 4:4:4 so that colours stay sharp at the edges of logos and text.

// Four quadrants of 80x60: red top left, lime top right, blue bottom left, white bottom right.
std::string Quadrants(double seconds = 1.0) {
    return "color=c=white:size=160x120:rate=10:duration=" + std::to_string(seconds) +
           ",drawbox=x=0:y=0:w=80:h=60:color=red:t=fill"
           ",drawbox=x=80:y=0:w=80:h=60:color=lime:t=fill"
           ",drawbox=x=0:y=60:w=80:h=60:color=blue:t=fill,format=yuv444p[out0]";
}

std::string SolidBlue(int width, int height, double seconds) {
    return "color=c=blue:size=" + std::to_string(width) + "x" + std::to_string(height) +
           ":rate=10:duration=" + std::to_string(seconds) + ",format=yuv444p[out0]";
}

struct Rgb {
    int r, g, b;
};

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kLime{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kCyan{0, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

::testing::AssertionResult Near(const RgbFrame& frame, int x, int y, Rgb want, int tolerance = 24) {
    const uint8_t* p = frame.Pixel(x, y);
    if (std::abs(p[0] - want.r) <= tolerance && std::abs(p[1] - want.g) <= tolerance &&
        std::abs(p[2] - want.b) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "pixel (" << x << "," << y << ") is " << int(p[0]) << "," << int(p[1]) << ","
           << int(p[2]) << ", expected " << want.r << "," << want.g << "," << want.b;
}

// Pixels in [x0,x1) x [y0,y1) that a strong colour of the given kind.
int CountLike(const RgbFrame& frame, int x0, int y0, int x1, int y1, Rgb want) {
    int count = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, frame.height); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, frame.width); ++x) {
            const uint8_t* p = frame.Pixel(x, y);
            if (std::abs(p[0] - want.r) < 70 && std::abs(p[1] - want.g) < 70 &&
                std::abs(p[2] - want.b) < 70) {
                ++count;
            }
        }
    }
    return count;
}

class FiltersRender : public ::testing::Test {
protected:
    // Converts a generated source into a nearly lossless file through the given chain text.
    ConversionOutcome Run(const std::string& lavfiSource, const std::string& chain,
                          const std::string& output) {
        ConversionRunner runner;
        runner.Options().SetInputFormat("lavfi");
        runner.Options().VideoOptions().SetEncoderVideoCodecName("ffv1");
        runner.Options().VideoOptions().PixelFormat = AV_PIX_FMT_YUV444P;
        runner.Options().FilterOptions().SetVideoFilters(chain);
        const ConversionOutcome outcome = runner.Run({lavfiSource}, {output});
        EXPECT_TRUE(outcome.finished);
        return outcome;
    }

    std::string Convert(const std::string& lavfiSource, const std::string& chain,
                        const std::string& name) {
        const std::string output = folder_ / name;
        const ConversionOutcome outcome = Run(lavfiSource, chain, output);
        EXPECT_EQ(outcome.errorMessage, "") << chain;
        EXPECT_EQ(outcome.completeEvents, 1);
        return output;
    }

    std::string Convert(const std::string& lavfiSource,
                        const std::vector<const TAVFilter*>& filters, const std::string& name) {
        return Convert(lavfiSource, filters::FilterChainText(filters), name);
    }

    // A small PNG logo of the test pattern.
    std::string MakeLogo(const std::string& name, int width, int height) {
        ClipDescription clip;
        clip.width = width;
        clip.height = height;
        clip.durationSec = 0.04;
        clip.videoCodec = "png";
        clip.pixelFormat = "rgb24";
        clip.audioCodec = "";
        const std::string path = folder_ / name;
        GenerateClip(clip, path);
        return path;
    }

    TempFolder folder_;
};

TEST_F(FiltersRender, VerticalFlipMovesTheQuadrants) {
    TVideoStdFilter flip;
    flip.SetVerticalFilp(true);
    const RgbFrame frame = DecodeVideoFrameRgb(Convert(Quadrants(), {&flip}, "vflip.mkv"), 2);
    ASSERT_EQ(frame.width, 160);
    EXPECT_TRUE(Near(frame, 40, 30, kBlue));
    EXPECT_TRUE(Near(frame, 120, 30, kWhite));
    EXPECT_TRUE(Near(frame, 40, 90, kRed));
    EXPECT_TRUE(Near(frame, 120, 90, kLime));
}

TEST_F(FiltersRender, HorizontalFlipAndNegateInvert) {
    TVideoStdFilter filter;
    filter.SetHorizontalFilip(true);
    filter.SetNegate(true);
    const RgbFrame frame = DecodeVideoFrameRgb(Convert(Quadrants(), {&filter}, "neg.mkv"), 2);
    EXPECT_TRUE(Near(frame, 40, 30, {255, 0, 255}));  // lime, mirrored and inverted
    EXPECT_TRUE(Near(frame, 120, 30, kCyan));         // red
    EXPECT_TRUE(Near(frame, 40, 90, kBlack));         // white
    EXPECT_TRUE(Near(frame, 120, 90, kYellow));       // blue
}

TEST_F(FiltersRender, DrawnBoxHasItsColourAtItsPlace) {
    TVideoStdFilter box;
    box.SetDrawBox(true);
    box.SetBX(20);
    box.SetBY(20);
    box.SetBWidth(60);
    box.SetBHeight(30);
    box.SetBColor("Yellow");
    const RgbFrame frame = DecodeVideoFrameRgb(Convert(Quadrants(), {&box}, "box.mkv"), 2);
    EXPECT_TRUE(Near(frame, 21, 35, kYellow));  // left edge
    EXPECT_TRUE(Near(frame, 78, 35, kYellow));  // right edge
    EXPECT_TRUE(Near(frame, 50, 21, kYellow));  // top edge
    EXPECT_TRUE(Near(frame, 50, 48, kYellow));  // bottom edge
    EXPECT_TRUE(Near(frame, 50, 35, kRed));     // an outline: the inside keeps its colour
    EXPECT_TRUE(Near(frame, 15, 35, kRed));
    EXPECT_TRUE(Near(frame, 50, 55, kRed));
}

TEST_F(FiltersRender, RotationTurnsThePicture) {
    TVideoStdFilter quarter;
    quarter.SetRotate(true);
    quarter.SetDegree(90);
    const std::string output = Convert(Quadrants(), {&quarter}, "rot90.mkv");
    const RgbFrame frame = DecodeVideoFrameRgb(output, 2);
    ASSERT_EQ(frame.width, 120);
    ASSERT_EQ(frame.height, 160);
    // Clockwise: the left column becomes the top row.
    EXPECT_TRUE(Near(frame, 30, 40, kBlue));
    EXPECT_TRUE(Near(frame, 90, 40, kRed));
    EXPECT_TRUE(Near(frame, 90, 120, kLime));
    EXPECT_TRUE(Near(frame, 30, 120, kWhite));

    TVideoStdFilter slanted;
    slanted.SetRotate(true);
    slanted.SetDegree(30);
    const RgbFrame turned = DecodeVideoFrameRgb(Convert(Quadrants(), {&slanted}, "rot30.mkv"), 2);
    EXPECT_EQ(turned.width, 198);
    EXPECT_EQ(turned.height, 184);
    EXPECT_TRUE(Near(turned, 1, 1, kBlack));  // corners outside the turned picture
    EXPECT_TRUE(Near(turned, 196, 182, kBlack));
}

TEST_F(FiltersRender, LogoAppearsAtItsPlace) {
    const std::string logoFile = MakeLogo("corner logo.png", 24, 16);
    const RgbFrame logoPicture = DecodeVideoFrameRgb(logoFile, 0);
    TLogoFilter logo;
    logo.SetLogoFile(logoFile);
    logo.SetX(30);
    logo.SetY(20);
    const RgbFrame frame =
        DecodeVideoFrameRgb(Convert(SolidBlue(160, 120, 1), {&logo}, "logo.mkv"), 5);
    int mismatches = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            const uint8_t* want = logoPicture.Pixel(x, y);
            if (!Near(frame, 30 + x, 20 + y, {want[0], want[1], want[2]}, 40)) {
                ++mismatches;
            }
        }
    }
    EXPECT_LE(mismatches, 8);
    EXPECT_TRUE(Near(frame, 29, 20, kBlue));
    EXPECT_TRUE(Near(frame, 54, 20, kBlue));
    EXPECT_TRUE(Near(frame, 30, 36, kBlue));
    EXPECT_TRUE(Near(frame, 5, 5, kBlue));
}

TEST_F(FiltersRender, OverlayTextDrawsInItsColourAtItsPosition) {
    TOverlayTextFilter text;
    text.SetText("WW\nWW");
    text.SetFontFile(kFont);
    text.SetFontSize(32);
    text.SetX(100);
    text.SetY(60);
    text.SetFontColor(kColorRed);
    text.SetBgColor(kColorBlue);
    const RgbFrame frame =
        DecodeVideoFrameRgb(Convert(SolidBlue(320, 240, 1), {&text}, "text.mkv"), 2);
    EXPECT_GT(CountLike(frame, 100, 60, 170, 95, kRed), 150);   // first line
    EXPECT_GT(CountLike(frame, 100, 95, 170, 135, kRed), 150);  // second line
    EXPECT_EQ(CountLike(frame, 0, 0, 320, 58, kRed), 0);
    EXPECT_EQ(CountLike(frame, 0, 0, 98, 240, kRed), 0);
    EXPECT_EQ(CountLike(frame, 0, 150, 320, 240, kRed), 0);
}

class SubtitlesRender : public FiltersRender {
protected:
    std::string WriteSrt(const std::string& name, const std::string& text) {
        const std::string path = folder_ / name;
        WriteFileBytes(path, "1\r\n00:00:01,000 --> 00:00:02,000\r\n" + text + "\r\n\r\n");
        return path;
    }

    // Frames at 0.5 s, 1.5 s and 2.5 s of a 3 s picture with the subtitle burned in.
    std::vector<RgbFrame> Render(const std::string& subtitleFile, const std::string& codePage,
                                 const std::string& name) {
        TSubtitleFilter subtitles;
        subtitles.SetSubtitleFile(subtitleFile);
        subtitles.SetFontFile(kFont);
        subtitles.SetFontColor(kColorYellow);
        subtitles.SetCodePage(codePage);
        const std::string output = Convert(SolidBlue(320, 240, 3), {&subtitles}, name);
        return {DecodeVideoFrameRgb(output, 5), DecodeVideoFrameRgb(output, 15),
                DecodeVideoFrameRgb(output, 25)};
    }

    static int YellowPixels(const RgbFrame& frame) {
        return CountLike(frame, 0, 0, frame.width, frame.height, kYellow);
    }
};

TEST_F(SubtitlesRender, LineIsBurnedInOnlyDuringItsWindow) {
    const auto frames = Render(WriteSrt("film.srt", "Hello World"), "", "subs.mkv");
    EXPECT_EQ(YellowPixels(frames[0]), 0);
    EXPECT_GT(YellowPixels(frames[1]), 100);
    EXPECT_EQ(YellowPixels(frames[2]), 0);
    // At the bottom of the picture.
    EXPECT_EQ(CountLike(frames[1], 0, 0, 320, 160, kYellow), 0);
}

TEST_F(SubtitlesRender, CodePageFileRendersLikeTheSameTextInUtf8) {
    // "Привет" in UTF-8 and in cp1251.
    const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    const std::string cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
    const auto reference = Render(WriteSrt("utf8.srt", utf8), "", "utf8.mkv");
    const auto recoded = Render(WriteSrt("cp1251.txt", cp1251), "cp1251", "cp1251.mkv");
    ASSERT_GT(YellowPixels(reference[1]), 30);
    EXPECT_EQ(recoded[1].rgb, reference[1].rgb);
    EXPECT_EQ(YellowPixels(recoded[0]), 0);
    // Read as UTF-8 the same bytes are no text at all: the run says so instead of dropping it.
    TSubtitleFilter unnamed;
    unnamed.SetSubtitleFile(folder_ / "cp1251.txt");
    unnamed.SetFontFile(kFont);
    const ConversionOutcome outcome =
        Run(SolidBlue(320, 240, 3), unnamed.GetFilterText(), folder_ / "unnamed.mkv");
    EXPECT_EQ(outcome.errorEvents, 1);
    EXPECT_NE(outcome.errorMessage.find("Error opening filters!"), std::string::npos);
}

TEST_F(FiltersRender, MixedChainAppliesInListOrder) {
    const std::string logoFile = MakeLogo("logo.png", 24, 16);
    const RgbFrame logoPicture = DecodeVideoFrameRgb(logoFile, 0);
    TLogoFilter logo;
    logo.SetLogoFile(logoFile);
    logo.SetX(8);
    logo.SetY(8);
    TVideoStdFilter flipNegate;
    flipNegate.SetVerticalFilp(true);
    flipNegate.SetNegate(true);
    TOverlayTextFilter text;
    text.SetText("Hi");
    text.SetFontFile(kFont);
    text.SetFontSize(24);
    text.SetX(90);
    text.SetY(10);
    text.SetFontColor(kColorRed);
    const RgbFrame frame =
        DecodeVideoFrameRgb(Convert(Quadrants(), {&logo, &flipNegate, &text}, "mixed.mkv"), 2);
    // The logo went through the flip and the negation that follow it.
    int mismatches = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            const uint8_t* want = logoPicture.Pixel(x, 15 - y);
            if (!Near(frame, 8 + x, 120 - 8 - 16 + y, {255 - want[0], 255 - want[1], 255 - want[2]},
                      40)) {
                ++mismatches;
            }
        }
    }
    EXPECT_LE(mismatches, 8);
    EXPECT_TRUE(Near(frame, 40, 30, kYellow));  // blue, flipped up and inverted
    // The text comes last, so it keeps its own colour, on black (white inverted).
    EXPECT_GT(CountLike(frame, 88, 8, 140, 40, kRed), 40);
    EXPECT_EQ(CountLike(frame, 40, 45, 160, 120, kRed), 0);
}

// A conversion with more threads shares the scaling and the filters out in slices of the
// picture; the pictures must come out as one thread makes them.
TEST_F(FiltersRender, ThreadsScaleAndFilterAsOneThreadDoes) {
    TVideoStdFilter flip;
    flip.SetHorizontalFilip(true);
    const auto convert = [&](int threads) {
        ConversionRunner runner;
        runner.Options().SetInputFormat("lavfi");
        runner.Options().SetThreadCount(threads);
        runner.Options().VideoOptions().SetEncoderVideoCodecName("ffv1");
        runner.Options().VideoOptions().PixelFormat = AV_PIX_FMT_YUV444P;
        runner.Options().VideoOptions().SetFrameWidth(200);
        runner.Options().VideoOptions().SetFrameHeight(150);
        runner.Options().FilterOptions().SetVideoFilters(filters::FilterChainText({&flip}));
        const std::string output = folder_ / ("threads-" + std::to_string(threads) + ".mkv");
        const ConversionOutcome outcome = runner.Run(
            {"testsrc2=size=320x240:rate=10:duration=0.3,format=yuv444p[out0]"}, {output});
        EXPECT_EQ(outcome.errorMessage, "");
        return DecodeVideoFrameRgb(output, 2);
    };
    const RgbFrame one = convert(1);
    const RgbFrame three = convert(3);
    EXPECT_EQ(one.width, 200);
    EXPECT_EQ(one.height, 150);
    EXPECT_TRUE(one.rgb == three.rgb);
}

}  // namespace
}  // namespace tw::test
