// The stored filter chain read back and rewritten for the filter library: pieces parse back to
// the values they were written from, and the library receives every name and text unchanged.
#include <gtest/gtest.h>

#include <filesystem>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavutil/opt.h>
}

#include "filters/filter_chain_translation.h"
#include "filters/filter_list.h"
#include "filters/filter_text_parser.h"
#include "filters/font_family.h"
#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/subtitle_filter.h"
#include "filters/video_std_filter.h"
#include "media/av_ptr.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::filters {
namespace {

namespace fs = std::filesystem;

constexpr char kFont[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// Everything the library's parsers treat specially, and letters outside ASCII.
constexpr char kHostile[] = "a b 'q' \"d\" c:d e,f g;h [i] \\j\\\\ #k $l %m \xC3\x84\xE6\x97\xA5";

TEST(FilterPieces, ParseBackToTheValuesTheyWereWrittenFrom) {
    TLogoFilter logo;
    logo.SetLogoFile(std::string("/x/") + kHostile + " [wm];[in][wm] overlay=1:2:1 [out].png");
    logo.SetX(-7);
    logo.SetY(12);
    const auto logoBack = ParseLogoPiece(logo.GetFilterText());
    ASSERT_TRUE(logoBack);
    EXPECT_EQ(logoBack->logoFile, logo.LogoFile());
    EXPECT_EQ(logoBack->x, -7);
    EXPECT_EQ(logoBack->y, 12);

    TOverlayTextFilter text;
    text.SetFontFile(std::string("C:\\fonts\\") + kHostile + "\\'#text='\\");
    text.SetText(std::string("line one\r\n") + kHostile + "'#x=1#y=2#fontsize=3");
    text.SetX(4);
    text.SetY(-5);
    text.SetFontSize(33);
    text.SetFontColor(0x123456);
    text.SetBgColor(kColorBlue);
    const auto textBack = ParseOverlayTextPiece(text.GetFilterText());
    ASSERT_TRUE(textBack);
    EXPECT_EQ(textBack->fontFile, text.FontFile());
    EXPECT_EQ(textBack->text, std::string("line one\n") + kHostile + "'#x=1#y=2#fontsize=3");
    EXPECT_EQ(textBack->x, 4);
    EXPECT_EQ(textBack->y, -5);
    EXPECT_EQ(textBack->fontSize, 33);
    EXPECT_EQ(textBack->fontRgb, 0x563412u);
    EXPECT_EQ(textBack->backgroundRgb, 0x0000FFu);

    TSubtitleFilter subtitles;
    subtitles.SetSubtitleFile(std::string("C:\\subs\\") + kHostile + ".srt");
    subtitles.SetFontFile(std::string("/f/") + kHostile + ".ttf");
    for (const TColor color : {kColorBlack, kColorRed, TColor{0x00FFFF}, TColor{0x010000}}) {
        for (const std::string codePage : {"", "cp1251"}) {
            subtitles.SetFontColor(color);
            subtitles.SetCodePage(codePage);
            const auto back = ParseSubtitlePiece(subtitles.GetFilterText());
            ASSERT_TRUE(back) << subtitles.GetFilterText();
            EXPECT_EQ(back->subtitleFile, subtitles.SubtitleFile());
            EXPECT_EQ(back->fontFile, subtitles.FontFile());
            EXPECT_EQ(back->fontRgb, ColorToRgb(color));
            EXPECT_EQ(back->codePage, codePage);
        }
    }
}

TEST(FilterPieces, OtherShapesAreNotTakenForPieces) {
    EXPECT_FALSE(ParseLogoPiece("movie=logo.png [wm];[in][wm] overlay=10:10 [out]"));
    EXPECT_FALSE(ParseOverlayTextPiece("drawtext=text='hi':x=1"));
    EXPECT_FALSE(ParseSubtitlePiece("ass=film.ass"));
    EXPECT_FALSE(ParseStdFilterItem("rotate=PI/6"));
    EXPECT_FALSE(ParseStdFilterItem("drawbox=x=1:y=2"));
    EXPECT_FALSE(ParseStdFilterItem("vflip2"));
    const auto box = ParseStdFilterItem("drawbox=-1:2:3:4:Teal");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->x, -1);
    EXPECT_EQ(box->height, 4);
    EXPECT_EQ(box->colorName, "Teal");
}

TEST(FilterChainTranslation, StandardItems) {
    EXPECT_EQ(TranslateFilterChain(""), "");
    EXPECT_EQ(TranslateFilterChain("  "), "");
    EXPECT_EQ(TranslateFilterChain("vflip,hflip,negate"), "vflip,hflip,negate");
    EXPECT_EQ(TranslateFilterChain("vflip,rotate=90"), "vflip,transpose=clock");
    EXPECT_EQ(TranslateFilterChain("rotate=180"), "hflip,vflip");
    EXPECT_EQ(TranslateFilterChain("rotate=-90"), "transpose=cclock");
    EXPECT_EQ(TranslateFilterChain("rotate=360"), "");
    EXPECT_EQ(TranslateFilterChain("rotate=30"),
              "rotate=angle=30*PI/180:ow=trunc((rotw(30*PI/180)+1)/2)*2:"
              "oh=trunc((roth(30*PI/180)+1)/2)*2");
    EXPECT_EQ(TranslateFilterChain("drawbox=10:20:100:50:Red,negate"),
              "drawbox=x=10:y=20:w=100:h=50:color=0xFF0000,negate");
    EXPECT_EQ(TranslateFilterChain("drawbox=1:2:3:4:Green"),
              "drawbox=x=1:y=2:w=3:h=4:color=0x008000");
    // A box without area draws nothing (the library would draw round the whole frame).
    EXPECT_EQ(TranslateFilterChain("drawbox=0:0:0:0:Black,hflip"), "hflip");
}

TEST(FilterChainTranslation, TheLibrarysOwnSyntaxPassesThrough) {
    EXPECT_EQ(TranslateFilterChain("crop=100:80:0:0"), "crop=100:80:0:0");
    EXPECT_EQ(TranslateFilterChain("scale=320:240,hflip"), "scale=320:240,hflip");
    EXPECT_EQ(TranslateFilterChain("scale=320:240, crop=10:10"), "scale=320:240, crop=10:10");
    // A standard filter wrapped as one chain item.
    EXPECT_EQ(TranslateFilterChain(" vflip,rotate=270 ,negate"), "vflip,transpose=cclock,negate");
}

TEST(FilterChainTranslation, SubtitleCodePagesTheReadersHandleThemselvesAreNotRecoded) {
    TSubtitleFilter subtitles;
    subtitles.SetSubtitleFile("/s.srt");
    for (const char* page : {"utf-8", "UTF-16LE", "UCS-2", ""}) {
        subtitles.SetCodePage(page);
        EXPECT_EQ(TranslateFilterChain(subtitles.GetFilterText()).find("charenc"),
                  std::string::npos)
            << page;
    }
    subtitles.SetCodePage("SHIFT_JIS");
    EXPECT_NE(TranslateFilterChain(subtitles.GetFilterText()).find("charenc=\\'SHIFT_JIS\\'"),
              std::string::npos);
}

TEST(FilterChainTranslation, QuotingSurvivesBothParsersOfTheLibrary) {
    EXPECT_EQ(QuoteFilterOption("it's"), "'it'\\''s'");
    EXPECT_EQ(EscapeFilterArguments("a='b,c';[d]\\"), "a=\\'b\\,c\\'\\;\\[d\\]\\\\");
}

TEST(FontFamily, ReadsTheFamilyOfATrueTypeFile) {
    EXPECT_EQ(ReadFontFamilyName(kFont), "DejaVu Sans");
    test::TempFolder folder;
    test::WriteRandomFile(folder / "noise.ttf", 4096, 7);
    EXPECT_FALSE(ReadFontFamilyName(folder / "noise.ttf"));
    EXPECT_FALSE(ReadFontFamilyName(folder / "missing.ttf"));
}

// Builds the translated chain into a graph between a picture source and a sink, as a run does.
class TranslatedGraph : public ::testing::Test {
protected:
    int Build(const std::string& filters) {
        graph_.reset(avfilter_graph_alloc());
        AVFilterContext* source = nullptr;
        AVFilterContext* sink = nullptr;
        int result = avfilter_graph_create_filter(
            &source, avfilter_get_by_name("buffer"), "src",
            "video_size=64x48:pix_fmt=0:time_base=1/25:pixel_aspect=1/1", nullptr, graph_.get());
        if (result < 0) {
            return result;
        }
        result = avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out",
                                              nullptr, nullptr, graph_.get());
        if (result < 0) {
            return result;
        }
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        result =
            avfilter_graph_parse_ptr(graph_.get(), filters.c_str(), &inputs, &outputs, nullptr);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        if (result < 0) {
            return result;
        }
        result = avfilter_graph_config(graph_.get(), nullptr);
        if (result < 0) {
            return result;
        }
        outputWidth_ = av_buffersink_get_w(sink);
        outputHeight_ = av_buffersink_get_h(sink);
        return 0;
    }

