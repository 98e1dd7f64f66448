#include "engine/convert_options.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/message_service.h"
#include "support/option_samples.h"
#include "tasks/conversion_settings.h"
#include "util/av_error.h"
#include "util/settings_xml.h"

namespace tw {
namespace {

using platform::RecordingMessageService;
using platform::ScopedMessageService;
using test::FillEveryOption;
using test::MatrixLines;

// Every option test records the error boxes instead of printing them.
class OptionsTest : public ::testing::Test {
protected:
    RecordingMessageService messages_;
    ScopedMessageService scope_{messages_};
};

using ConvertOptions = OptionsTest;
using VideoMatrix = OptionsTest;
using VideoPass = OptionsTest;
using OptionsAssign = OptionsTest;

TEST_F(ConvertOptions, FreshTreeHoldsInitialValues) {
    const TAVConvertOptions options;
    EXPECT_EQ(options.ThreadCount(), 1);
    EXPECT_EQ(options.RecordingTime(), INT64_C(9223372036854775807));
    EXPECT_EQ(options.StartTime(), 0);
    EXPECT_TRUE(options.MetaData().empty());
    EXPECT_TRUE(options.CodecOptions().empty());
    EXPECT_TRUE(options.StreamMaps().empty());
    EXPECT_EQ(options.OutputFormat(), "");
    EXPECT_FLOAT_EQ(options.DtsDeltaThreshold, 10.0f);
    EXPECT_EQ(options.ScalerFlags, 4);
    EXPECT_EQ(options.DataMaxFrames, 2147483647);

    const TVideoOptions& video = options.VideoOptions();
    EXPECT_EQ(video.FrameRate().num(), 25);
    EXPECT_EQ(video.FrameRate().den(), 1);
    EXPECT_EQ(video.IntraDcPrecision(), 8);
    EXPECT_EQ(video.VideoSyncMethod(), -1);
    EXPECT_EQ(video.TopFieldFirst(), -1);
    EXPECT_EQ(video.PixelFormat, -1);
    EXPECT_EQ(video.MaxFrames(), 2147483647);
    EXPECT_EQ(video.Pass(), 0);
    EXPECT_FALSE(video.ForceFPS());

    const TAudioOptions& audio = options.AudioOptions();
    EXPECT_EQ(audio.MaxFrames(), 2147483647);
    EXPECT_EQ(audio.AudioVolume(), 256);
    EXPECT_EQ(audio.AudioSampleFmt(), sfAuto);
    EXPECT_FLOAT_EQ(audio.AudioQScale(), -99999.0f);
    EXPECT_FLOAT_EQ(audio.AudioDriftThreshold(), 0.1f);

    EXPECT_FLOAT_EQ(options.MuxerOptions().MuxPreload(), 0.5f);
    EXPECT_FLOAT_EQ(options.MuxerOptions().MuxMaxDelay(), 0.7f);
    EXPECT_EQ(options.FilterOptions().VideoFilters(), "");
}

TEST_F(ConvertOptions, AutoSampleFormatNeverReplacesAChosenOne) {
    TAudioOptions audio;
    audio.SetAudioSampleFmt(sfS16);
    audio.SetAudioSampleFmt(sfAuto);
    EXPECT_EQ(audio.AudioSampleFmt(), sfS16);

    const TAudioOptions automatic;
    ASSERT_EQ(automatic.AudioSampleFmt(), sfAuto);
    audio.Assign(automatic);
    EXPECT_EQ(audio.AudioSampleFmt(), sfS16);

    TAudioOptions concrete;
    concrete.SetAudioSampleFmt(sfFLT);
    audio.Assign(concrete);
    EXPECT_EQ(audio.AudioSampleFmt(), sfFLT);
}

TEST_F(ConvertOptions, SetCodecOptionReplacesTheValueOfANamedLine) {
    TAVConvertOptions options;
    options.SetCodecOption("maxrate", "1150000");
    options.SetCodecOption("bufsize", "327680");
    options.SetCodecOption("bufsize", "327680");
    EXPECT_EQ(options.CodecOptions(), (TStringList{"maxrate=1150000", "bufsize=327680"}));

    options.SetCodecOption("maxrate", "2000000");
    // A name that is only the start of another line's name is a new option.
    options.SetCodecOption("buf", "1");
    EXPECT_EQ(options.CodecOptions(), (TStringList{"maxrate=2000000", "bufsize=327680", "buf=1"}));
}

TEST_F(ConvertOptions, MaxFramesFollowsTheMediaType) {
    TAVConvertOptions options;
    options.VideoOptions().SetMaxFrames(100);
    options.AudioOptions().SetMaxFrames(200);
    options.DataMaxFrames = 300;
    EXPECT_EQ(options.MaxFrames(0), 100);
    EXPECT_EQ(options.MaxFrames(1), 200);
    EXPECT_EQ(options.MaxFrames(2), 300);
    EXPECT_EQ(options.MaxFrames(3), 2147483647);
}

TEST(ConvertOptionsDeathTest, MaxFramesOfAnotherMediaTypeIsAnAssertion) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const TAVConvertOptions options;
    EXPECT_DEATH((void)options.MaxFrames(4), "Assertion failed");
    EXPECT_DEATH((void)options.MaxFrames(-1), "Assertion failed");
}

TEST_F(VideoMatrix, WrongLineCountIsRefusedAndKeepsTheOldList) {
    TVideoOptions video;
    video.SetIntraMatrix(MatrixLines(1));
    ASSERT_TRUE(messages_.Errors().empty());

    TStringList short63 = MatrixLines(100);
    short63.pop_back();
    video.SetIntraMatrix(short63);
    EXPECT_EQ(messages_.Errors(),
              (std::vector<std::string>{"matrix element count should be equal 64"}));
    EXPECT_EQ(video.IntraMatrix(), MatrixLines(1));
    EXPECT_EQ(video.IntraMatrixTable[0], 1);

    const auto messages = messages_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Error");
}

TEST_F(VideoMatrix, BadElementIsRefusedAfterWritingTheElementsBeforeIt) {
    TVideoOptions video;
    video.SetIntraMatrix(MatrixLines(1));

    TStringList lines = MatrixLines(100);
    lines[9] = "1.5";
    video.SetIntraMatrix(lines);

    EXPECT_EQ(messages_.Errors(), (std::vector<std::string>{"Invalid matrix element"}));
    EXPECT_EQ(video.IntraMatrix(), MatrixLines(1));
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(video.IntraMatrixTable[i], 100 + i) << "slot " << i;
    }
    EXPECT_EQ(video.IntraMatrixTable[9], 10) << "the bad line and those after it are not written";
    EXPECT_EQ(video.IntraMatrixTable[63], 64);

