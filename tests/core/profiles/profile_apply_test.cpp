#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/convert_options.h"
#include "engine/converter.h"
#include "platform/message_service.h"
#include "profiles/custom_audio_profile.h"
#include "profiles/target_profiles.h"
#include "profiles/x264_profile.h"
#include "util/settings_xml.h"

namespace tw {
namespace {

using platform::RecordingMessageService;
using platform::ScopedMessageService;

// The whole stored form plus the unpublished values a profile may write, so that a value
// changed where the profile should leave it alone shows.
void ExpectSameTree(const TAVConvertOptions& expected, const TAVConvertOptions& actual) {
    EXPECT_EQ(WriteSettingsXml(expected), WriteSettingsXml(actual));
    EXPECT_EQ(expected.VideoOptions().PixelFormat, actual.VideoOptions().PixelFormat);
    EXPECT_EQ(expected.VideoOptions().FrameRateChosen(), actual.VideoOptions().FrameRateChosen());
}

const TStringList kBasicPresetLines = {
    "coder=1",
    "flags=+loop",
    "cmp=+chroma",
    "partitions=+parti8x8+parti4x4+partp8x8+partb8x8",
    "me_method=hex",
    "subq=7",
    "me_range=16",
    "g=250",
    "keyint_min=25",
    "sc_threshold=40",
    "i_qfactor=0.71",
    "b_strategy=1",
    "qcomp=0.6",
    "qmin=10",
    "qmax=51",
    "qdiff=4",
    "bf=3",
    "refs=3",
    "directpred=1",
    "trellis=1",
    "flags2=+mixed_refs+wpred+dct8x8+fastpskip+mbtree",
    "wpredp=2",
};

void MakeAacStereo(TAVCustomAudioProfile& profile) {
    profile.SetAudioEncoder(TCustomAudioEncoder::AAC);
    profile.SetSampleRate(48000);
    profile.SetAudioChannels(TCustomAudioChannels::stereo2);
    profile.SetAudioBitrate(128.0);
    profile.SetFormat(TCustomAVFormat::F_MP4);
}

class ProfileApply : public ::testing::Test {
protected:
    RecordingMessageService messages_;
    ScopedMessageService scope_{messages_};
};

// ---- audio ----

TEST_F(ProfileApply, AudioProfileWritesItsValuesAndDisablesVideoAndSubtitles) {
    TAVCustomAudioProfile profile;
    MakeAacStereo(profile);
    profile.SetOptions({"ab=1", "cd=x=y"});
    TAVConvertOptions options;
    EXPECT_TRUE(profile.ApplyTo(options));

    TAVConvertOptions expected;
    expected.VideoOptions().SetVideoDisable(true);
    expected.SubtitleOptions().SetSubtitleDisable(true);
    expected.AudioOptions().SetEncoderAudioCodecName("libfaac");
    expected.SetOutputFormat("mp4");
    expected.AudioOptions().SetBitrate(128000);
    expected.AudioOptions().SetAudioSampleRate(48000);
    expected.AudioOptions().SetAudioChannels(2);
    expected.SetCodecOptions({"ab=1", "cd=x=y"});
    ExpectSameTree(expected, options);
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(ProfileApply, AudioEncoderAndContainerNames) {
    const std::vector<std::string> encoders = {
        "libfaac",           "wmav2",     "ac3",     "mp2", "libmp3lame", "pcm_s16le", "real_144",
        "libopencore_amrnb", "libvorbis", "libopus", "flac"};
    for (int i = 0; i < kAudioEncoderCount; ++i) {
        TAVCustomAudioProfile profile;
        profile.SetAudioEncoder(static_cast<TCustomAudioEncoder>(i));
        TAVConvertOptions options;
        profile.ApplyTo(options);
        EXPECT_EQ(options.AudioOptions().EncoderAudioCodecName(), encoders[i]) << i;
    }
    const std::vector<std::string> formats = {"",    "rm",   "mp4", "asf",  "avi",  "3gp", "3g2",
                                              "flv", "mov",  "psp", "ipod", "svcd", "vcd", "vob",
                                              "dvd", "webm", "ac3", "wav",  "mp3",  "ogg"};
    for (int i = 0; i < kFormatCount; ++i) {
        TAVCustomAudioProfile profile;
        profile.SetFormat(static_cast<TCustomAVFormat>(i));
        TAVConvertOptions options;
        options.SetOutputFormat("kept");
        profile.ApplyTo(options);
        EXPECT_EQ(options.OutputFormat(), i == 0 ? "kept" : formats[i]) << i;
    }
}

TEST_F(ProfileApply, AudioBitrateIsRoundedToBitsAndChannelsCount) {
    struct Case {
        double kbit;
        int bits;
    };
    for (const Case c :
         {Case{12.2, 12200}, Case{128.0, 128000}, Case{32.0, 32000}, Case{64, 64000}}) {
        TAVCustomAudioProfile profile;
        profile.SetAudioBitrate(c.kbit);
        TAVConvertOptions options;
        profile.ApplyTo(options);
        EXPECT_EQ(options.AudioOptions().Bitrate(), c.bits) << c.kbit;
        EXPECT_EQ(options.AudioOptions().AudioChannels(), 1);
    }
    // Values no bit rate can have stay in range instead of wrapping.
    TAVCustomAudioProfile huge;
    huge.SetAudioBitrate(1e12);
    TAVConvertOptions options;
    huge.ApplyTo(options);
    EXPECT_EQ(options.AudioOptions().Bitrate(), INT32_MAX);
}

TEST_F(ProfileApply, AudioStreamCopyOnlyDisablesVideoAndSubtitles) {
    TAVCustomAudioProfile profile;
    MakeAacStereo(profile);
    profile.SetOptions({"qmin=3"});
    TAVConvertOptions options;
    options.AudioOptions().SetAudioStreamCopy(true);
    options.AudioOptions().SetEncoderAudioCodecName("copyme");
    options.SetOutputFormat("avi");
    TAVConvertOptions expected;
    expected.Assign(options);
    expected.VideoOptions().SetVideoDisable(true);
    expected.SubtitleOptions().SetSubtitleDisable(true);

    EXPECT_TRUE(profile.ApplyTo(options));
    ExpectSameTree(expected, options);
}

TEST_F(ProfileApply, OptionLinesReplaceExistingValuesAndSkipNamelessLines) {
    TAVCustomAudioProfile profile;
    profile.SetOptions({"qmax=5", "novalue", "=orphan", "g=300", "qmax=6"});
    TAVConvertOptions options;
    options.SetCodecOptions({"g=12", "other=1"});
    profile.ApplyTo(options);
    EXPECT_EQ(options.CodecOptions(), (TStringList{"g=300", "other=1", "qmax=6"}));
}

// ---- video ----

TEST_F(ProfileApply, VideoProfileWritesAudioThenVideoValues) {
    TAVCustomVideoProfile profile;
    profile.SetAudioEncoder(TCustomAudioEncoder::AAC);
    profile.SetSampleRate(44100);
    profile.SetAudioChannels(TCustomAudioChannels::stereo2);
    profile.SetAudioBitrate(96.0);
    profile.SetVideoEncoder(TCustomVideoEncoder::MPEG4);
    profile.SetFrameWidth(640);
    profile.SetFrameHeight(480);
    profile.SetFrameRate(TCustomFrameRate::r2997);
    profile.SetVideoBitrate(1200);
    profile.SetFrameAspectRatio(TAVAspectRatio::AR4_3);
    profile.SetOptions({"maxrate=1000000"});

    TAVConvertOptions options;
    options.SetThreadCount(4);
    options.VideoOptions().SetVideoDisable(true);
    EXPECT_TRUE(profile.ApplyTo(options));

    TAVConvertOptions expected;
    expected.SetThreadCount(4);
    expected.SubtitleOptions().SetSubtitleDisable(true);
    expected.AudioOptions().SetEncoderAudioCodecName("libfaac");
    expected.AudioOptions().SetBitrate(96000);
    expected.AudioOptions().SetAudioSampleRate(44100);
    expected.AudioOptions().SetAudioChannels(2);
    expected.SetCodecOptions({"maxrate=1000000"});
    expected.VideoOptions().SetEncoderVideoCodecName("mpeg4");
    expected.VideoOptions().SetFrameWidth(640);
    expected.VideoOptions().SetFrameHeight(480);
    expected.VideoOptions().SetBitrate(1200000);
    expected.VideoOptions().SetFrameAspectRatio(1.3333334f);
    expected.VideoOptions().SetFrameRate(TRational(30000, 1001));
    ExpectSameTree(expected, options);
    EXPECT_EQ(options.VideoOptions().FrameAspectRatio(), 4.0f / 3.0f);
}

TEST_F(ProfileApply, VideoEncoderNamesAndSingleThreadEncoders) {
    const std::vector<std::string> names = {"h263",       "libx264", "mpeg4",     "wmv2",
                                            "mpeg2video", "msmpeg4", "rv20",      "libxvid",
                                            "flv",        "libvpx",  "libvpx-vp9"};
    const std::vector<bool> oneThread = {true, false, false, true,  false, false,
                                         true, false, true,  false, false};
    for (int i = 0; i < kVideoEncoderCount; ++i) {
        TAVCustomVideoProfile profile;
        profile.SetVideoEncoder(static_cast<TCustomVideoEncoder>(i));
        TAVConvertOptions options;
        options.SetThreadCount(3);
        profile.ApplyTo(options);
        EXPECT_EQ(options.VideoOptions().EncoderVideoCodecName(), names[i]) << i;
        EXPECT_EQ(options.ThreadCount(), oneThread[i] ? 1 : 3) << i;
    }
}

TEST_F(ProfileApply, ZeroSizeKeepsTheSizeAlreadyInTheOptions) {
    TAVCustomVideoProfile profile;
    profile.SetVideoEncoder(TCustomVideoEncoder::MPEG4);
    profile.SetFrameHeight(240);
    TAVConvertOptions options;
    options.VideoOptions().SetFrameWidth(400);
    options.VideoOptions().SetFrameHeight(300);
    profile.ApplyTo(options);
    EXPECT_EQ(options.VideoOptions().FrameWidth(), 400);
    EXPECT_EQ(options.VideoOptions().FrameHeight(), 240);
}

TEST_F(ProfileApply, FrameRateTableAndOriginalKeepsTheSourceRate) {
    struct Case {
        TCustomFrameRate rate;
        int num;
        int den;
    };
    for (const Case c :
         {Case{TCustomFrameRate::r1499, 15000, 1001}, Case{TCustomFrameRate::r20, 20, 1},
          Case{TCustomFrameRate::r2397, 24000, 1001}, Case{TCustomFrameRate::r24, 24, 1},
          Case{TCustomFrameRate::r25, 25, 1}, Case{TCustomFrameRate::r2997, 30000, 1001},
          Case{TCustomFrameRate::r30, 30, 1}}) {
        TAVCustomVideoProfile profile;
        profile.SetFrameRate(c.rate);
        TAVConvertOptions options;
        profile.ApplyTo(options);
        EXPECT_EQ(options.VideoOptions().FrameRate().num(), c.num);
        EXPECT_EQ(options.VideoOptions().FrameRate().den(), c.den);
        EXPECT_TRUE(options.VideoOptions().FrameRateChosen());
    }
    TAVCustomVideoProfile original;
    TAVConvertOptions options;
    options.VideoOptions().SetFrameAspectRatio(1.5f);
    original.ApplyTo(options);
    EXPECT_FALSE(options.VideoOptions().FrameRateChosen());
    EXPECT_EQ(options.VideoOptions().FrameAspectRatio(), 1.5f);
}

TEST_F(ProfileApply, H264ProfileGetsTheBasicPresetAndItsOwnPass) {
    for (int pass : {0, 2}) {
        TAVCustomVideoProfile profile;
        profile.SetVideoEncoder(TCustomVideoEncoder::H264);
        profile.SetPass(pass);
        TAVConvertOptions options;
        profile.ApplyTo(options);
        TStringList expected = kBasicPresetLines;
        expected.push_back("mbd=rd");
        expected.push_back("level=41");
        EXPECT_EQ(options.CodecOptions(), expected);
        EXPECT_EQ(options.VideoOptions().Pass(), pass);
        EXPECT_EQ(options.VideoOptions().EncoderVideoCodecName(), "libx264");
    }
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(ProfileApply, H264DefaultsReplaceOptionLinesOfTheSameName) {
    // The profile's own lines are set first, the H.264 defaults after them.
    TAVCustomVideoProfile profile;
    profile.SetVideoEncoder(TCustomVideoEncoder::H264);
    profile.SetOptions({"g=300", "custom=1"});
    TAVConvertOptions options;
    profile.ApplyTo(options);
    const TStringList& lines = options.CodecOptions();
    ASSERT_EQ(lines.size(), kBasicPresetLines.size() + 3);
    EXPECT_EQ(lines[0], "g=250");
    EXPECT_EQ(lines[1], "custom=1");
}

TEST_F(ProfileApply, ApplyingTwiceToFreshOptionsGivesTheSameTree) {
    TAVCustomVideoProfile profile;
    profile.SetVideoEncoder(TCustomVideoEncoder::H264);
    profile.SetFrameWidth(320);
    profile.SetFrameRate(TCustomFrameRate::r25);
    profile.SetOptions({"a=1"});
    TAVConvertOptions first;
    TAVConvertOptions second;
    profile.ApplyTo(first);
    profile.ApplyTo(second);
    ExpectSameTree(first, second);
}

TEST_F(ProfileApply, ApplyToAConverterWritesItsOptions) {
    TAVConverter converter;
    TAVCustomAudioProfile profile;
    MakeAacStereo(profile);
    EXPECT_TRUE(profile.ApplyTo(converter));
    EXPECT_EQ(converter.ConvertOptions().AudioOptions().EncoderAudioCodecName(), "libfaac");
    EXPECT_TRUE(converter.ConvertOptions().VideoOptions().VideoDisable());
}

// ---- disc and tape standards ----

void ExpectDiscLines(const TAVConvertOptions& options, const TStringList& lines) {
    EXPECT_EQ(options.CodecOptions(), lines);
}

TEST_F(ProfileApply, VcdSetsEveryValueOfTheStandard) {
    TAVVcdProfile profile;
    TAVConvertOptions options;
    EXPECT_TRUE(profile.ApplyTo(options));
    TAVConvertOptions expected;
    expected.VideoOptions().SetEncoderVideoCodecName("mpeg1video");
    expected.AudioOptions().SetEncoderAudioCodecName("mp2");
    expected.SetOutputFormat("vcd");
    expected.VideoOptions().SetFrameWidth(352);
    expected.VideoOptions().SetFrameHeight(288);
    expected.SetCodecOptions({"g=15", "maxrate=1150000", "minrate=1150000", "bufsize=327680",
                              "packetsize=2324", "muxrate=1411200"});
    expected.VideoOptions().SetBitrate(1150000);
    expected.AudioOptions().SetBitrate(224000);
    expected.AudioOptions().SetAudioSampleRate(44100);
    expected.AudioOptions().SetAudioChannels(2);
    expected.MuxerOptions().SetMuxPreload(0.44f);
    expected.VideoOptions().SetFrameRate(TRational(25, 1));
    ExpectSameTree(expected, options);

    for (TAVTarget target : {TAVTarget::ntsc, TAVTarget::film}) {
        profile.SetTarget(target);
        TAVConvertOptions other;
        profile.ApplyTo(other);
        EXPECT_EQ(other.VideoOptions().FrameHeight(), 240);
        EXPECT_EQ(other.CodecOptions().front(), "g=18");
        EXPECT_EQ(other.VideoOptions().FrameRate().num(),
                  target == TAVTarget::ntsc ? 30000 : 24000);
        EXPECT_EQ(other.VideoOptions().FrameRate().den(), 1001);
    }
}

TEST_F(ProfileApply, VcdTwiceAppendsTheGopLineButSetsEachOptionOnce) {
    TAVVcdProfile profile;
    TAVConvertOptions options;
    profile.ApplyTo(options);
    profile.ApplyTo(options);
    ExpectDiscLines(options, {"g=15", "maxrate=1150000", "minrate=1150000", "bufsize=327680",
                              "packetsize=2324", "muxrate=1411200", "g=15"});
}

TEST_F(ProfileApply, SvcdLeavesChannelsAndPreload) {
    TAVSVcdProfile profile;
    TAVConvertOptions options;
    options.AudioOptions().SetAudioChannels(6);
    profile.ApplyTo(options);
    TAVConvertOptions expected;
    expected.AudioOptions().SetAudioChannels(6);
    expected.VideoOptions().SetEncoderVideoCodecName("mpeg2video");
    expected.AudioOptions().SetEncoderAudioCodecName("mp2");
    expected.SetOutputFormat("svcd");
    expected.VideoOptions().SetFrameWidth(480);
    expected.VideoOptions().SetFrameHeight(576);
    expected.SetCodecOptions({"g=15", "maxrate=2516000", "minrate=0", "bufsize=1835008",
                              "flags=+scan_offset", "packetsize=2324"});
    expected.VideoOptions().SetBitrate(2040000);
    expected.AudioOptions().SetBitrate(224000);
    expected.AudioOptions().SetAudioSampleRate(44100);
    expected.VideoOptions().SetFrameRate(TRational(25, 1));
    ExpectSameTree(expected, options);

    profile.SetTarget(TAVTarget::ntsc);
    TAVConvertOptions ntsc;
    profile.ApplyTo(ntsc);
    EXPECT_EQ(ntsc.VideoOptions().FrameWidth(), 480);
    EXPECT_EQ(ntsc.VideoOptions().FrameHeight(), 480);
    EXPECT_EQ(ntsc.CodecOptions().front(), "g=18");
}

TEST_F(ProfileApply, DvdSetsEveryValueOfTheStandard) {
    TAVDvdProfile profile;
    TAVConvertOptions options;
    profile.ApplyTo(options);
    TAVConvertOptions expected;
    expected.VideoOptions().SetEncoderVideoCodecName("mpeg2video");
    expected.AudioOptions().SetEncoderAudioCodecName("ac3");
    expected.SetOutputFormat("dvd");
    expected.VideoOptions().SetFrameWidth(720);
    expected.VideoOptions().SetFrameHeight(576);
    expected.SetCodecOptions({"g=15", "maxrate=9000000", "minrate=0", "bufsize=1835008",
                              "packetsize=2048", "muxrate=10080000"});
    expected.VideoOptions().SetBitrate(6000000);
    expected.AudioOptions().SetBitrate(448000);
    expected.AudioOptions().SetAudioSampleRate(48000);
    expected.VideoOptions().SetFrameRate(TRational(25, 1));
    ExpectSameTree(expected, options);

    profile.SetTarget(TAVTarget::film);
    TAVConvertOptions film;
    profile.ApplyTo(film);
    EXPECT_EQ(film.VideoOptions().FrameHeight(), 480);
    EXPECT_EQ(film.CodecOptions().front(), "g=18");
    EXPECT_EQ(film.VideoOptions().FrameRate().num(), 24000);
}

TEST_F(ProfileApply, DvSetsSizePixelsAndAudioButNoEncoders) {
    struct Case {
        TAVTarget target;
        int height;
        int pixelFormat;
        int num;
        int den;
    };
    for (const Case c :
         {Case{TAVTarget::pal, 576, 0, 25, 1}, Case{TAVTarget::ntsc, 480, 7, 30000, 1001},
          Case{TAVTarget::film, 480, 7, 24000, 1001}}) {
        TAVDvProfile profile;
        profile.SetTarget(c.target);
        TAVConvertOptions options;
        profile.ApplyTo(options);
        TAVConvertOptions expected;
        expected.SetOutputFormat("dv");
        expected.VideoOptions().SetFrameWidth(720);
        expected.VideoOptions().SetFrameHeight(c.height);
        expected.VideoOptions().PixelFormat = c.pixelFormat;
        expected.AudioOptions().SetAudioSampleRate(48000);
        expected.AudioOptions().SetAudioChannels(2);
        expected.VideoOptions().SetFrameRate(TRational(c.num, c.den));
        ExpectSameTree(expected, options);
    }
}

TEST_F(ProfileApply, Dv50SetsOnlyPixelFormatAndRate) {
    TAVDv50Profile profile;
    profile.SetTarget(TAVTarget::ntsc);
    TAVConvertOptions options;
    profile.ApplyTo(options);
    TAVConvertOptions expected;
    expected.VideoOptions().PixelFormat = 4;
    expected.VideoOptions().SetFrameRate(TRational(30000, 1001));
    ExpectSameTree(expected, options);
}

TEST_F(ProfileApply, ImageProfileSetsOneThreadAndTheImageWriter) {
    TAVImageProfile profile;
    TAVConvertOptions options;
    options.SetThreadCount(8);
    EXPECT_TRUE(profile.ApplyTo(options));
    // One picture file per frame, also for GIF pictures (whose own muxer would animate them).
    TAVConvertOptions expected;
    expected.SetOutputFormat("image2");
    ExpectSameTree(expected, options);
}

TEST_F(ProfileApply, ConstructorNamesAndExtensions) {
    TAVVcdProfile vcd;
    TAVSVcdProfile svcd;
    TAVDvdProfile dvd;
    TAVDvProfile dv;
    TAVDv50Profile dv50;
    TAVImageProfile image;
    TAVX264Profile x264;
    TAVCustomVideoProfile video;
    EXPECT_EQ(vcd.Description() + vcd.Extension(), "VCD.mpg");
    EXPECT_EQ(svcd.Description() + svcd.Extension(), "SVCD.mpg");
    EXPECT_EQ(dvd.Description() + dvd.Extension(), "DVD.vob");
    EXPECT_EQ(dv.Description() + dv.Extension(), "DV.dv");
    EXPECT_EQ(dv50.Description() + dv50.Extension(), "DV50.dv");
    EXPECT_EQ(image.Description(), "Image Sequence Profile");
    EXPECT_EQ(image.Extension(), "");
    EXPECT_EQ(x264.Description() + x264.Extension(), "H264 Profile.mp4");
    EXPECT_EQ(vcd.Target(), TAVTarget::pal);
    EXPECT_EQ(video.Pass(), 0);
    EXPECT_TRUE(video.Options().empty());
    // The declared default of Pass is 1 and of Target pal, for the stored form.
    EXPECT_EQ(video.FindProperty("Pass")->declaredDefault, 1);
    EXPECT_EQ(vcd.FindProperty("Target")->declaredDefault, 0);
}

}  // namespace
}  // namespace tw
