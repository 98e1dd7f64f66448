#include "tasks/conversion_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/message_service.h"
#include "support/option_samples.h"
#include "util/av_error.h"
#include "util/settings_xml.h"

namespace tw {
namespace {

using platform::RecordingMessageService;
using platform::ScopedMessageService;

// The expected texts below are written with LF for readability; the stored form uses CR LF.
std::string Crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// The options tree of a fresh request, split where the CodecOptions list goes.
constexpr std::string_view kFreshOptionsBeforeCodecOptions = R"(    <ConvertOptions>
      <AudioOptions>
        <AudioChannels>0</AudioChannels>
        <AudioSampleRate>0</AudioSampleRate>
        <AudioVolume>256</AudioVolume>
        <AudioSyncMethod>0</AudioSyncMethod>
        <AudioDisable>0</AudioDisable>
        <AudioSampleFmt>sfAuto</AudioSampleFmt>
        <AudioStreamCopy>0</AudioStreamCopy>
        <AudioCodecTag>0</AudioCodecTag>
        <AudioQScale>-99999</AudioQScale>
        <AudioDriftThreshold>0.1</AudioDriftThreshold>
        <Bitrate>0</Bitrate>
      </AudioOptions>
      <SubtitleOptions>
        <SubtitleDisable>0</SubtitleDisable>
        <SubtitleStreamCopy>0</SubtitleStreamCopy>
        <SubtitleCodecTag>0</SubtitleCodecTag>
      </SubtitleOptions>
      <VideoOptions>
        <FrameWidth>0</FrameWidth>
        <FrameHeight>0</FrameHeight>
        <VideoDisable>0</VideoDisable>
        <VideoStreamCopy>0</VideoStreamCopy>
        <VideoCodecTag>0</VideoCodecTag>
        <VideoGlobalHeader>0</VideoGlobalHeader>
        <IntraOnly>0</IntraOnly>
        <SameQuality>0</SameQuality>
        <VideoSyncMethod>-1</VideoSyncMethod>
        <TopFieldFirst>-1</TopFieldFirst>
        <ForceFPS>0</ForceFPS>
        <IntraMatrix Count="0" />
        <InterMatrix Count="0" />
        <MeThreshold>0</MeThreshold>
        <Deinterlace>0</Deinterlace>
        <Pass>0</Pass>
        <MaxFrames>2147483647</MaxFrames>
        <Bitrate>0</Bitrate>
        <ForceKeyFrames Count="0" />
      </VideoOptions>
      <MuxerOptions>
        <MuxPreload>0.5</MuxPreload>
        <MuxMaxDelay>0.7</MuxMaxDelay>
        <AudioBitstreamFilters Count="0" />
        <SubtitleBitstreamFilters Count="0" />
        <VideoBitstreamFilters Count="0" />
      </MuxerOptions>
      <GrabOptions>
        <VideoChannel>0</VideoChannel>
        <InputSync>0</InputSync>
      </GrabOptions>
      <MetaData Count="0" />
)";

constexpr std::string_view kFreshOptionsAfterCodecOptions =
    R"(      <RecordingTime>9223372036854775807</RecordingTime>
      <StreamMaps Count="0" />
    </ConvertOptions>
)";

// The stored options tree of a fresh request with the given CodecOptions element.
std::string FreshOptions(std::string_view codecOptions) {
    return std::string(kFreshOptionsBeforeCodecOptions) + std::string(codecOptions) +
           std::string(kFreshOptionsAfterCodecOptions);
}

class ConversionSettingsXml : public ::testing::Test {
protected:
    RecordingMessageService messages_;
    ScopedMessageService scope_{messages_};
};

TEST_F(ConversionSettingsXml, FreshRequestWritesIntegersButNoEmptyValues) {
    const TConversionSettings settings;
    const std::string expected = Crlf(R"(<data PropFormat="node">
  <TConversionSettings>
    <SourceType>stFile</SourceType>
    <DvdTitle>0</DvdTitle>
    <DvdChapter>0</DvdChapter>
    <DvdThrough>0</DvdThrough>
    <DvdAngle>0</DvdAngle>
    <CategoryId>0</CategoryId>
)" + FreshOptions(R"(      <CodecOptions Count="0" />
)") + R"(  </TConversionSettings>
</data>
)");
    EXPECT_EQ(WriteSettingsXml(settings), expected);
}