    for (const char* bad : {"", "abc", "12a", "0x10"}) {
        messages_.Clear();
        lines[9] = bad;
        video.SetInterMatrix(lines);
        EXPECT_EQ(messages_.Errors(), (std::vector<std::string>{"Invalid matrix element"}))
            << "line \"" << bad << "\"";
        EXPECT_TRUE(video.InterMatrix().empty());
    }
}

TEST_F(VideoMatrix, ValidListFillsTheTableAndEmptyListKeepsIt) {
    TVideoOptions video;
    TStringList lines = MatrixLines(8);
    lines[0] = "65537";  // cut to 16 bits
    video.SetInterMatrix(lines);
    EXPECT_TRUE(messages_.Errors().empty());
    EXPECT_EQ(video.InterMatrix(), lines);
    EXPECT_EQ(video.InterMatrixTable[0], 1);
    EXPECT_EQ(video.InterMatrixTable[63], 71);

    video.SetInterMatrix({});
    EXPECT_TRUE(messages_.Errors().empty());
    EXPECT_TRUE(video.InterMatrix().empty());
    EXPECT_EQ(video.InterMatrixTable[63], 71);
}

TEST_F(VideoPass, OnlyZeroOneOrTwoAreStored) {
    TVideoOptions video;
    video.SetPass(2);
    EXPECT_EQ(video.Pass(), 2);
    EXPECT_TRUE(messages_.Errors().empty());

    video.SetPass(3);
    video.SetPass(-1);
    EXPECT_EQ(video.Pass(), 2);
    EXPECT_EQ(messages_.Errors(), (std::vector<std::string>{"pass number can be only 0, 1 or 2",
                                                            "pass number can be only 0, 1 or 2"}));
    video.SetPass(0);
    EXPECT_EQ(video.Pass(), 0);
}

