// The texts the filter classes write and the list rule that joins them: the stored form of a
// conversion's filters, which must stay exactly as it is.
#include <gtest/gtest.h>

#include "filters/filter_list.h"
#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/subtitle_filter.h"
#include "filters/video_std_filter.h"

namespace tw::filters {
namespace {

TEST(StdFilterText, FlipAndRotateGiveTwoItems) {
    TVideoStdFilter filter;
    filter.SetVerticalFilp(true);
    filter.SetRotate(true);
    filter.SetDegree(90);
    EXPECT_EQ(filter.GetFilterText(), "vflip,rotate=90");
}

TEST(StdFilterText, RedBoxWithNegate) {
    TVideoStdFilter filter;
    filter.SetDrawBox(true);
    filter.SetBX(10);
    filter.SetBY(20);
    filter.SetBWidth(100);
    filter.SetBHeight(50);
    filter.SetBColor("Red");
    filter.SetNegate(true);
    EXPECT_EQ(filter.GetFilterText(), "drawbox=10:20:100:50:Red,negate");
}

TEST(StdFilterText, ItemsKeepTheirFixedOrderAndOnlySwitchedOnesAppear) {
    TVideoStdFilter filter;
    filter.SetDegree(30);  // ignored while Rotate is off
    filter.SetBColor("Blue");
    EXPECT_EQ(filter.GetFilterText(), "");
    filter.SetRotate(true);
    filter.SetNegate(true);
    filter.SetDrawBox(true);
    filter.SetHorizontalFilip(true);
    filter.SetVerticalFilp(true);
    filter.SetBX(-4);
    EXPECT_EQ(filter.GetFilterText(), "vflip,hflip,drawbox=-4:0:0:0:Blue,negate,rotate=30");
}

TEST(LogoFilterText, DoublesBackslashesAndIsWrappedAsTheOnlyItem) {
    TLogoFilter logo;
    logo.SetLogoFile("C:\\img\\corner.png");
    logo.SetX(10);
    logo.SetY(10);
    const std::string piece = logo.GetFilterText();
    EXPECT_EQ(piece, "movie=0:png:C:\\\\img\\\\corner.png [wm];[in][wm] overlay=10:10:1 [out]");
    EXPECT_EQ(FilterChainText({&logo}),
              " movie=0:png:C:\\\\img\\\\corner.png  [wm];[in][wm]  overlay=10:10:1  [out] ");
}

TEST(OverlayTextFilterText, TwoLinesBecomeOneWithBackslashN) {
    TOverlayTextFilter text;
    text.SetText("Hello\r\nWorld");
    text.SetFontFile("C:\\Fonts\\arial.ttf");
    text.SetFontSize(16);
    text.SetX(5);
    text.SetY(7);
    text.SetFontColor(kColorYellow);
    text.SetBgColor(kColorBlue);
    EXPECT_EQ(text.GetFilterText(),
              "drawtext=fontfile=\\'C:\\\\Fonts\\\\arial.ttf\\'#text='Hello\\nWorld'#x=5#y=7"
              "#fontsize=16#fgcolor=0xFFFF00FF#bgcolor=0x0000FF00");
    // A lone line feed or carriage return is a line break too; nothing else is escaped.
    text.SetText("a\nb\rc 'd'\\e");
    EXPECT_NE(text.GetFilterText().find("#text='a\\nb\\nc 'd'\\e'#"), std::string::npos);
}

TEST(OverlayTextFilterText, ColoursArePaddedUpperCaseRgb) {
    TOverlayTextFilter text;
    text.SetFontColor(0x0A0B0C);                       // red 0C, green 0B, blue 0A
    text.SetBgColor(static_cast<TColor>(0xFF000001));  // top byte dropped
    const std::string piece = text.GetFilterText();
    EXPECT_NE(piece.find("#fgcolor=0x0C0B0AFF#bgcolor=0x01000000"), std::string::npos) << piece;
}

TEST(SubtitleFilterText, RedAndBlackAreNotPadded) {
    TSubtitleFilter subtitles;
    subtitles.SetSubtitleFile("C:\\subs\\film.srt");
    subtitles.SetFontFile("C:\\Fonts\\arial.ttf");
    subtitles.SetFontColor(kColorRed);
    EXPECT_EQ(subtitles.GetFilterText(),
              "ass=filename$C:\\\\subs\\\\film.srt#font$C:\\\\Fonts\\\\arial.ttf#color$0xFF000000");
    subtitles.SetFontColor(kColorBlack);
    EXPECT_EQ(subtitles.GetFilterText(),
              "ass=filename$C:\\\\subs\\\\film.srt#font$C:\\\\Fonts\\\\arial.ttf#color$0x000");
    subtitles.SetFontColor(0x0000AB);
    subtitles.SetCodePage("cp1251");
    EXPECT_EQ(subtitles.GetFilterText(),
              "ass=filename$C:\\\\subs\\\\film.srt#font$C:\\\\Fonts\\\\arial.ttf#color$0xAB000000"
              "#codepage$cp1251");
}

TEST(FilterChainText, StandardPieceStandsUnquotedTextPieceQuotedOnlyWithBlankOrComma) {
    TVideoStdFilter flip;
    flip.SetVerticalFilp(true);
    TOverlayTextFilter text;
    text.SetText("Hi");
    text.SetFontFile("/f.ttf");
    EXPECT_EQ(FilterChainText({&flip, &text}), "vflip," + text.GetFilterText());
    text.SetText("Hi there");
    EXPECT_EQ(FilterChainText({&flip, &text}),
              "vflip, drawtext=fontfile=\\'/f.ttf\\'#text='Hi  there'#x=0#y=0#fontsize=0"
              "#fgcolor=0x000000FF#bgcolor=0x00000000 ");
    text.SetText("a,b");
    // Appended, not `" " + ...`: GCC 12 warns falsely on that at -O2 and above.
    EXPECT_EQ(FilterChainText({&text, &flip}),
              std::string(" ").append(text.GetFilterText()).append(" ,vflip"));
}

TEST(FilterListRule, EmptyListsAndWrapping) {
    EXPECT_EQ(JoinFilterItems({}), "");
    EXPECT_EQ(JoinFilterItems({""}), "  ");
    EXPECT_EQ(JoinFilterItems({"a", ""}), "a,");
    EXPECT_EQ(JoinFilterItems({"a\tb"}), " a\tb ");
    EXPECT_EQ(JoinFilterItems({"x,y", "z"}), " x,y ,z");
    EXPECT_EQ(JoinFilterItems({" lead", "trail "}), "   lead , trail   ");
    EXPECT_EQ(FilterChainText({}), "");
}

TEST(FilterListRule, SplitGivesBackWhatJoinWrote) {
    const std::vector<std::vector<std::string>> lists = {
        {},
        {""},
        {"vflip"},
        {"a", "", "b"},
        {"a ,b", "c"},
        {" lead", "trail ", "  "},
        {"x  y", "\n", "q'r,s"},
        {"a", ""},
    };
    for (const auto& items : lists) {
        const std::string text = JoinFilterItems(items);
        const auto back = SplitFilterItems(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(*back, items) << "[" << text << "]";
    }
}

TEST(FilterListRule, TextsTheRuleCannotWriteAreRefused) {
    EXPECT_FALSE(SplitFilterItems(" open").has_value());
    EXPECT_FALSE(SplitFilterItems("scale=320:240, crop=10:10").has_value());
    EXPECT_FALSE(SplitFilterItems(" a b ").has_value());  // single blank inside a wrapped item
    EXPECT_EQ(SplitFilterItems("[in]crop=10:10[out]"),
              std::vector<std::string>{"[in]crop=10:10[out]"});
}

TEST(FilterClasses, SummariesSayWhatEachFilterDoes) {
    TVideoStdFilter standard;
    EXPECT_EQ(standard.GetSummary(), "Standard Filters");
    standard.SetRotate(true);
    standard.SetDegree(90);
    EXPECT_EQ(standard.GetSummary(), "Rotate 90\u00B0");
    standard.SetVerticalFilp(true);
    standard.SetDrawBox(true);
    standard.SetBX(10);
    standard.SetBY(20);
    standard.SetBWidth(100);
    standard.SetBHeight(50);
    standard.SetBColor("Red");
    EXPECT_EQ(standard.GetSummary(), "Vertical flip, Red box 100x50 at 10,20, Rotate 90\u00B0");
    TOverlayTextFilter text;
    text.SetText("Hello\r\nworld");
    text.SetX(100);
    text.SetY(600);
    EXPECT_EQ(text.GetSummary(), "Text 'Hello world' at 100,600");
    text.SetText("A text far too long for a list entry to show");
    EXPECT_EQ(text.GetSummary(), "Text 'A text far too long for \u2026' at 100,600");
    TLogoFilter logo;
    logo.SetLogoFile("/pictures/corner.png");
    logo.SetX(5);
    EXPECT_EQ(logo.GetSummary(), "Logo 'corner.png' at 5,0");
    TSubtitleFilter subtitles;
    subtitles.SetSubtitleFile("/films/film.srt");
    subtitles.SetCodePage("cp1251");
    EXPECT_EQ(subtitles.GetSummary(), "Subtitles 'film.srt' (cp1251)");
}

TEST(FilterClasses, CaptionsAndStoredPropertyNames) {
    TVideoStdFilter standard;
    TLogoFilter logo;
    TOverlayTextFilter text;
    TSubtitleFilter subtitles;
    EXPECT_EQ(standard.GetCaption(), "Standard Filters");
    EXPECT_EQ(logo.GetCaption(), "Logo Filter");
    EXPECT_EQ(text.GetCaption(), "Overlay Text Filter");
    EXPECT_EQ(subtitles.GetCaption(), "Hard Subtitle Filter");
    auto names = [](const TPersistent& object) {
        std::string all;
        for (const PropertyInfo& p : object.Properties()) {
            all += p.name + " ";
        }
        return all;
    };
    EXPECT_EQ(names(standard),
              "VerticalFilp HorizontalFilip Negate Rotate DrawBox Degree BX BY BWidth BHeight "
              "BColor ");
    EXPECT_EQ(names(logo), "X Y LogoFile ");
    EXPECT_EQ(names(text), "Text FontSize X Y FontColor BgColor FontFile ");
    EXPECT_EQ(names(subtitles), "SubtitleFile FontFile CodePage FontColor ");
}

}  // namespace
}  // namespace tw::filters
