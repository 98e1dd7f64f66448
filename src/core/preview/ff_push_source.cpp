// The push source: configuration, opening and closing.
#include "preview/ff_push_source.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <optional>

#include "media/display_rotation.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::preview {

TFFPushSource::TFFPushSource() : packet_(media::MakePacket()) {}

TFFPushSource::~TFFPushSource() {
    Close();
    av_channel_layout_uninit(&resamplerLayout_);
}

void TFFPushSource::Close() {
    {
        std::lock_guard lock(seekMutex_);
        terminate_ = true;
    }
    wake_.notify_all();
    if (demuxThread_.joinable()) {
        demuxThread_.join();
    }
}

void TFFPushSource::SetLoopCount(int count) {
    if (count <= 0) {
        throw EAVError("Loop count must be larger than 0");
    }
    loopCount_ = count;
}

int TFFPushSource::VideoWidth() const {
    return HasVideo() ? videoWidth_.load() : 0;
}

int TFFPushSource::VideoHeight() const {
    return HasVideo() ? videoHeight_.load() : 0;
}

int TFFPushSource::SelectedStream(const std::vector<int>& list, int position) const {
    return position >= 0 && position < static_cast<int>(list.size())
               ? list[static_cast<size_t>(position)]
               : -1;
}

bool TFFPushSource::Load(const std::string& fileName) {
    // A source opens one name once, whether that worked or not.
    if (fileName.empty() || loadTried_) {
        return false;
    }
    loadTried_ = true;
    try {
        if (!Open(fileName)) {
            return false;
        }
    } catch (const EAVError&) {
        // A graph the filter text cannot make, or a "stream:" name nobody registered.
        return false;
    }
    demuxRunning_ = true;
    demuxThread_ = std::jthread([this] { DemuxLoop(); });
    return true;
}

bool TFFPushSource::Open(const std::string& name) {
    if (media::IsStreamUrl(name)) {
        streamInput_ = media::OpenStreamUrl(name);
    }
    AVFormatContext* context = avformat_alloc_context();
    if (!context) {
        return false;
    }
    if (streamInput_) {
        context->pb = streamInput_.IoContext();
        context->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    // The library frees the context itself when opening fails.
    if (avformat_open_input(&context, name.c_str(), nullptr, nullptr) < 0) {
        return false;
    }
    format_.reset(context);
    if (avformat_find_stream_info(context, nullptr) < 0) {
        return false;
    }
    if (context->pb) {
        context->pb->eof_reached = 0;
    }
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        switch (context->streams[i]->codecpar->codec_type) {
            case AVMEDIA_TYPE_VIDEO:
                videoStreams_.push_back(static_cast<int>(i));
                break;
            case AVMEDIA_TYPE_AUDIO:
                if (!audioDisabled_) {
                    audioStreams_.push_back(static_cast<int>(i));
                }
                break;
            case AVMEDIA_TYPE_SUBTITLE:
                subtitleStreams_.push_back(static_cast<int>(i));
                break;
            default:
                break;
        }
    }
    videoPosition_ = videoStreams_.empty() ? -1 : 0;
    audioPosition_ = audioStreams_.empty() ? -1 : 0;
    subtitlePosition_ = subtitleStreams_.empty() ? -1 : 0;
    if (!HasVideo() && !HasAudio()) {
        return false;
    }
    // A DVD chapter range also carries sound of the chapters around it; it says where its own
    // part begins and how long it lasts, and only that part is played.
    const std::optional<media::PresentationSpan> span =
        streamInput_ ? streamInput_.Stream()->WantedSpan() : std::nullopt;
    if (span) {
        startTimeUs_ = span->startUs;
        spanSeconds_ = static_cast<double>(span->durationUs) / 1e6;
    } else {
        startTimeUs_ = context->start_time != AV_NOPTS_VALUE ? context->start_time : 0;
    }
    if (HasVideo()) {
        OpenVideo();
        if (HasSubtitle()) {
            OpenSubtitle();
        }
    }
    if (HasAudio()) {
        OpenAudio();
    }
    // Streams no decoder takes (a damaged header, an unknown codec) give nothing to play.
    if (!producesVideo_ && !producesAudio_) {
        return false;
    }

    std::lock_guard lock(seekMutex_);
    // A source of unknown length plays without a time line: positions stay 0.
    const int64_t durationUs = span ? span->durationUs : context->duration;
    fileDuration_ = durationUs > 0 ? durationUs * 10 : 0;
    duration_ = fileDuration_ * loopCount_;
    stop_ = start_ + duration_;
    return true;
}

