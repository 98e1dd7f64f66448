#include <gtest/gtest.h>

#include <string>

#include "profiles/comma_text.h"
#include "profiles/custom_audio_profile.h"
#include "util/ini_file.h"

namespace tw {
namespace {

void MakeSample(TAVCustomVideoProfile& profile) {
    profile.SetDescription("My Phone, big");
    profile.SetExtension(".mp4");
    profile.SetCategory("IPhone");
    profile.SetSampleRate(44100);
    profile.SetAudioEncoder(TCustomAudioEncoder::AMR_NB);
    profile.SetAudioChannels(TCustomAudioChannels::mono1);
    profile.SetAudioBitrate(12.2);
    profile.SetFormat(TCustomAVFormat::F_3GP2);
    profile.SetOptions({"maxrate=1000000", "title=a \"b\", c", ""});
    profile.SetFrameWidth(720);
    profile.SetFrameHeight(406);
    profile.SetVideoEncoder(TCustomVideoEncoder::XVID);
    profile.SetFrameRate(TCustomFrameRate::r2397);
    profile.SetVideoBitrate(1500);
    profile.SetPass(2);
    profile.SetFrameAspectRatio(TAVAspectRatio::AR4_3);
}

TEST(ProfileIni, VideoProfileWritesItsKeysInOrder) {
    TIniFile ini = TIniFile::FromText("");
    TAVCustomVideoProfile profile;
    MakeSample(profile);
    profile.SetOptions({"maxrate=1000000", "bufsize=4096k"});
    profile.SaveToIni(ini, 3);
    EXPECT_EQ(ini.Text(),
              "[Profile]\n"
              "Description3=My Phone, big\n"
              "Extension3=.mp4\n"
              "Category3=IPhone\n"
              "IsVideo3=1\n"
              "SampleRate3=44100\n"
              "AudioEncoder3=7\n"
              "AudioChannels3=0\n"
              "AudioBitrate3=12.2\n"
              "Format3=6\n"
              "Options3=maxrate=1000000,bufsize=4096k\n"
              "FrameWidth3=720\n"
              "FrameHeight3=406\n"
              "VideoEncoder3=7\n"
              "FrameRate3=3\n"
              "VideoBitrate3=1500\n");
}

TEST(ProfileIni, RoundTripKeepsEverythingButPassAndAspectRatio) {
    TIniFile ini = TIniFile::FromText("");
    TAVCustomVideoProfile saved;
    MakeSample(saved);
    saved.SaveToIni(ini, 0);
    TIniFile reread = TIniFile::FromText(ini.Text());
    ASSERT_TRUE(reread.ReadBool("profile", "isvideo0", false));
    TAVCustomVideoProfile loaded;
    loaded.LoadFromIni(reread, 0);
    EXPECT_EQ(loaded.Description(), saved.Description());
    EXPECT_EQ(loaded.Extension(), saved.Extension());
    EXPECT_EQ(loaded.Category(), saved.Category());
    EXPECT_EQ(loaded.SampleRate(), saved.SampleRate());
    EXPECT_EQ(loaded.AudioEncoder(), saved.AudioEncoder());
    EXPECT_EQ(loaded.AudioChannels(), saved.AudioChannels());
    EXPECT_EQ(loaded.AudioBitrate(), saved.AudioBitrate());
    EXPECT_EQ(loaded.Format(), saved.Format());
    EXPECT_EQ(loaded.Options(), saved.Options());
    EXPECT_EQ(loaded.FrameWidth(), saved.FrameWidth());
    EXPECT_EQ(loaded.FrameHeight(), saved.FrameHeight());
    EXPECT_EQ(loaded.VideoEncoder(), saved.VideoEncoder());
    EXPECT_EQ(loaded.FrameRate(), saved.FrameRate());
    EXPECT_EQ(loaded.VideoBitrate(), saved.VideoBitrate());
    EXPECT_EQ(loaded.Pass(), 0);
    EXPECT_EQ(loaded.FrameAspectRatio(), TAVAspectRatio::AR_NONE);
}

TEST(ProfileIni, MissingOrDamagedKeysKeepTheCurrentValues) {
    TIniFile ini = TIniFile::FromText(
        "[Profile]\n"
        "Description0=Only a name\n"
        "AudioEncoder0=42\n"
        "Format0=-1\n"
        "VideoEncoder0=99\n"
        "FrameRate0=abc\n"
        "AudioBitrate0=nonsense\n"
        "SampleRate0=0x5622\n");
    TAVCustomVideoProfile profile;
    MakeSample(profile);
    profile.LoadFromIni(ini, 0);
    EXPECT_EQ(profile.Description(), "Only a name");
    EXPECT_EQ(profile.Extension(), ".mp4");
    EXPECT_EQ(profile.AudioEncoder(), TCustomAudioEncoder::AMR_NB);
    EXPECT_EQ(profile.Format(), TCustomAVFormat::F_3GP2);
    EXPECT_EQ(profile.VideoEncoder(), TCustomVideoEncoder::XVID);
    EXPECT_EQ(profile.FrameRate(), TCustomFrameRate::r2397);
    EXPECT_EQ(profile.AudioBitrate(), 12.2);
    EXPECT_EQ(profile.SampleRate(), 22050);
    TAVCustomVideoProfile sample;
    MakeSample(sample);
    EXPECT_EQ(profile.Options(), sample.Options());
}

TEST(ProfileIni, BitrateWrittenWithACommaIsRead) {
    // Files written where the decimal separator is a comma.
    TIniFile ini = TIniFile::FromText("[Profile]\nAudioBitrate0=12,2\n");
    TAVCustomAudioProfile profile;
    profile.LoadFromIni(ini, 0);
    EXPECT_DOUBLE_EQ(profile.AudioBitrate(), 12.2);
}

TEST(CommaText, QuotesItemsWithBlanksCommasAndQuotes) {
    EXPECT_EQ(CommaText({"a=1", "b c", "d,e", "f\"g", "", "h"}),
              "a=1,\"b c\",\"d,e\",\"f\"\"g\",,h");
    EXPECT_EQ(CommaText({}), "");
    EXPECT_EQ(CommaText({""}), "\"\"");
}

TEST(CommaText, ReadingSplitsAtCommasAndBlanks) {
    EXPECT_EQ(ParseCommaText("a=1, b=2 c=3"), (TStringList{"a=1", "b=2", "c=3"}));
    EXPECT_EQ(ParseCommaText("\"x y\",\"q\"\"q\""), (TStringList{"x y", "q\"q"}));
    EXPECT_EQ(ParseCommaText("a,"), (TStringList{"a", ""}));
    EXPECT_EQ(ParseCommaText(",a"), (TStringList{"", "a"}));
    EXPECT_EQ(ParseCommaText("  "), TStringList{});
    EXPECT_EQ(ParseCommaText("\"open"), (TStringList{"open"}));
}

TEST(CommaText, EveryListReadsBackAsWritten) {
    const TStringList lists[] = {{},
                                 {""},
                                 {"", ""},
                                 {"a b", "", "c"},
                                 {" lead", "trail "},
                                 {"tab\there", "q\"", ",", "\"\""}};
    for (const TStringList& list : lists) {
        EXPECT_EQ(ParseCommaText(CommaText(list)), list) << CommaText(list);
    }
}

}  // namespace
}  // namespace tw
