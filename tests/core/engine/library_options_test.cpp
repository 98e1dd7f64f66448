// Library options by name: which defaults they land on and what reaches real contexts.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/opt.h>
}

#include "engine/library_options.h"
#include "platform/message_service.h"

namespace tw::engine {
namespace {

int64_t IntOption(void* object, const char* name) {
    int64_t value = 0;
    EXPECT_GE(av_opt_get_int(object, name, 0, &value), 0) << name;
    return value;
}

class LibraryOptionsTest : public ::testing::Test {
protected:
    platform::RecordingMessageService messages_;
    platform::ScopedMessageService install_{messages_};
    LibraryOptions options_{4};
    AVCodecContext* Video() { return options_.CodecDefaults(AVMEDIA_TYPE_VIDEO); }
    AVCodecContext* Audio() { return options_.CodecDefaults(AVMEDIA_TYPE_AUDIO); }
};

TEST_F(LibraryOptionsTest, VideoRateStaysOffTheAudioDefaults) {
    const int64_t audioBefore = IntOption(Audio(), "b");
    EXPECT_EQ(options_.SetLibraryOption("b", "1150000"), 0);
    EXPECT_EQ(IntOption(Video(), "b"), 1150000);
    EXPECT_EQ(IntOption(Audio(), "b"), audioBefore);
}

TEST_F(LibraryOptionsTest, LeadingLetterNamesTheMediaType) {
    EXPECT_EQ(options_.SetLibraryOption("ab", "224000"), 0);
    EXPECT_EQ(IntOption(Audio(), "b"), 224000);
    EXPECT_EQ(options_.SetLibraryOption("vb", "500000"), 0);
    EXPECT_EQ(IntOption(Video(), "b"), 500000);
    // Remembered by the option's own name, so that it can be copied onto encoders.
    EXPECT_EQ(options_.AcceptedNames().back(), "b");
}

TEST_F(LibraryOptionsTest, FormatAndScalerOptions) {
    EXPECT_EQ(options_.SetLibraryOption("packetsize", "2324"), 0);
    EXPECT_EQ(IntOption(options_.FormatDefaults(), "packetsize"), 2324);
    EXPECT_EQ(options_.SetLibraryOption("sws_flags", "bilinear"), 0);
    EXPECT_EQ(options_.ScalerFlags(), SWS_BILINEAR);
}

TEST_F(LibraryOptionsTest, BadValueIsReportedUnknownNameIsDropped) {
    EXPECT_EQ(options_.SetLibraryOption("g", "many"), -1);
    ASSERT_EQ(messages_.Errors().size(), 1u);
    EXPECT_EQ(messages_.Errors()[0], "Invalid value for Option!");
    EXPECT_EQ(options_.SetLibraryOption("no_such_option", "1"), -1);
    EXPECT_EQ(messages_.Errors().size(), 1u);
    EXPECT_TRUE(options_.AcceptedNames().empty());
}

TEST_F(LibraryOptionsTest, ApplyCopiesOnlyOptionsForTheTargetsKind) {
    ASSERT_EQ(options_.SetLibraryOption("g", "15"), 0);
    ASSERT_EQ(options_.SetLibraryOption("ab", "192000"), 0);
    ASSERT_EQ(options_.SetLibraryOption("b", "800000"), 0);
    ASSERT_EQ(options_.SetLibraryOption("flags", "+qscale"), 0);

    media::CodecContextPtr videoEncoder(avcodec_alloc_context3(nullptr));
    options_.ApplyLibraryOptions(videoEncoder.get(), Video(), LibraryOptions::kVideoEncoder);
    EXPECT_EQ(videoEncoder->gop_size, 15);
    EXPECT_EQ(videoEncoder->bit_rate, 800000);
    EXPECT_TRUE(videoEncoder->flags & AV_CODEC_FLAG_QSCALE);

    media::CodecContextPtr audioEncoder(avcodec_alloc_context3(nullptr));
    const int gopBefore = audioEncoder->gop_size;
    options_.ApplyLibraryOptions(audioEncoder.get(), Audio(), LibraryOptions::kAudioEncoder);
    EXPECT_EQ(audioEncoder->bit_rate, 192000);
    EXPECT_EQ(audioEncoder->gop_size, gopBefore);
}

}  // namespace
}  // namespace tw::engine
