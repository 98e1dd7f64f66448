#include "preview_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "media/av_ptr.h"

namespace tw::preview::test {

namespace {

void Check(int result, const char* what) {
    if (result < 0) {
        throw std::runtime_error(std::string("making a preview clip: ") + what);
    }
}

// Grey pictures at the times of kVariableStarts, each packet lasting up to the next picture.
void WriteVariableRateClip(const std::string& path) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    media::CodecContextPtr encoder(avcodec_alloc_context3(codec));
    encoder->width = 160;
    encoder->height = 120;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->time_base = {1, 1000};
    AVFormatContext* raw = nullptr;
    Check(avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str()), "muxer");
    media::OutputFormatPtr muxer(raw);
    encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(encoder.get(), codec, nullptr), "encoder");
    AVStream* stream = avformat_new_stream(muxer.get(), nullptr);
    stream->time_base = encoder->time_base;
    Check(avcodec_parameters_from_context(stream->codecpar, encoder.get()), "parameters");
    Check(avio_open(&muxer->pb, path.c_str(), AVIO_FLAG_WRITE), "file");
    Check(avformat_write_header(muxer.get(), nullptr), "header");

    media::FramePtr picture = media::MakeFrame();
    picture->width = 160;
    picture->height = 120;
    picture->format = AV_PIX_FMT_YUV420P;
    Check(av_frame_get_buffer(picture.get(), 0), "picture");
    media::PacketPtr packet = media::MakePacket();
    const auto drain = [&] {
        while (avcodec_receive_packet(encoder.get(), packet.get()) >= 0) {
            const int* at = std::find(std::begin(kVariableStarts), std::end(kVariableStarts),
                                      static_cast<int>(packet->pts));
            packet->duration = at + 1 == std::end(kVariableStarts) ? kVariableLastMs : at[1] - *at;
            av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            Check(av_interleaved_write_frame(muxer.get(), packet.get()), "packet");
        }
    };
    for (const int start : kVariableStarts) {
        Check(av_frame_make_writable(picture.get()), "picture");
        for (int plane = 0; plane < 3; ++plane) {
            std::memset(picture->data[plane], 60 + start / 10,
                        static_cast<size_t>(picture->linesize[plane] * (plane ? 60 : 120)));
        }
        picture->pts = start;
        Check(avcodec_send_frame(encoder.get(), picture.get()), "encoding");
        drain();
    }
    Check(avcodec_send_frame(encoder.get(), nullptr), "encoding");
    drain();
    Check(av_write_trailer(muxer.get()), "trailer");
}

// An opaque red 40×20 rectangle at (10, 10) as the DVD subtitle encoder takes it.
std::vector<uint8_t> EncodeRedBox(AVCodecContext* encoder, uint32_t durationMs) {
    AVSubtitle subtitle{};
    subtitle.end_display_time = durationMs;
    AVSubtitleRect rect{};
    AVSubtitleRect* rects[] = {&rect};
    subtitle.num_rects = 1;
    subtitle.rects = rects;
    rect.type = SUBTITLE_BITMAP;
    rect.x = 10;
    rect.y = 10;
    rect.w = 40;
    rect.h = 20;
    rect.nb_colors = 4;
    std::vector<uint8_t> indices(40 * 20, 1);
    uint32_t palette[4] = {0x00000000, 0xFFFF0000, 0xFF000000, 0xFFFFFFFF};
    rect.data[0] = indices.data();
    rect.linesize[0] = 40;
    rect.data[1] = reinterpret_cast<uint8_t*>(palette);
    std::vector<uint8_t> bytes(64 * 1024);
    const int size =
        avcodec_encode_subtitle(encoder, bytes.data(), static_cast<int>(bytes.size()), &subtitle);
    Check(size, "subtitle");
    bytes.resize(static_cast<size_t>(size));
    return bytes;
}

// The pictures of video with kSubtitleCues beside them.
void WriteSubtitledClip(const std::string& video, const std::string& path) {
    AVFormatContext* raw = nullptr;
    Check(avformat_open_input(&raw, video.c_str(), nullptr, nullptr), "input");
    media::InputFormatPtr input(raw);
    Check(avformat_find_stream_info(input.get(), nullptr), "input");
    raw = nullptr;
    Check(avformat_alloc_output_context2(&raw, nullptr, "matroska", path.c_str()), "muxer");
    media::OutputFormatPtr muxer(raw);
    AVStream* picture = avformat_new_stream(muxer.get(), nullptr);
    Check(avcodec_parameters_copy(picture->codecpar, input->streams[0]->codecpar), "video");
    picture->time_base = input->streams[0]->time_base;

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVD_SUBTITLE);
    media::CodecContextPtr encoder(avcodec_alloc_context3(codec));
    encoder->width = input->streams[0]->codecpar->width;
    encoder->height = input->streams[0]->codecpar->height;
    encoder->time_base = {1, 1000};
    Check(avcodec_open2(encoder.get(), codec, nullptr), "subtitle encoder");
    AVStream* subtitles = avformat_new_stream(muxer.get(), nullptr);
    Check(avcodec_parameters_from_context(subtitles->codecpar, encoder.get()), "subtitles");
    subtitles->time_base = {1, 1000};
    Check(avio_open(&muxer->pb, path.c_str(), AVIO_FLAG_WRITE), "file");
    Check(avformat_write_header(muxer.get(), nullptr), "header");

    media::PacketPtr packet = media::MakePacket();
    for (const BitmapCue& cue : kSubtitleCues) {
        const auto durationMs = static_cast<uint32_t>(std::lround((cue.end - cue.start) * 1000));
        std::vector<uint8_t> bytes = EncodeRedBox(encoder.get(), durationMs);
        Check(av_new_packet(packet.get(), static_cast<int>(bytes.size())), "packet");
        std::memcpy(packet->data, bytes.data(), bytes.size());
        packet->pts = packet->dts = std::lround(cue.start * 1000);
        packet->duration = durationMs;
        packet->stream_index = subtitles->index;
        Check(av_interleaved_write_frame(muxer.get(), packet.get()), "subtitle packet");
    }
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == 0) {
            av_packet_rescale_ts(packet.get(), input->streams[0]->time_base, picture->time_base);
            packet->stream_index = picture->index;
            Check(av_interleaved_write_frame(muxer.get(), packet.get()), "video packet");
        }
        av_packet_unref(packet.get());
    }
    Check(av_write_trailer(muxer.get()), "trailer");
}