TEST_F(ConversionSettingsXml, DvdRequestWritesOnlyTheNonEmptyListLines) {
    TConversionSettings settings;
    settings.SetSourceFile("stream:7");
    settings.SetSourceType(stDvd);
    settings.SetDvdDriver("D");
    settings.SetDvdTitle(3);
    settings.SetDvdChapter(2);
    settings.SetDvdThrough(5);
    settings.SetDvdAngle(1);
    settings.SetDvdVolume("MOVIE");
    settings.SetTargetFile("/home/ann/Videos/Conversion/movie.mp4");
    settings.SetProfile("MP4 & H.264 <HQ>");
    settings.SetCategoryId(4);
    settings.ConvertOptions().SetCodecOptions({"maxrate=1150000", "", "packetsize=2324"});
    settings.SetDuration(5025.5);
    settings.SetSourceFileSize(1536);

    const std::string expected = Crlf(R"(<data PropFormat="node">
  <TConversionSettings>
    <SourceFile>stream:7</SourceFile>
    <SourceType>stDvd</SourceType>
    <DvdDriver>D</DvdDriver>
    <DvdTitle>3</DvdTitle>
    <DvdChapter>2</DvdChapter>
    <DvdThrough>5</DvdThrough>
    <DvdAngle>1</DvdAngle>
    <DvdVolume>MOVIE</DvdVolume>
    <TargetFile>/home/ann/Videos/Conversion/movie.mp4</TargetFile>
    <Profile>MP4 &amp; H.264 &lt;HQ&gt;</Profile>
    <CategoryId>4</CategoryId>
)" + FreshOptions(R"(      <CodecOptions Count="3">
        <l0>maxrate=1150000</l0>
        <l2>packetsize=2324</l2>
      </CodecOptions>
)") + R"(    <Duration>5025.5</Duration>
    <SourceFileSize>1536</SourceFileSize>
  </TConversionSettings>
</data>
)");
    const std::string text = WriteSettingsXml(settings);
    EXPECT_EQ(text, expected);

    TConversionSettings read;
    ReadSettingsXml(text, read);
    EXPECT_EQ(read.ConvertOptions().CodecOptions(),
              (TStringList{"maxrate=1150000", "", "packetsize=2324"}));
    EXPECT_EQ(read.SourceType(), stDvd);
    EXPECT_EQ(read.DvdDriver(), "D");
    EXPECT_EQ(read.DvdThrough(), 5);
    EXPECT_EQ(read.Profile(), "MP4 & H.264 <HQ>");
    EXPECT_DOUBLE_EQ(read.Duration(), 5025.5);
    EXPECT_EQ(read.SourceFileSize(), 1536);
}

TEST_F(ConversionSettingsXml, ObjectElementAppearsOnlyWithChildren) {
    TConversionSettings settings;
    settings.ConvertOptions().VideoOptions().SetFrameRate(TRational(24, 1));
    settings.ConvertOptions().FilterOptions().SetVideoFilters("hflip");
    const std::string text = WriteSettingsXml(settings);

    // den keeps its declared default and is left out; num is not.
    EXPECT_NE(text.find("        <InterMatrix Count=\"0\" />\r\n"
                        "        <FrameRate>\r\n"
                        "          <num>24</num>\r\n"
                        "        </FrameRate>\r\n"
                        "        <MeThreshold>0</MeThreshold>\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("      </GrabOptions>\r\n"
                        "      <FilterOptions>\r\n"
                        "        <VideoFilters>hflip</VideoFilters>\r\n"
                        "      </FilterOptions>\r\n"
                        "      <MetaData Count=\"0\" />\r\n"),
              std::string::npos)
        << text;
}

TEST_F(ConversionSettingsXml, FullRequestSurvivesARoundTrip) {
    TConversionSettings settings;
    settings.SetSourceFile("/media/in/holiday clip.avi");
    settings.SetTargetFile("/media/out/holiday clip.mp4");
    settings.SetProfile("iPod Video");
    settings.SetCategoryId(2);
    settings.SetDuration(12.345);
    settings.SetSourceFileSize(INT64_C(5000000000));
    test::FillEveryOption(settings.ConvertOptions());
    settings.ConvertOptions().SetRecordingTime(INT64_C(9223372036854775807));

    const std::string first = WriteSettingsXml(settings);
    TConversionSettings read;
    ReadSettingsXml(first, read);
    EXPECT_EQ(WriteSettingsXml(read), first);
    EXPECT_TRUE(messages_.Errors().empty());

    const TAVConvertOptions& options = read.ConvertOptions();
    EXPECT_EQ(read.SourceFileSize(), INT64_C(5000000000));
    EXPECT_DOUBLE_EQ(read.Duration(), 12.345);
    EXPECT_EQ(options.StartTime(), 1500000);
    EXPECT_EQ(options.RecordingTime(), INT64_C(9223372036854775807));
    EXPECT_EQ(options.ThreadCount(), 2);
    EXPECT_EQ(options.AudioOptions().AudioSampleFmt(), sfS16);
    EXPECT_FLOAT_EQ(options.AudioOptions().AudioDriftThreshold(), 0.25f);
    EXPECT_EQ(options.AudioOptions().MaxFrames(), 1000);
    EXPECT_EQ(options.VideoOptions().FrameRate().den(), 1001);
    EXPECT_TRUE(options.VideoOptions().ForceFPS());
    EXPECT_EQ(options.VideoOptions().Pass(), 1);
    // The matrix lists go through their setter, which fills the numeric tables.
    EXPECT_EQ(options.VideoOptions().IntraMatrixTable[63], 71);
    EXPECT_EQ(options.VideoOptions().InterMatrixTable[0], 16);
    EXPECT_EQ(options.StreamMaps(), (TStringList{"0=1", "0=0"}));
    // Not published, so not stored.
    EXPECT_EQ(options.VideoOptions().PixelFormat, -1);
}

