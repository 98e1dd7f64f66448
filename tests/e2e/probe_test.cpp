// The media probe on generated files: what it reports, what it refuses, and the wizard's rule.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/message_service.h"
#include "probe/av_probe.h"
#include "support/av_handles.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "util/av_error.h"

namespace tw::test {
namespace {

void Put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

// A WAVE file whose format tag no decoder knows.
void WriteUnknownWave(const std::string& path) {
    const std::string data(8000, '\x11');
    std::string wave = "RIFF";
    Put32(wave, static_cast<uint32_t>(4 + 8 + 16 + 8 + data.size()));
    wave += "WAVEfmt ";
    Put32(wave, 16);
    Put16(wave, 0x7A7A);  // format tag
    Put16(wave, 2);       // channels
    Put32(wave, 44100);
    Put32(wave, 44100 * 4);
    Put16(wave, 4);
    Put16(wave, 16);
    wave += "data";
    Put32(wave, static_cast<uint32_t>(data.size()));
    wave += data;
    WriteFileBytes(path, wave);
}

// An AVI file with a video stream of an unknown four-character code and a PCM audio stream.
void WriteAviWithUnknownVideo(const std::string& path) {
    AVFormatContext* raw = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&raw, nullptr, "avi", path.c_str()), 0);
    std::unique_ptr<AVFormatContext, OutputFormatDeleter> out(raw);
    out->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
    AVStream* video = avformat_new_stream(out.get(), nullptr);
    video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    video->codecpar->codec_id = AV_CODEC_ID_FFV1;
    video->codecpar->codec_tag = MKTAG('Z', 'Q', 'Z', 'Q');
    video->codecpar->width = 64;
    video->codecpar->height = 48;
    video->time_base = {1, 10};
    AVStream* audio = avformat_new_stream(out.get(), nullptr);
    audio->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    audio->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
    audio->codecpar->sample_rate = 8000;
    av_channel_layout_default(&audio->codecpar->ch_layout, 1);
    audio->codecpar->bits_per_coded_sample = 16;
    audio->codecpar->block_align = 2;
    audio->time_base = {1, 8000};
    ASSERT_GE(avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(avformat_write_header(out.get(), nullptr), 0);
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    for (int i = 0; i < 10; ++i) {
        ASSERT_GE(av_new_packet(packet.get(), 300), 0);
        std::memset(packet->data, i, 300);
        packet->stream_index = 0;
        packet->pts = packet->dts = i;
        packet->flags = AV_PKT_FLAG_KEY;
        packet->time_base = {1, 10};
        av_packet_rescale_ts(packet.get(), {1, 10}, video->time_base);
        ASSERT_GE(av_interleaved_write_frame(out.get(), packet.get()), 0);
        ASSERT_GE(av_new_packet(packet.get(), 1600), 0);
        std::memset(packet->data, 0, 1600);
        packet->stream_index = 1;
        packet->pts = packet->dts = i * 800;
        packet->flags = AV_PKT_FLAG_KEY;
        av_packet_rescale_ts(packet.get(), {1, 8000}, audio->time_base);
        ASSERT_GE(av_interleaved_write_frame(out.get(), packet.get()), 0);
    }
    ASSERT_GE(av_write_trailer(out.get()), 0);
}

std::string ProbeError(const std::string& path) {
    TAVProbe probe;
    probe.SetFileName(path);
    try {
        probe.SetActive(true);
    } catch (const EAVError& error) {
        EXPECT_FALSE(probe.Active());
        return error.what();
    }
    return "";
}

class Probe : public ::testing::Test {
protected:
    // The wizard's rule, with what it showed.
    bool Accept(const std::string& path) {
        messages_.Clear();
        return probe::AcceptSourceFile(path);
    }