    // The value the library holds for an option of the first filter of a kind.
    std::string Option(const char* filter, const char* option) {
        for (unsigned i = 0; i < graph_->nb_filters; ++i) {
            AVFilterContext* context = graph_->filters[i];
            if (std::string(context->filter->name) == filter) {
                uint8_t* value = nullptr;
                if (av_opt_get(context, option, AV_OPT_SEARCH_CHILDREN, &value) < 0) {
                    return "<no option>";
                }
                std::string text = value ? reinterpret_cast<char*>(value) : "";
                av_free(value);
                return text;
            }
        }
        return "<no filter>";
    }

    media::FilterGraphPtr graph_;
    int outputWidth_ = 0;
    int outputHeight_ = 0;
};

TEST_F(TranslatedGraph, NamesAndTextsReachTheFiltersUnchanged) {
    test::TempFolder folder;
    const fs::path dir = folder.Path() / kHostile;
    fs::create_directories(dir);
    const std::string font = (dir / "font file.ttf").string();
    fs::copy_file(kFont, font);
    const std::string subtitlesFile = (dir / "sub's, [1].srt").string();
    test::WriteFileBytes(subtitlesFile, "1\n00:00:00,000 --> 00:00:01,000\nHello\n\n");
    const std::string logoFile = (dir / "logo;1.png").string();
    test::ClipDescription clip;
    clip.width = 8;
    clip.height = 8;
    clip.durationSec = 0.04;
    clip.videoCodec = "png";
    clip.pixelFormat = "rgba";
    clip.audioCodec = "";
    test::GenerateClip(clip, logoFile);

    TVideoStdFilter flip;
    flip.SetVerticalFilp(true);
    flip.SetRotate(true);
    flip.SetDegree(90);
    TOverlayTextFilter text;
    text.SetFontFile(font);
    text.SetText(std::string("It's 100%:\r\n") + kHostile);
    text.SetFontSize(12);
    text.SetFontColor(kColorRed);
    TSubtitleFilter subtitles;
    subtitles.SetSubtitleFile(subtitlesFile);
    subtitles.SetFontFile(font);
    subtitles.SetFontColor(0x00FFFF);
    subtitles.SetCodePage(" cp1252 ");
    TLogoFilter logo;
    logo.SetLogoFile(logoFile);
    logo.SetX(3);
    logo.SetY(4);

    const std::string chain = FilterChainText({&flip, &logo, &text, &subtitles});
    const std::string translated = TranslateFilterChain(chain);
    ASSERT_EQ(Build(translated), 0) << translated;
    EXPECT_EQ(outputWidth_, 48);  // turned a quarter
    EXPECT_EQ(outputHeight_, 64);
    EXPECT_EQ(Option("drawtext", "text"), std::string("It's 100%:\n") + kHostile);
    EXPECT_EQ(Option("drawtext", "fontfile"), font);
    EXPECT_EQ(Option("drawtext", "fontcolor"), "0xff0000ff");
    EXPECT_EQ(Option("drawtext", "fontsize"), "12");
    EXPECT_EQ(Option("subtitles", "filename"), subtitlesFile);
    EXPECT_EQ(Option("subtitles", "charenc"), "cp1252");
    EXPECT_EQ(Option("subtitles", "fontsdir"), dir.string());
    // The filter splits its style overrides at the commas in place, so only the first one can be
    // read back; the colour shows in the rendering tests.
    EXPECT_EQ(Option("subtitles", "force_style"), "FontName=DejaVu Sans");
    EXPECT_EQ(Option("movie", "filename"), logoFile);
    EXPECT_EQ(Option("overlay", "x"), "3");
    EXPECT_EQ(Option("overlay", "y"), "4");
}