TEST_F(ConversionSettingsXml, MissingElementsKeepTheReadersValues) {
    TConversionSettings settings;
    settings.SetSourceFile("/in.avi");
    settings.SetDvdTitle(7);
    settings.SetDuration(99.5);
    settings.ConvertOptions().SetThreadCount(3);
    settings.ConvertOptions().SetMetaData({"title=x"});
    settings.ConvertOptions().VideoOptions().SetFrameRate(TRational(50, 2));
    settings.ConvertOptions().AudioOptions().SetBitrate(96000);

    ReadSettingsXml(Crlf(R"(<data PropFormat="node">
  <TConversionSettings>
    <TargetFile>/out.mp4</TargetFile>
    <ConvertOptions>
      <AudioOptions>
        <AudioChannels>2</AudioChannels>
      </AudioOptions>
    </ConvertOptions>
  </TConversionSettings>
</data>
)"),
                    settings);

    EXPECT_EQ(settings.TargetFile(), "/out.mp4");
    EXPECT_EQ(settings.ConvertOptions().AudioOptions().AudioChannels(), 2);
    EXPECT_EQ(settings.SourceFile(), "/in.avi");
    EXPECT_EQ(settings.DvdTitle(), 7);
    EXPECT_DOUBLE_EQ(settings.Duration(), 99.5);
    EXPECT_EQ(settings.ConvertOptions().ThreadCount(), 3);
    EXPECT_EQ(settings.ConvertOptions().MetaData(), TStringList{"title=x"});
    EXPECT_EQ(settings.ConvertOptions().VideoOptions().FrameRate().num(), 50);
    EXPECT_EQ(settings.ConvertOptions().VideoOptions().FrameRate().den(), 2);
    EXPECT_EQ(settings.ConvertOptions().AudioOptions().Bitrate(), 96000);

    // A document for another class leaves everything as it was.
    ReadSettingsXml("<data PropFormat=\"node\"><TAVConfiguration/></data>", settings);
    EXPECT_EQ(settings.TargetFile(), "/out.mp4");
}

TEST_F(ConversionSettingsXml, UnparsableInt64NamesTheText) {
    TConversionSettings settings;
    settings.ConvertOptions().SetStartTime(42);
    try {
        ReadSettingsXml(
            "<data PropFormat=\"node\"><TConversionSettings><ConvertOptions>"
            "<StartTime>12x</StartTime></ConvertOptions></TConversionSettings></data>",
            settings);
        FAIL() << "no error raised";
    } catch (const EAVError& e) {
        EXPECT_STREQ(e.what(), "Invalid int64 value (12x).");
    }

    try {
        ReadSettingsXml(
            "<data PropFormat=\"node\"><TConversionSettings>"
            "<SourceFileSize>9223372036854775808</SourceFileSize></TConversionSettings></data>",
            settings);
        FAIL() << "no error raised for a value past the 64-bit range";
    } catch (const EAVError& e) {
        EXPECT_STREQ(e.what(), "Invalid int64 value (9223372036854775808).");
    }
}

TEST(ConversionSettings, AssignCopiesTheRequestIntoTheOwnedTree) {
    TConversionSettings source;
    source.SetSourceType(stDvd);
    source.SetDvdVolume("MOVIE");
    source.SetDuration(1.5);
    source.SetSourceFileSize(1536);
    test::FillEveryOption(source.ConvertOptions());

    TConversionSettings copy;
    const TAVConvertOptions& owned = copy.ConvertOptions();
    copy.Assign(source);
    EXPECT_EQ(&copy.ConvertOptions(), &owned);
    EXPECT_EQ(WriteSettingsXml(copy), WriteSettingsXml(source));
    EXPECT_EQ(copy.ConvertOptions().VideoOptions().PixelFormat, 4);
}

}  // namespace
}  // namespace tw