// Every stream of the given files in one Matroska file, in the files' order.
void MergeClips(const std::vector<std::string>& parts, const std::string& path) {
    AVFormatContext* raw = nullptr;
    Check(avformat_alloc_output_context2(&raw, nullptr, "matroska", path.c_str()), "muxer");
    media::OutputFormatPtr muxer(raw);
    std::vector<media::InputFormatPtr> inputs;
    std::vector<int> firstStream;
    for (const std::string& part : parts) {
        raw = nullptr;
        Check(avformat_open_input(&raw, part.c_str(), nullptr, nullptr), "input");
        inputs.emplace_back(raw);
        Check(avformat_find_stream_info(raw, nullptr), "input");
        firstStream.push_back(static_cast<int>(muxer->nb_streams));
        for (unsigned i = 0; i < raw->nb_streams; ++i) {
            AVStream* copy = avformat_new_stream(muxer.get(), nullptr);
            Check(avcodec_parameters_copy(copy->codecpar, raw->streams[i]->codecpar), "stream");
            copy->time_base = raw->streams[i]->time_base;
        }
    }
    Check(avio_open(&muxer->pb, path.c_str(), AVIO_FLAG_WRITE), "file");
    Check(avformat_write_header(muxer.get(), nullptr), "header");
    media::PacketPtr packet = media::MakePacket();
    for (size_t k = 0; k < inputs.size(); ++k) {
        AVFormatContext* input = inputs[k].get();
        while (av_read_frame(input, packet.get()) >= 0) {
            AVStream* to = muxer->streams[firstStream[k] + packet->stream_index];
            av_packet_rescale_ts(packet.get(), input->streams[packet->stream_index]->time_base,
                                 to->time_base);
            packet->stream_index = to->index;
            Check(av_interleaved_write_frame(muxer.get(), packet.get()), "packet");
        }
    }
    Check(av_write_trailer(muxer.get()), "trailer");
}

}  // namespace

PreviewClips::PreviewClips() {
    tw::test::ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = 2.0;
    audioVideo = folder / "av.mkv";
    tw::test::GenerateClip(clip, audioVideo);
    tw::test::ClipDescription two = clip;
    two.secondAudio = tw::test::AudioTrackDescription{};
    two.secondAudio->channels = 1;
    twoSounds = folder / "two-sounds.mkv";
    tw::test::GenerateClip(two, twoSounds);

    variable = folder / "variable.mp4";
    WriteVariableRateClip(variable);

    tw::test::ClipDescription video = clip;
    video.audioCodec.clear();
    video.durationSec = 1.2;
    videoOnly = folder / "video.mkv";
    tw::test::GenerateClip(video, videoOnly);
    subtitled = folder / "subtitled.mkv";
    WriteSubtitledClip(videoOnly, subtitled);

    tw::test::ClipDescription small = video;
    small.width = 96;
    small.height = 64;
    const std::string smallPictures = folder / "small.mkv";
    tw::test::GenerateClip(small, smallPictures);
    twoPictures = folder / "two-pictures.mkv";
    MergeClips({audioVideo, smallPictures}, twoPictures);

    tw::test::ClipDescription audio = clip;
    audio.videoCodec.clear();
    audio.durationSec = 1.5;
    audioOnly = folder / "audio.mka";
    tw::test::GenerateClip(audio, audioOnly);
}

const PreviewClips& PreviewClips::Get() {
    static const PreviewClips clips;
    return clips;
}

namespace {

SamplePtr Next(TFFPushSource& source, Delivered (TFFPushSource::*deliver)()) {
    SamplePtr sample;
    bool ended = false;
    WaitUntil([&] {
        Delivered delivered = (source.*deliver)();
        sample = std::move(delivered.sample);
        ended = delivered.result == Delivery::EndOfStream;
        return sample || ended;
    });
    return sample;
}

}  // namespace

SamplePtr NextPicture(TFFPushSource& source) {
    return Next(source, &TFFPushSource::DeliverVideo);
}

SamplePtr NextSound(TFFPushSource& source) {
    return Next(source, &TFFPushSource::DeliverAudio);
}

Drained DrainSource(TFFPushSource& source) {
    Drained drained;
    bool picturesEnded = false;
    bool soundEnded = false;
    const bool finished = WaitUntil([&] {
        if (!picturesEnded) {
            Delivered picture = source.DeliverVideo();
            picturesEnded = picture.result == Delivery::EndOfStream;
            if (picture.sample) {
                drained.pictures.push_back(std::move(picture.sample));
            }
        }
        if (!soundEnded) {
            Delivered sound = source.DeliverAudio();
            soundEnded = sound.result == Delivery::EndOfStream;
            if (sound.sample) {
                drained.sound.push_back(std::move(sound.sample));
            }
        }
        return picturesEnded && soundEnded;
    });
    EXPECT_TRUE(finished) << "the source never reached its end";
    return drained;
}

}  // namespace tw::preview::test
