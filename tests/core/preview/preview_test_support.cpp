#include "preview_test_support.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "media/av_ptr.h"

namespace tw::preview::test {

namespace {

void Check(int result, const char* what) {
    if (result < 0) {
        throw std::runtime_error(std::string("variable-rate clip: ") + what);
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

}  // namespace

PreviewClips::PreviewClips() {
    tw::test::ClipSpec clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = 2.0;
    audioVideo = folder / "av.mkv";
    tw::test::GenerateClip(clip, audioVideo);

    variable = folder / "variable.mp4";
    WriteVariableRateClip(variable);

    tw::test::ClipSpec video = clip;
    video.audioCodec.clear();
    video.durationSec = 1.2;
    videoOnly = folder / "video.mkv";
    tw::test::GenerateClip(video, videoOnly);

    tw::test::ClipSpec audio = clip;
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
