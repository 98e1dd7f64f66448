#include "segments/segment_join.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

extern "C" {
#include <libavutil/opt.h>
}

#include "engine/conversion_run.h"
#include "media/av_ptr.h"
#include "media/library_error.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::segments {

namespace {

media::InputFormatPtr OpenPart(const std::string& path) {
    AVFormatContext* raw = nullptr;
    int result = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    media::InputFormatPtr context(raw);
    if (result >= 0) {
        result = avformat_find_stream_info(context.get(), nullptr);
    }
    if (result < 0) {
        throw EAVError(FormatPrintf("A converted segment cannot be read: %s: %s", path.c_str(),
                                    media::LibraryErrorText(result).c_str()));
    }
    return context;
}

bool IsPicture(const AVStream* stream) {
    return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

AVStream* CopyStream(AVFormatContext* output, const AVStream* from) {
    AVStream* stream = avformat_new_stream(output, nullptr);
    if (!stream || avcodec_parameters_copy(stream->codecpar, from->codecpar) < 0) {
        throw EAVError("Could not alloc stream");
    }
    stream->time_base = from->time_base;
    stream->sample_aspect_ratio = from->sample_aspect_ratio;
    stream->avg_frame_rate = from->avg_frame_rate;
    stream->r_frame_rate = from->r_frame_rate;
    stream->disposition = from->disposition;
    av_dict_copy(&stream->metadata, from->metadata, 0);
    for (int i = 0; i < from->nb_side_data; ++i) {
        const AVPacketSideData& side = from->side_data[i];
        uint8_t* data = av_stream_new_side_data(stream, side.type, side.size);
        if (!data) {
            throw EAVError("no memory");
        }
        std::copy(side.data, side.data + side.size, data);
    }
    return stream;
}

// The packets of one input file, one at a time, for the output streams they are mapped to.
struct PacketSource {
    media::InputFormatPtr context;
    std::vector<int> outputOf;  // per input stream: the output stream, or -1
    media::PacketPtr packet = media::MakePacket();
    bool holding = false;

    // Reads up to the next packet of a mapped stream; false at the end.
    bool Next(const std::string& path) {
        while (true) {
            const int result = av_read_frame(context.get(), packet.get());
            if (result == AVERROR_EOF) {
                return false;
            }
            if (result < 0) {
                throw EAVError(FormatPrintf("A converted segment cannot be read: %s: %s",
                                            path.c_str(), media::LibraryErrorText(result).c_str()));
            }
            if (outputOf[static_cast<size_t>(packet->stream_index)] >= 0) {
                holding = true;
                return true;
            }
            av_packet_unref(packet.get());
        }
    }
};

class Joiner {
public:
    Joiner(const std::vector<JoinedPart>& video, const std::string& rest, const std::string& path,
           const std::string& target, const TAVConvertOptions& options)
        : video_(video), rest_(rest), path_(path) {
        const std::string& forced = options.OutputFormat();
        const AVOutputFormat* format = forced.empty()
                                           ? av_guess_format(nullptr, target.c_str(), nullptr)
                                           : av_guess_format(forced.c_str(), nullptr, nullptr);
        AVFormatContext* raw = nullptr;
        if (!format || avformat_alloc_output_context2(&raw, format, nullptr, path.c_str()) < 0) {
            throw EAVError(
                FormatPrintf("Unable to find a suitable output format for %s", target.c_str()));
        }
        output_.reset(raw);
        output_->max_delay =
            static_cast<int>(std::lround(options.MuxerOptions().MuxMaxDelay() * 1000000.0));
        // The container's own settings among the request's library options.
        for (const std::string& line : options.CodecOptions()) {
            const std::string name(NamePart(line));
            if (output_->priv_data &&
                av_opt_find(output_->priv_data, name.c_str(), nullptr, 0, 0)) {
                av_dict_set(&muxerOptions_, name.c_str(), std::string(ValuePart(line)).c_str(), 0);
            }
        }
    }
    ~Joiner() { av_dict_free(&muxerOptions_); }

    bool Run(const std::function<bool()>& stopRequested) {
        OpenVideoPart(0);
        AVStream* picture = CopyStream(output_.get(), VideoStream(videoSource_));
        pictureIndex_ = picture->index;
        // The target's tags are those the conversion of the first segment wrote.
        av_dict_copy(&output_->metadata, videoSource_.context->metadata, 0);
        for (const char* own : {"encoder", "major_brand", "minor_version", "compatible_brands"}) {
            av_dict_set(&output_->metadata, own, nullptr, 0);
        }
        if (!rest_.empty()) {
            restSource_.context = OpenPart(rest_);
            AVFormatContext* context = restSource_.context.get();
            for (unsigned i = 0; i < context->nb_streams; ++i) {
                const AVStream* stream = context->streams[i];
                const bool wanted = stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO;
                restSource_.outputOf.push_back(wanted ? CopyStream(output_.get(), stream)->index
                                                      : -1);
            }
            CopyChapters(context);
        } else {
            CopyChapters(videoSource_.context.get());
        }
        Open();
        bool videoLeft = NextPicture();
        bool restLeft = !rest_.empty() && restSource_.Next(rest_);
        while (videoLeft || restLeft) {
            if (stopRequested && stopRequested()) {
                return false;
            }
            // The earlier of the two waiting packets goes first.
            bool takeVideo = videoLeft;
            if (videoLeft && restLeft) {
                const AVPacket* p = videoSource_.packet.get();
                const AVPacket* r = restSource_.packet.get();
                const AVStream* rs = restSource_.context->streams[r->stream_index];
                takeVideo = av_compare_ts(Order(p), output_->streams[pictureIndex_]->time_base,
                                          Order(r), rs->time_base) <= 0;
            }
            if (takeVideo) {
                Write(*videoSource_.packet);
                videoLeft = NextPicture();
            } else {
                AVPacket& packet = *restSource_.packet;
                const AVStream* from = restSource_.context->streams[packet.stream_index];
                packet.stream_index =
                    restSource_.outputOf[static_cast<size_t>(packet.stream_index)];
                av_packet_rescale_ts(&packet, from->time_base,
                                     output_->streams[packet.stream_index]->time_base);
                Write(packet);
                restLeft = restSource_.Next(rest_);
            }
        }
        Check(av_write_trailer(output_.get()));
        Check(avio_closep(&output_->pb));
        return true;
    }

private:
    static int64_t Order(const AVPacket* packet) {
        return packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    }

    const AVStream* VideoStream(PacketSource& source) {
        AVFormatContext* context = source.context.get();
        source.outputOf.assign(context->nb_streams, -1);
        for (unsigned i = 0; i < context->nb_streams; ++i) {
            if (IsPicture(context->streams[i])) {
                source.outputOf[i] = 0;
                return context->streams[i];
            }
        }
        throw EAVError(
            FormatPrintf("A converted segment holds no pictures: %s", video_[part_].path.c_str()));
    }

    void OpenVideoPart(size_t part) {
        part_ = part;
        videoSource_.context = OpenPart(video_[part].path);
        const AVStream* stream = VideoStream(videoSource_);
        partTimeBase_ = stream->time_base;
        for (int& index : videoSource_.outputOf) {
            index = index >= 0 ? pictureIndex_ : -1;
        }
    }

    // The next picture of the parts, its times moved into the target's time line.
    bool NextPicture() {
        while (!videoSource_.Next(video_[part_].path)) {
            if (part_ + 1 >= video_.size()) {
                return false;
            }
            OpenVideoPart(part_ + 1);
            const AVRational out = output_->streams[pictureIndex_]->time_base;
            // A part begins where the one before ended when that is within half a picture of
            // where the plan puts it (the rounding of a steady rate); a gap in the source stays.
            const int64_t planned = av_rescale_q(video_[part_].offsetUs, AV_TIME_BASE_Q, out);
            offset_ = planned;
            if (partEnd_ != AV_NOPTS_VALUE && lastDuration_ > 0 &&
                std::llabs(partEnd_ - planned) * 2 <= lastDuration_) {
                offset_ = partEnd_;
            }
        }
        AVPacket& packet = *videoSource_.packet;
        packet.stream_index = pictureIndex_;
        av_packet_rescale_ts(&packet, partTimeBase_, output_->streams[pictureIndex_]->time_base);
        if (packet.pts != AV_NOPTS_VALUE) {
            packet.pts += offset_;
        }
        if (packet.dts != AV_NOPTS_VALUE) {
            packet.dts += offset_;
        }
        if (packet.pts != AV_NOPTS_VALUE && packet.duration > 0) {
            partEnd_ = std::max(partEnd_ == AV_NOPTS_VALUE ? INT64_MIN : partEnd_,
                                packet.pts + packet.duration);
            lastDuration_ = packet.duration;
        }
        return true;
    }

    void CopyChapters(const AVFormatContext* from) {
        if (from->nb_chapters == 0) {
            return;
        }
        output_->chapters =
            static_cast<AVChapter**>(av_calloc(from->nb_chapters, sizeof(AVChapter*)));
        if (!output_->chapters) {
            throw EAVError("no memory");
        }
        for (unsigned i = 0; i < from->nb_chapters; ++i) {
            auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
            if (!chapter) {
                throw EAVError("no memory");
            }
            const AVChapter* source = from->chapters[i];
            chapter->id = source->id;
            chapter->time_base = source->time_base;
            chapter->start = source->start;
            chapter->end = source->end;
            av_dict_copy(&chapter->metadata, source->metadata, 0);
            output_->chapters[output_->nb_chapters++] = chapter;
        }
    }

    void Open() {
        if (const int result = avio_open(&output_->pb, path_.c_str(), AVIO_FLAG_WRITE);
            result < 0) {
            throw engine::ERunFailure("Could not open file", media::LibraryErrorText(result),
                                      engine::ERunFailure::Role::Target, path_);
        }
        Check(avformat_write_header(output_.get(), &muxerOptions_));
    }

    void Write(AVPacket& packet) {
        int64_t& last = lastDts_.try_emplace(packet.stream_index, AV_NOPTS_VALUE).first->second;
        if (packet.dts == AV_NOPTS_VALUE && last != AV_NOPTS_VALUE) {
            // A container without decoding times (Matroska) leaves the first pictures of a part
            // without one; they follow the picture before, as in a stream never cut.
            packet.dts = last + std::max<int64_t>(1, packet.duration);
        }
        if (packet.dts != AV_NOPTS_VALUE) {
            if (last != AV_NOPTS_VALUE && packet.dts <= last) {
                // Never seen with parts of one plan; a muxer would refuse the packet.
                packet.dts = last + 1;
                if (packet.pts != AV_NOPTS_VALUE && packet.pts < packet.dts) {
                    packet.pts = packet.dts;
                }
            }
            last = packet.dts;
        }
        Check(av_interleaved_write_frame(output_.get(), &packet));
    }

    void Check(int result) {
        if (result < 0) {
            throw engine::ERunFailure("Error writing the joined target",
                                      media::LibraryErrorText(result),
                                      engine::ERunFailure::Role::Target, path_);
        }
    }

    const std::vector<JoinedPart>& video_;
    const std::string& rest_;
    const std::string& path_;
    media::OutputFormatPtr output_;
    AVDictionary* muxerOptions_ = nullptr;
    PacketSource videoSource_;
    PacketSource restSource_;
    size_t part_ = 0;
    int pictureIndex_ = 0;
    AVRational partTimeBase_{1, 1};
    int64_t offset_ = 0;
    int64_t partEnd_ = AV_NOPTS_VALUE;
    int64_t lastDuration_ = 0;
    std::map<int, int64_t> lastDts_;
};

}  // namespace

bool PartIsWhole(const std::string& path, int64_t size) {
    std::error_code error;
    if (static_cast<int64_t>(std::filesystem::file_size(path, error)) != size || error) {
        return false;
    }
    try {
        OpenPart(path);
        return true;
    } catch (const EAVError&) {
        return false;
    }
}

bool JoinSegments(const std::vector<JoinedPart>& video, const std::string& rest,
                  const std::string& path, const std::string& target,
                  const TAVConvertOptions& options, const std::function<bool()>& stopRequested) {
    if (video.empty()) {
        throw EAVError("Nothing to join");
    }
    Joiner joiner(video, rest, path, target, options);
    return joiner.Run(stopRequested);
}

}  // namespace tw::segments