TEST_F(OptionsAssign, CopiesEveryPublishedPropertyOfTheTree) {
    TAVConvertOptions source;
    FillEveryOption(source);
    ASSERT_TRUE(messages_.Errors().empty());

    TAVConvertOptions target;
    ASSERT_NE(WriteSettingsXml(target), WriteSettingsXml(source));
    target.Assign(source);
    EXPECT_EQ(WriteSettingsXml(target), WriteSettingsXml(source));
    EXPECT_TRUE(messages_.Errors().empty());

    EXPECT_TRUE(target.VideoOptions().ForceFPS());
    EXPECT_EQ(target.VideoOptions().PixelFormat, 4) << "a profile's pixel format must reach a run";
    EXPECT_EQ(target.VideoOptions().IntraMatrixTable, source.VideoOptions().IntraMatrixTable);
    EXPECT_EQ(target.VideoOptions().InterMatrixTable, source.VideoOptions().InterMatrixTable);
}

TEST_F(OptionsAssign, LeavesTheUnpublishedEngineValues) {
    TAVConvertOptions source;
    source.DtsDeltaThreshold = 2.0f;
    source.ScalerFlags = 1;
    source.DataMaxFrames = 5;

    TAVConvertOptions target;
    target.Assign(source);
    EXPECT_FLOAT_EQ(target.DtsDeltaThreshold, 10.0f);
    EXPECT_EQ(target.ScalerFlags, 4);
    EXPECT_EQ(target.DataMaxFrames, 2147483647);
}

TEST_F(OptionsAssign, ObjectAndListSettersCopyIntoTheOwnedInstances) {
    TAVConvertOptions options;
    TAudioOptions& owned = options.AudioOptions();
    {
        TAudioOptions given;
        given.SetBitrate(128000);
        options.SetAudioOptions(given);
        given.SetBitrate(64000);
    }
    EXPECT_EQ(&options.AudioOptions(), &owned);
    EXPECT_EQ(options.AudioOptions().Bitrate(), 128000);

    TStringList maps{"0=1"};
    options.SetStreamMaps(maps);
    maps.push_back("0=0");
    EXPECT_EQ(options.StreamMaps(), TStringList{"0=1"});

    TVideoOptions video;
    video.SetFrameRate(TRational(24, 1));
    options.SetVideoOptions(video);
    EXPECT_EQ(options.VideoOptions().FrameRate().num(), 24);
}

TEST_F(OptionsAssign, FromAnotherClassRaisesTheAssignError) {
    TAudioOptions audio;
    const TVideoOptions video;
    try {
        audio.Assign(video);
        FAIL() << "no error raised";
    } catch (const EAVError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TVideoOptions to a TAudioOptions");
    }

    TAVConvertOptions options;
    const TConversionSettings settings;
    try {
        options.Assign(settings);
        FAIL() << "no error raised";
    } catch (const EAVError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TConversionSettings to a TAVConvertOptions");
    }

    TRational rate;
    EXPECT_THROW(rate.Assign(TGrabOptions()), EAVError);
    TMuxerOptions muxer;
    EXPECT_THROW(muxer.Assign(TFilterOptions()), EAVError);
    TSubtitleOptions subtitle;
    EXPECT_THROW(subtitle.Assign(audio), EAVError);
}

TEST_F(OptionsAssign, AppliesTheSetterRulesOfTheTarget) {
    // Assign goes through the setters, so a list the target would refuse is refused here too
    // and the numeric table is copied only through a valid list.
    TAVConvertOptions source;
    source.VideoOptions().SetIntraMatrix(MatrixLines(40));
    source.VideoOptions().SetPass(2);

    TAVConvertOptions target;
    target.Assign(source);
    EXPECT_EQ(target.VideoOptions().IntraMatrix(), MatrixLines(40));
    EXPECT_EQ(target.VideoOptions().IntraMatrixTable[63], 103);
    EXPECT_EQ(target.VideoOptions().Pass(), 2);

    // An empty source list leaves the target's numeric table as it was.
    const TAVConvertOptions fresh;
    target.Assign(fresh);
    EXPECT_TRUE(target.VideoOptions().IntraMatrix().empty());
    EXPECT_EQ(target.VideoOptions().IntraMatrixTable[63], 103);
    EXPECT_TRUE(messages_.Errors().empty());
}

}  // namespace
}  // namespace tw
