// Which kinds of stream a run reads and writes: the switches that turn a kind off, and sources
// carrying streams that are neither picture, sound nor subtitles.
#include <gtest/gtest.h>

#include "support/av_handles.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

// Copies src into a Matroska file at dst, with an attached font (an attachment stream) in front
// of its streams, or only the attachment when keepStreams is false.
void WithAttachment(const std::string& src, const std::string& dst, bool keepStreams) {
    AVFormatContext* rawIn = nullptr;
    Check(avformat_open_input(&rawIn, src.c_str(), nullptr, nullptr), "opening " + src);
    InputFormatPtr in(rawIn);
    Check(avformat_find_stream_info(in.get(), nullptr), "reading " + src);
    AVFormatContext* rawOut = nullptr;
    Check(avformat_alloc_output_context2(&rawOut, nullptr, "matroska", dst.c_str()), dst);
    OutputFormatPtr out(rawOut);
    AVStream* font = avformat_new_stream(out.get(), nullptr);
    font->codecpar->codec_type = AVMEDIA_TYPE_ATTACHMENT;
    font->codecpar->codec_id = AV_CODEC_ID_TTF;
    const std::string bytes = ReadFileBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    font->codecpar->extradata =
        static_cast<uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::copy(bytes.begin(), bytes.end(), font->codecpar->extradata);
    font->codecpar->extradata_size = static_cast<int>(bytes.size());
    av_dict_set(&font->metadata, "filename", "DejaVuSans.ttf", 0);
    av_dict_set(&font->metadata, "mimetype", "application/x-truetype-font", 0);
    std::vector<int> mapping(in->nb_streams, -1);
    for (unsigned i = 0; keepStreams && i < in->nb_streams; ++i) {
        AVStream* copy = avformat_new_stream(out.get(), nullptr);
        Check(avcodec_parameters_copy(copy->codecpar, in->streams[i]->codecpar), "copying");
        copy->codecpar->codec_tag = 0;
        copy->time_base = in->streams[i]->time_base;
        mapping[i] = copy->index;
    }
    Check(avio_open(&out->pb, dst.c_str(), AVIO_FLAG_WRITE), "creating " + dst);
    Check(avformat_write_header(out.get(), nullptr), "header of " + dst);
    PacketPtr packet = MakePacket();
    while (av_read_frame(in.get(), packet.get()) >= 0) {
        const int target = mapping[static_cast<size_t>(packet->stream_index)];
        if (target >= 0) {
            av_packet_rescale_ts(packet.get(), in->streams[packet->stream_index]->time_base,
                                 out->streams[target]->time_base);
            packet->stream_index = target;
            Check(av_interleaved_write_frame(out.get(), packet.get()), "writing " + dst);
        }
        av_packet_unref(packet.get());
    }
    Check(av_write_trailer(out.get()), "trailer of " + dst);
}

TEST(StreamKinds, DisableSwitchesLeaveTheirKindOut) {
    TempFolder folder;
    ClipDescription clip;
    clip.subtitles = {{0.2, 0.8, "Words"}};
    GenerateClip(clip, folder / "all.mkv");
    {
        ConversionRunner runner;
        runner.Options().AudioOptions().SetAudioDisable(true);
        runner.Options().AudioOptions().SetEncoderAudioCodecName("libvorbis");
        runner.Options().SubtitleOptions().SetSubtitleDisable(true);
        ASSERT_EQ(runner.Run({folder / "all.mkv"}, {folder / "video.mkv"}).errorMessage, "");
        const MediaInfo info = InspectMedia(folder / "video.mkv");
        EXPECT_EQ(info.CountOf(StreamKind::Video), 1);
        EXPECT_EQ(info.CountOf(StreamKind::Audio), 0);
        EXPECT_EQ(info.CountOf(StreamKind::Subtitle), 0);
    }
    {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetVideoDisable(true);
        ASSERT_EQ(runner.Run({folder / "all.mkv"}, {folder / "sound.mkv"}).errorMessage, "");
        const MediaInfo info = InspectMedia(folder / "sound.mkv");
        EXPECT_EQ(info.CountOf(StreamKind::Video), 0);
        EXPECT_EQ(info.CountOf(StreamKind::Audio), 1);
        EXPECT_EQ(info.CountOf(StreamKind::Subtitle), 1);
    }
}

TEST(StreamKinds, AttachmentsInTheSourceAreLeftAlone) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "plain.mkv");
    WithAttachment(folder / "plain.mkv", folder / "with-font.mkv", true);
    ASSERT_EQ(InspectMedia(folder / "with-font.mkv").CountOf(StreamKind::Attachment), 1);
    ConversionRunner runner;
    ASSERT_EQ(runner.Run({folder / "with-font.mkv"}, {folder / "out.mp4"}).errorMessage, "");
    const MediaInfo info = InspectMedia(folder / "out.mp4");
    EXPECT_EQ(info.First(StreamKind::Video).decodedFrameCount, 50);
    EXPECT_EQ(info.CountOf(StreamKind::Audio), 1);
}

TEST(StreamKinds, DeclaredStreamWithoutDataIsLeftOut) {
    TempFolder folder;
    ClipDescription clip;
    clip.videoCodec = "mpeg2video";
    clip.audioCodec = "mp2";
    clip.audioDeclaredOnly = true;
    const std::string source = folder / "broadcast.ts";
    GenerateClip(clip, source);
    ConversionRunner runner;
    const std::string output = folder / "broadcast.mkv";
    const ConversionOutcome outcome = runner.Run({source}, {output});
    EXPECT_EQ(outcome.errorMessage, "");
    EXPECT_EQ(outcome.completeEvents, 1);
    const MediaInfo info = InspectMedia(output);
    EXPECT_EQ(info.CountOf(StreamKind::Audio), 0);
    EXPECT_NEAR(info.First(StreamKind::Video).decodedFrameCount, 50, 1);
    EXPECT_NE(std::find_if(outcome.log.begin(), outcome.log.end(),
                           [](const std::string& line) {
                               return line.find("left out") != std::string::npos;
                           }),
              outcome.log.end());
}

TEST(StreamKinds, AFileOfOnlyAnAttachmentIsRefused) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "plain.mkv");
    WithAttachment(folder / "plain.mkv", folder / "font-only.mkv", false);
    ConversionRunner runner;
    const ConversionOutcome outcome = runner.Run({folder / "font-only.mkv"}, {folder / "out.mp4"});
    // Refused whether the reader already gives up on it or the run finds nothing to convert.
    EXPECT_FALSE(outcome.errorMessage.empty());
    EXPECT_EQ(outcome.errorEvents, 1);
    EXPECT_EQ(outcome.completeEvents, 0);
}

}  // namespace
}  // namespace tw::test