TEST_F(TranslatedGraph, LogoJoinsAChainWhereverItStands) {
    test::TempFolder folder;
    const std::string logoFile = folder / "logo.png";
    test::ClipDescription clip;
    clip.width = 8;
    clip.height = 8;
    clip.durationSec = 0.04;
    clip.videoCodec = "png";
    clip.pixelFormat = "rgb24";
    clip.audioCodec = "";
    test::GenerateClip(clip, logoFile);
    TLogoFilter logo;
    logo.SetLogoFile(logoFile);
    TLogoFilter second;
    second.SetLogoFile(logoFile);
    second.SetX(20);
    TVideoStdFilter negate;
    negate.SetNegate(true);
    const std::vector<std::vector<const TAVFilter*>> chains = {
        {&logo}, {&logo, &negate}, {&negate, &logo}, {&negate, &logo, &second, &negate}};
    for (const auto& filters : chains) {
        const std::string translated = TranslateFilterChain(FilterChainText(filters));
        EXPECT_EQ(Build(translated), 0) << translated;
        EXPECT_EQ(outputWidth_, 64);
    }
}

TEST_F(TranslatedGraph, OtherAnglesKeepTheWholePictureInAnEvenFrame) {
    ASSERT_EQ(Build(TranslateFilterChain("rotate=30")), 0);
    EXPECT_EQ(outputWidth_, 80);   // 64 cos 30 + 48 sin 30 = 79.4
    EXPECT_EQ(outputHeight_, 74);  // 64 sin 30 + 48 cos 30 = 73.6
}

}  // namespace
}  // namespace tw::filters