    TempFolder folder_;
    platform::RecordingMessageService messages_;
    platform::ScopedMessageService install_{messages_};
};

TEST_F(Probe, ReportsTheFirstVideoAndAudioStreams) {
    ClipDescription clip;
    clip.width = 320;
    clip.height = 240;
    clip.frameRate = {25, 1};
    clip.sampleRate = 48000;
    clip.channels = 2;
    const std::string path = folder_ / "clip.mkv";
    GenerateClip(clip, path);
    TAVProbe probe;
    probe.SetFileName(path);
    probe.SetActive(true);
    EXPECT_TRUE(probe.Active());
    EXPECT_TRUE(probe.HasVideo());
    EXPECT_TRUE(probe.HasAudio());
    EXPECT_EQ(probe.VideoCodecName(), "h264");
    EXPECT_EQ(probe.Width(), 320);
    EXPECT_EQ(probe.Height(), 240);
    EXPECT_DOUBLE_EQ(probe.FrameRate(), 25.0);
    EXPECT_EQ(probe.AudioCodecName(), "aac");
    EXPECT_EQ(probe.SampleRate(), 48000);
    EXPECT_EQ(probe.Channels(), 2);
    probe.SetActive(false);
    EXPECT_FALSE(probe.Active());
    EXPECT_TRUE(Accept(path));
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(Probe, AcceptsAudioOnlyAndComputesTheUncompressedBitRate) {
    ClipDescription clip;
    clip.videoCodec = "";
    clip.audioCodec = "pcm_s16le";
    clip.sampleRate = 44100;
    clip.channels = 2;
    // A name outside ASCII reaches the library as UTF-8.
    const std::string path = folder_ / "t\xC3\xB6n \xE9\x9F\xB3 'x'.wav";
    GenerateClip(clip, path);
    TAVProbe probe;
    probe.SetFileName(path);
    probe.SetActive(true);
    EXPECT_FALSE(probe.HasVideo());
    EXPECT_TRUE(probe.HasAudio());
    EXPECT_EQ(probe.AudioCodecName(), "pcm_s16le");
    EXPECT_EQ(probe.AudioBitrate(), 1411200);
    EXPECT_TRUE(Accept(path));

    clip.audioCodec = "aac";
    clip.audioBitRate = 96000;
    const std::string compressed = folder_ / "tone.m4a";
    GenerateClip(clip, compressed);
    probe.SetActive(false);
    probe.SetFileName(compressed);
    probe.SetActive(true);
    EXPECT_EQ(probe.AudioCodecName(), "aac");
    EXPECT_NEAR(static_cast<double>(probe.AudioBitrate()), 96000, 20000);
}

TEST_F(Probe, RefusesStreamsWithoutADecoder) {
    const std::string wave = folder_ / "unknown.wav";
    WriteUnknownWave(wave);
    EXPECT_EQ(ProbeError(wave), "Unsupported codec(id=0) for input stream 0");
    EXPECT_FALSE(Accept(wave));
    EXPECT_EQ(messages_.Errors(), std::vector<std::string>{"Invalid Video/Audio File"});

    // Usable audio does not save a file whose first video stream cannot be decoded.
    const std::string avi = folder_ / "unknown video.avi";
    WriteAviWithUnknownVideo(avi);
    EXPECT_EQ(ProbeError(avi), "Unsupported codec(id=0) for input stream 0");
    EXPECT_FALSE(Accept(avi));
}

TEST_F(Probe, RefusesFilesThatAreNotMedia) {
    const std::string noise = folder_ / "noise.mp4";
    WriteRandomFile(noise, 64 * 1024, 3);
    const std::string error = ProbeError(noise);
    EXPECT_TRUE(error == "Error Opening File!" || error == "Can not find stream information")
        << error;
    EXPECT_FALSE(Accept(noise));
    EXPECT_EQ(messages_.Errors(), std::vector<std::string>{"Invalid Video/Audio File"});

    const std::string empty = folder_ / "empty.avi";
    WriteFileBytes(empty, "");
    EXPECT_NE(ProbeError(empty), "");
    EXPECT_FALSE(Accept(empty));

    // Subtitles alone open cleanly but hold neither video nor audio.
    const std::string subtitles = folder_ / "only.srt";
    WriteFileBytes(subtitles, "1\n00:00:01,000 --> 00:00:02,000\nHello\n\n");
    EXPECT_EQ(ProbeError(subtitles), "");
    EXPECT_FALSE(Accept(subtitles));
    EXPECT_EQ(messages_.Errors(), std::vector<std::string>{"Invalid Video/Audio File"});
}

TEST_F(Probe, MissingFileDoesNothingAndIsRefused) {
    TAVProbe probe;
    probe.SetFileName(folder_ / "missing.mp4");
    probe.SetActive(true);
    EXPECT_FALSE(probe.Active());
    EXPECT_FALSE(probe.HasVideo());
    EXPECT_FALSE(probe.HasAudio());
    EXPECT_FALSE(Accept(folder_ / "missing.mp4"));
    EXPECT_EQ(messages_.Errors(), std::vector<std::string>{"Invalid Video/Audio File"});
}

}  // namespace
}  // namespace tw::test