void TFFPushSource::OpenDecoder(StreamDecoder& decoder, int streamIndex) {
    decoder.context.reset();
    decoder.streamIndex = streamIndex;
    AVStream* stream = format_->streams[streamIndex];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        return;
    }
    media::CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0) {
        return;
    }
    context->workaround_bugs = FF_BUG_AUTODETECT;
    context->idct_algo = FF_IDCT_AUTO;
    context->err_recognition = AV_EF_CAREFUL;
    context->error_concealment = FF_EC_GUESS_MVS | FF_EC_DEBLOCK;
    context->thread_count = 1;
    context->pkt_timebase = stream->time_base;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        return;
    }
    stream->discard = AVDISCARD_DEFAULT;
    decoder.context = std::move(context);
}

void TFFPushSource::OpenVideo() {
    OpenDecoder(video_, SelectedStream(videoStreams_, videoPosition_));
    producesVideo_ = video_.context != nullptr;
    if (!video_.context) {
        return;
    }
    if (!decoded_) {
        decoded_ = media::MakeFrame();
        filtered_ = media::MakeFrame();
    }
    videoWidth_ = video_.context->width;
    videoHeight_ = video_.context->height;
    // A decoder that learns its picture format only from the first picture gets its graph then.
    if (video_.context->pix_fmt != AV_PIX_FMT_NONE && video_.context->width > 0) {
        RebuildGraph(DecoderShape());
    } else {
        graph_.Reset();
    }
}

void TFFPushSource::OpenAudio() {
    OpenDecoder(audio_, SelectedStream(audioStreams_, audioPosition_));
    producesAudio_ = audio_.context != nullptr;
    resampler_.reset();
    if (!audio_.context) {
        return;
    }
    if (!decoded_) {
        decoded_ = media::MakeFrame();
        filtered_ = media::MakeFrame();
    }
    const int channels = audio_.context->ch_layout.nb_channels;
    // Mono and stereo play as they are; anything else is mixed down to stereo.
    audioChannels_ = channels == 1 ? 1 : 2;
    audioSampleRate_ = audio_.context->sample_rate;
}

void TFFPushSource::OpenSubtitle() {
    OpenDecoder(subtitle_, SelectedStream(subtitleStreams_, subtitlePosition_));
}

PictureShape TFFPushSource::DecoderShape() const {
    const AVCodecContext* decoder = video_.context.get();
    const AVStream* stream = format_->streams[video_.streamIndex];
    PictureShape shape;
    shape.width = decoder->width;
    shape.height = decoder->height;
    shape.pixelFormat = decoder->pix_fmt;
    shape.timeBase = stream->time_base;
    shape.sampleAspect = decoder->sample_aspect_ratio;
    shape.deinterlace = decoder->field_order == AV_FIELD_BB || decoder->field_order == AV_FIELD_BT;
    shape.rotation = media::DisplayRotation(stream);
    return shape;
}

void TFFPushSource::RebuildGraph(const PictureShape& shape) {
    graph_.Build(shape, videoFilters_, kScalerFlags);
    videoWidth_ = graph_.OutputWidth();
    videoHeight_ = graph_.OutputHeight();
}

void TFFPushSource::SetVideoFilters(const std::string& chainText) {
    if (!Loaded() || !video_.context) {
        videoFilters_ = chainText;
        return;
    }
    std::lock_guard stream(streamMutex_);
    if (graph_.Built()) {
        const std::string previous = videoFilters_;
        videoFilters_ = chainText;
        try {
            RebuildGraph(graph_.Shape());
        } catch (const EAVError&) {
            videoFilters_ = previous;
            throw;
        }
    } else {
        videoFilters_ = chainText;
    }
    Reread(Replaced::Pictures);
}

void TFFPushSource::SetVideoIndex(int position) {
    TW_ASSERT(position >= 0 && position < VideoStreamCount());
    if (!Loaded() || !HasVideo()) {
        return;
    }
    std::lock_guard stream(streamMutex_);
    videoPosition_ = position;
    OpenVideo();
    Reread(Replaced::Pictures);
}

void TFFPushSource::SetAudioIndex(int position) {
    TW_ASSERT(position >= 0 && position < AudioStreamCount());
    if (!Loaded() || !HasVideo()) {
        return;
    }
    std::lock_guard stream(streamMutex_);
    audioPosition_ = position;
    OpenAudio();
    Reread(Replaced::Sound);
}

void TFFPushSource::SetSubtitleIndex(int position) {
    TW_ASSERT(position >= 0 && position < SubtitleStreamCount());
    if (!Loaded() || !HasVideo()) {
        return;
    }
    std::lock_guard stream(streamMutex_);
    subtitlePosition_ = position;
    OpenSubtitle();
    Reread(Replaced::Subtitles);
}

size_t TFFPushSource::QueuedVideoFrames() const {
    std::lock_guard lock(videoPin_.mutex);
    return videoPin_.samples.size();
}

size_t TFFPushSource::QueuedAudioBlocks() const {
    std::lock_guard lock(audioPin_.mutex);
    return audioPin_.samples.size();
}

}  // namespace tw::preview
