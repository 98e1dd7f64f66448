#include "probe/av_probe.h"

#include <filesystem>
#include <system_error>

#include "platform/message_service.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw {

TAVProbe::~TAVProbe() {
    SetActive(false);
}

const PropertyTable& TAVProbe::Properties() const {
    using T = TAVProbe;
    static const PropertyTable table =
        PropertyTableBuilder<T>().String("FileName", &T::FileName, &T::SetFileName).Build();
    return table;
}

void TAVProbe::SetActive(bool value) {
    if (value == active_) {
        return;
    }
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(fileName_), error)) {
        return;
    }
    if (value) {
        Open();
    } else {
        Close();
    }
    active_ = value;
}

void TAVProbe::Close() {
    // Decoders before the format context whose streams they were opened for.
    videoDecoder_.reset();
    audioDecoder_.reset();
    format_.reset();
}

void TAVProbe::Open() {
    // Facts of a file opened before must not outlive it.
    audioCodecName_.clear();
    videoCodecName_.clear();
    width_ = height_ = sampleRate_ = channels_ = 0;
    audioBitrate_ = videoBitrate_ = 0;
    frameRate_ = 0.0;
    hasVideo_ = hasAudio_ = false;

    AVFormatContext* context = avformat_alloc_context();
    if (!context) {
        throw EAVError("Error Opening File!");
    }
    const AVInputFormat* forced = nullptr;
    if (!inputFormat_.empty()) {
        forced = av_find_input_format(inputFormat_.c_str());
    }
    // On failure the library frees the context itself. The name is UTF-8 already.
    if (avformat_open_input(&context, fileName_.c_str(), forced, nullptr) < 0) {
        throw EAVError("Error Opening File!");
    }
    format_.reset(context);
    try {
        if (avformat_find_stream_info(context, nullptr) < 0) {
            throw EAVError("Can not find stream information");
        }
        hasVideo_ = false;
        hasAudio_ = false;
        for (unsigned i = 0; i < context->nb_streams; ++i) {
            const AVMediaType type = context->streams[i]->codecpar->codec_type;
            if (type == AVMEDIA_TYPE_VIDEO && !hasVideo_) {
                hasVideo_ = true;
                ExamineVideo(static_cast<int>(i));
            } else if (type == AVMEDIA_TYPE_AUDIO && !hasAudio_) {
                hasAudio_ = true;
                ExamineAudio(static_cast<int>(i));
            }
        }
    } catch (...) {
        Close();
        throw;
    }
}

AVCodecContext* TAVProbe::OpenDecoder(int streamIndex) {
    const AVStream* stream = format_->streams[streamIndex];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder) {
        throw EAVError(FormatPrintf("Unsupported codec(id=%d) for input stream %d",
                                    static_cast<int>(stream->codecpar->codec_id), streamIndex));
    }
    media::CodecContextPtr context(avcodec_alloc_context3(decoder));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0 ||
        avcodec_open2(context.get(), decoder, nullptr) < 0) {
        throw EAVError(FormatPrintf("Error while opening codec for input stream %d", streamIndex));
    }
    media::CodecContextPtr& slot =
        stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? videoDecoder_ : audioDecoder_;
    slot = std::move(context);
    return slot.get();
}

void TAVProbe::ExamineVideo(int streamIndex) {
    const AVCodecContext* decoder = OpenDecoder(streamIndex);
    videoCodecName_ = decoder->codec->name;
    width_ = decoder->width;
    height_ = decoder->height;
    videoBitrate_ = decoder->bit_rate;
    frameRate_ = av_q2d(format_->streams[streamIndex]->r_frame_rate);
}

void TAVProbe::ExamineAudio(int streamIndex) {
    const AVCodecContext* decoder = OpenDecoder(streamIndex);
    audioCodecName_ = decoder->codec->name;
    sampleRate_ = decoder->sample_rate;
    channels_ = decoder->ch_layout.nb_channels;
    const int bitsPerSample = av_get_bits_per_sample(decoder->codec_id);
    // Uncompressed formats carry no bit rate of their own; it follows from the sample format.
    audioBitrate_ =
        bitsPerSample != 0 ? int64_t{sampleRate_} * channels_ * bitsPerSample : decoder->bit_rate;
}

namespace probe {

bool IsSourceFile(const std::string& fileName) {
    try {
        TAVProbe probe;
        probe.SetFileName(fileName);
        probe.SetActive(true);
        return probe.HasVideo() || probe.HasAudio();
    } catch (const EAVError&) {
        return false;
    }
}

bool AcceptSourceFile(const std::string& fileName) {
    if (IsSourceFile(fileName)) {
        return true;
    }
    platform::Messages().ShowError(kInvalidSourceMessage);
    return false;
}

}  // namespace probe

}  // namespace tw
