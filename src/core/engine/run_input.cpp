// Input side of a run: stream maps, library options, forced formats, opening the inputs.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "engine/black_bar_detection.h"
#include "engine/conversion_run.h"
#include "engine/picture_clock.h"
#include "media/display_rotation.h"
#include "media/library_error.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/settings_xml.h"

namespace tw::engine {

namespace {

// No container counts time in steps as long as this; a longer one comes from damage.
constexpr double kLongestTimeBaseSeconds = 3600.0;

int ToInt(std::string_view text) {
    text = Trim(text);
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() || text.empty()) {
        throw EAVError(FormatPrintf("'%.*s' is not a valid integer value",
                                    static_cast<int>(text.size()), text.data()));
    }
    return value;
}

// Whether the analysis found what decoding a picture or sound stream needs.
bool ParametersKnown(const AVCodecParameters& par) {
    switch (par.codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            return par.sample_rate > 0 && par.ch_layout.nb_channels > 0;
        case AVMEDIA_TYPE_VIDEO:
            return par.width > 0 && par.height > 0;
        default:
            return true;
    }
}

// Whether the request speaks of video itself: an encoder, a copy, filters, or any other video
// setting than the switches for whether there is video and how it fits a frame.
bool AsksForVideo(const TAVConvertOptions& options) {
    const TVideoOptions& video = options.VideoOptions();
    TVideoOptions asked;
    asked.Assign(video);
    asked.SetVideoDisable(false);
    asked.SetKeepPictureShape(true);
    return WriteSettingsXml(asked) != WriteSettingsXml(TVideoOptions()) ||
           video.FrameRateChosen() || video.PixelFormat >= 0 ||
           !options.FilterOptions().VideoFilters().empty();
}

// A stream's own length (µs) as its header gives it, in the stream's clock or as a Matroska
// track's "DURATION" tag (H:MM:SS.fraction); INT64_MAX when it gives none.
int64_t StatedDuration(const AVStream* stream) {
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        return av_rescale_q(stream->duration, stream->time_base, AV_TIME_BASE_Q);
    }
    const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "DURATION", nullptr, 0);
    int hours = 0;
    int minutes = 0;
    double seconds = 0;
    if (tag && std::sscanf(tag->value, "%d:%d:%lf", &hours, &minutes, &seconds) == 3 &&
        std::isfinite(seconds) && hours >= 0 && minutes >= 0 && seconds >= 0) {
        return std::llround(((hours * 60.0 + minutes) * 60.0 + seconds) * AV_TIME_BASE);
    }
    return INT64_MAX;
}

// Chapters a stream object knows of (a DVD title's) as the input's own, on the input's clock
// from origin, so that they reach the targets as a file's chapters do.
void AddStreamChapters(AVFormatContext* context, const std::vector<media::ChapterMark>& marks,
                       int64_t origin) {
    for (size_t i = 0; i < marks.size(); ++i) {
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!chapter) {
            throw EAVError("no memory");
        }
        chapter->id = static_cast<int64_t>(i) + 1;
        chapter->time_base = AV_TIME_BASE_Q;
        chapter->start = origin + marks[i].startUs;
        chapter->end = origin + marks[i].endUs;
        // The context frees its chapters, with their metadata, when it closes.
        if (av_dynarray_add_nofree(&context->chapters,
                                   reinterpret_cast<int*>(&context->nb_chapters), chapter) < 0) {
            av_free(chapter);
            throw EAVError("no memory");
        }
        av_dict_set(&chapter->metadata, "title", marks[i].title.c_str(), 0);
    }
}

}  // namespace

ConversionRun::ConversionRun(RunHost& host, TAVConvertOptions& options, const TStringList& inputs,
                             const TStringList& outputs)
    : host_(host),
      options_(options),
      inputNames_(inputs),
      outputNames_(outputs),
      libraryOptions_(options.ScalerFlags),
      packet_(media::MakePacket()),
      frame_(media::MakeFrame()),
      filtered_(media::MakeFrame()),
      audioFrame_(media::MakeFrame()),
      encoded_(media::MakePacket()),
      copied_(media::MakePacket()) {}

ConversionRun::~ConversionRun() {
    // Encoders point at statistics text this object holds; detach it before they go.
    for (auto& ost : outputStreams_) {
        if (ost->encoder) {
            ost->encoder->stats_in = nullptr;
        }
        av_channel_layout_uninit(&ost->resamplerInLayout);
    }
    av_channel_layout_uninit(&audioLayout_);
}

void ConversionRun::Open() {
    const TVideoOptions& video = options_.VideoOptions();
    requestedPixelFormat_ = video.PixelFormat;
    requestedAspect_ = video.FrameAspectRatio();
    frameRateChosen_ = video.FrameRateChosen();
    requestedFrameRate_.Assign(video.FrameRate());
    videoAskedFor_ = AsksForVideo(options_);

    SetupStreamMaps();
    ApplyCodecOptions();
    ResolveFormats();
    for (int i = 0; i < static_cast<int>(inputNames_.size()); ++i) {
        OpenInput(i);
    }
    SetupTimestampScales();
    if (!inputFiles_.empty() && !AnyInputHas(AVMEDIA_TYPE_VIDEO) &&
        !AnyInputHas(AVMEDIA_TYPE_AUDIO)) {
        throw EAVError("The source has no video or audio to convert");
    }
    RefuseOutputsThatAreInputs();
    for (int i = 0; i < static_cast<int>(outputNames_.size()); ++i) {
        OpenOutput(i);
    }
}

void ConversionRun::RefuseOutputsThatAreInputs() const {
    // Writing over a source would destroy it; compare the files themselves, not their names.
    for (const std::string& output : outputNames_) {
        for (const std::string& input : inputNames_) {
            std::error_code error;
            if (std::filesystem::equivalent(output, input, error) && !error) {
                throw EAVError(FormatPrintf(
                    "The output file %s is one of the input files; choose another name",
                    output.c_str()));
            }
        }
    }
}

void ConversionRun::SetupStreamMaps() {
    streamMaps_.clear();
    for (const std::string& line : options_.StreamMaps()) {
        StreamMapEntry entry;
        entry.file = ToInt(NamePart(line));
        entry.stream = ToInt(ValuePart(line));
        entry.syncFile = entry.file;
        entry.syncStream = entry.stream;
        streamMaps_.push_back(entry);
    }
}

void ConversionRun::ApplyCodecOptions() {
    if (options_.AudioOptions().Bitrate() != 0) {
        libraryOptions_.SetLibraryOption("ab", std::to_string(options_.AudioOptions().Bitrate()));
    }
    if (options_.VideoOptions().Bitrate() != 0) {
        libraryOptions_.SetLibraryOption("b", std::to_string(options_.VideoOptions().Bitrate()));
    }
    for (const std::string& line : options_.CodecOptions()) {
        libraryOptions_.SetLibraryOption(std::string(NamePart(line)), std::string(ValuePart(line)));
    }
}

void ConversionRun::ResolveFormats() {
    const std::string& input = options_.InputFormat();
    const std::string& output = options_.OutputFormat();
    if (input.empty() && output.empty()) {
        return;
    }
    forcedInputFormat_ = input.empty() ? nullptr : av_find_input_format(input.c_str());
    outputFormat_ = output.empty() ? nullptr : av_guess_format(output.c_str(), nullptr, nullptr);
    if (!forcedInputFormat_ && !outputFormat_) {
        throw EAVError(
            FormatPrintf("Unknown input %s or Output format %s", input.c_str(), output.c_str()));
    }
}

AVCodecID ConversionRun::FindCodecId(const std::string& name, AVMediaType type, bool encoder) {
    if (name.empty()) {
        return AV_CODEC_ID_NONE;
    }
    const AVCodec* codec = encoder ? avcodec_find_encoder_by_name(name.c_str())
                                   : avcodec_find_decoder_by_name(name.c_str());
    if (!codec) {
        throw EAVError("Unknown Codec Name");
    }
    if (codec->type != type) {
        throw EAVError("Invalid codec type");
    }
    return codec->id;
}

void ConversionRun::OpenInput(int index) {
    TW_ASSERT(index >= 0 && index < static_cast<int>(inputNames_.size()));
    TVideoOptions& video = options_.VideoOptions();
    const std::string& name = inputNames_[static_cast<size_t>(index)];

    // A "stream:N" input reads a registered stream object, taken over here and freed with the
    // input.
    media::StreamInput streamInput;
    if (media::IsStreamUrl(name)) {
        streamInput = media::OpenStreamUrl(name);
    }
    media::FormatContextPtr pending(avformat_alloc_context());
    if (!pending) {
        throw EAVError("Could not open file:-12!");
    }
    AVFormatContext* raw = pending.get();
    // Parameters for inputs whose format cannot describe itself (raw streams, devices).
    AVDictionary* parameters = nullptr;
    if (forcedInputFormat_) {
        av_dict_set_int(&parameters, "sample_rate", 44100, 0);
        av_dict_set_int(&parameters, "channels", 1, 0);
        if (video.FrameRate().num() > 0 && video.FrameRate().den() > 0) {
            av_dict_set(
                &parameters, "framerate",
                FormatPrintf("%d/%d", video.FrameRate().num(), video.FrameRate().den()).c_str(), 0);
        }
        if (frameWidth_ > 0 && frameHeight_ > 0) {
            av_dict_set(&parameters, "video_size",
                        FormatPrintf("%dx%d", frameWidth_, frameHeight_).c_str(), 0);
        }
        if (video.PixelFormat >= 0) {
            av_dict_set(&parameters, "pixel_format",
                        av_get_pix_fmt_name(static_cast<AVPixelFormat>(video.PixelFormat)), 0);
        }
        av_dict_set_int(&parameters, "channel", options_.GrabOptions().VideoChannel(), 0);
        if (!options_.GrabOptions().VideoStandard().empty()) {
            av_dict_set(&parameters, "standard", options_.GrabOptions().VideoStandard().c_str(), 0);
        }
    }
    media::DictionaryPtr parameterOwner(parameters);
    libraryOptions_.ApplyLibraryOptions(raw, libraryOptions_.FormatDefaults(),
                                        LibraryOptions::kFormat);

    const AVCodecID videoDecoder =
        FindCodecId(video.DecoderVideoCodecName(), AVMEDIA_TYPE_VIDEO, false);
    const AVCodecID audioDecoder =
        FindCodecId(options_.AudioOptions().DecoderAudioCodecName(), AVMEDIA_TYPE_AUDIO, false);
    const AVCodecID subtitleDecoder =
        FindCodecId(options_.SubtitleOptions().SubtitleCodecName(), AVMEDIA_TYPE_SUBTITLE, false);
    raw->video_codec_id = videoDecoder;
    raw->audio_codec_id = audioDecoder;
    raw->subtitle_codec_id = subtitleDecoder;
    if (videoDecoder != AV_CODEC_ID_NONE) {
        raw->video_codec = avcodec_find_decoder(videoDecoder);
    }
    if (audioDecoder != AV_CODEC_ID_NONE) {
        raw->audio_codec = avcodec_find_decoder(audioDecoder);
    }
    if (subtitleDecoder != AV_CODEC_ID_NONE) {
        raw->subtitle_codec = avcodec_find_decoder(subtitleDecoder);
    }
    raw->flags |= AVFMT_FLAG_NONBLOCK;

    if (streamInput) {
        raw->pb = streamInput.IoContext();
        raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    AVDictionary* openOptions = parameterOwner.release();
    // From here the library owns the context, and frees it itself when opening fails.
    pending.release();
    host_.WatchLibraryErrors();
    int result = avformat_open_input(&raw, name.c_str(), forcedInputFormat_, &openOptions);
    av_dict_free(&openOptions);
    if (result < 0) {
        throw SourceOpenFailure(result, LibraryReason(result), name);
    }
    media::InputFormatPtr context(raw);

    const int program = options_.Engine.ProgramNumber;
    if (program != 0) {
        for (unsigned i = 0; i < context->nb_streams; ++i) {
            context->streams[i]->discard = AVDISCARD_ALL;
        }
        bool found = false;
        for (unsigned i = 0; i < context->nb_programs; ++i) {
            AVProgram* p = context->programs[i];
            if (p->id == program) {
                for (unsigned k = 0; k < p->nb_stream_indexes; ++k) {
                    context->streams[p->stream_index[k]]->discard = AVDISCARD_DEFAULT;
                }
                found = true;
            } else {
                p->discard = AVDISCARD_ALL;
            }
        }
        if (!found) {
            throw EAVError("Specified program id not found");
        }
    }

    host_.WatchLibraryErrors();
    result = avformat_find_stream_info(context.get(), nullptr);
    if (result < 0) {
        throw ERunFailure(FormatPrintf("Could not find codec parameters:%d!", result),
                          LibraryReason(result), ERunFailure::Role::Source, name);
    }

    // A source that holds more than is wanted (a DVD chapter range, whose first and last blocks
    // carry sound of the chapters around it) says where its part begins and how long it lasts.
    const std::optional<media::PresentationSpan> span =
        streamInput ? streamInput.Stream()->WantedSpan() : std::nullopt;
    if (streamInput && context->nb_chapters == 0) {
        const int64_t origin = span                                    ? span->startUs
                               : context->start_time != AV_NOPTS_VALUE ? context->start_time
                                                                       : 0;
        AddStreamChapters(context.get(), streamInput.Stream()->Chapters(), origin);
    }
    InputFile file;
    int64_t seekPosition = options_.StartTime();
    if (span) {
        seekPosition += span->startUs;
        file.trimStart = true;
        file.lengthUs = std::max<int64_t>(0, span->durationUs - options_.StartTime());
    } else if (context->start_time != AV_NOPTS_VALUE) {
        seekPosition += context->start_time;
    }
    file.trimStart = file.trimStart || options_.StartTime() > 0;
    // A length guessed from the bit rate is too rough to hold the source to.
    if (span) {
        file.statedDurationUs = span->durationUs;
    } else if (context->duration != AV_NOPTS_VALUE && context->duration > 0 &&
               context->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
        file.statedDurationUs = context->duration;
    }
    if (options_.StartTime() > 0 && options_.StartTime() >= file.statedDurationUs) {
        // Nothing would be converted; the target is not even opened.
        throw ERunFailure("The cut starts at or past the end of the source",
                          FormatPrintf("it starts at %.1f s, the source lasts %.1f s",
                                       static_cast<double>(options_.StartTime()) / AV_TIME_BASE,
                                       static_cast<double>(file.statedDurationUs) / AV_TIME_BASE),
                          ERunFailure::Role::Source, name);
    }
    if (context->pb) {
        file.bytesAtOpen = avio_size(context->pb);
    }
    runStartTime_ = options_.StartTime();
    if (runStartTime_ != 0) {
        // A disc title is read on from its beginning, its pictures before the start decoded
        // and dropped: the library's search by time probes it block by block at places its
        // navigation does not always reach, and a missed probe left nothing to read.
        if (!streamInput) {
            av_seek_frame(context.get(), -1, seekPosition, AVSEEK_FLAG_BACKWARD);
        }
        runStartTime_ = 0;
    }
    if (span) {
        host_.SetDuration(static_cast<double>(span->durationUs) / AV_TIME_BASE);
    } else if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
        host_.SetDuration(static_cast<double>(context->duration) / AV_TIME_BASE);
    }

    file.firstStream = TotalInputStreams();
    file.streamCount = static_cast<int>(context->nb_streams);
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        AVStream* st = context->streams[i];
        auto ist = std::make_unique<InputStream>();
        ist->fileIndex = index;
        ist->streamIndex = static_cast<int>(i);
        ist->stream = st;
        const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
        ist->decoder.reset(avcodec_alloc_context3(decoder));
        if (!ist->decoder || avcodec_parameters_to_context(ist->decoder.get(), st->codecpar) < 0) {
            throw EAVError("no memory");
        }
        AVCodecContext* dec = ist->decoder.get();
        dec->pkt_timebase = st->time_base;
        ist->statedDurationUs = StatedDuration(st);
        dec->thread_count = st->codecpar->codec_id == AV_CODEC_ID_SVQ3 ? 1 : options_.ThreadCount();

        // A stream the file declares but that brought no data to the analysis (a broadcast
        // program listing a sound it never sends) cannot be decoded or encoded: it is left
        // out, as subtitles no encoder can take are. So is one whose clock ticks are hours long
        // (a damaged header): holding its pictures for their times would write without end.
        const char* unusable = nullptr;
        if (!ParametersKnown(*st->codecpar)) {
            unusable = "carries no data that tells its format";
        } else if (av_q2d(st->time_base) > kLongestTimeBaseSeconds) {
            unusable = "counts its time in steps of hours, which cannot be right";
        }
        if (unusable) {
            ist->usable = false;
            st->discard = AVDISCARD_ALL;
            host_.Log(AV_LOG_WARNING,
                      FormatPrintf("Stream #%d.%u (%s) of %s %s; it is left out.", index, i,
                                   av_get_media_type_string(st->codecpar->codec_type), name.c_str(),
                                   unusable));
            inputStreams_.push_back(std::move(ist));
            continue;
        }
        switch (st->codecpar->codec_type) {
            case AVMEDIA_TYPE_AUDIO:
                libraryOptions_.ApplyLibraryOptions(
                    dec, libraryOptions_.CodecDefaults(AVMEDIA_TYPE_AUDIO),
                    LibraryOptions::kAudioDecoder);
                av_channel_layout_uninit(&audioLayout_);
                av_channel_layout_copy(&audioLayout_, &dec->ch_layout);
                audioChannels_ = dec->ch_layout.nb_channels;
                audioSampleRate_ = dec->sample_rate;
                audioSampleFormat_ = dec->sample_fmt;
                if (options_.AudioOptions().AudioDisable()) {
                    st->discard = AVDISCARD_ALL;
                }
                break;
            case AVMEDIA_TYPE_SUBTITLE:
                if (options_.SubtitleOptions().SubtitleDisable()) {
                    st->discard = AVDISCARD_ALL;
                }
                break;
            case AVMEDIA_TYPE_VIDEO: {
                libraryOptions_.ApplyLibraryOptions(
                    dec, libraryOptions_.CodecDefaults(AVMEDIA_TYPE_VIDEO),
                    LibraryOptions::kVideoDecoder);
                ist->rotation = media::DisplayRotation(st);
                frameHeight_ = dec->height;
                frameWidth_ = dec->width;
                if (dec->lowres > 0) {
                    frameHeight_ >>= dec->lowres;
                    frameWidth_ >>= dec->lowres;
                }
                // A picture shown turned a quarter is converted upright: the output is as wide
                // as the source is high.
                const bool quarterTurn = ist->rotation == 90 || ist->rotation == 270;
                if (quarterTurn) {
                    std::swap(frameWidth_, frameHeight_);
                }
                const int shownWidth = frameWidth_;
                const int shownHeight = frameHeight_;
                // A cover picture is no part of the film.
                if (!(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
                    crop_ = ResolveCrop(name, dec->pix_fmt, shownWidth, shownHeight);
                    frameWidth_ -= crop_.left + crop_.right;
                    frameHeight_ -= crop_.top + crop_.bottom;
                }
                // The source's facts describe the output unless the request chose them.
                if (requestedAspect_ == 0) {
                    const AVRational sar = st->sample_aspect_ratio.num != 0
                                               ? st->sample_aspect_ratio
                                               : dec->sample_aspect_ratio;
                    double aspect = av_q2d(sar);
                    if (dec->height > 0) {
                        aspect = static_cast<double>(dec->width) / dec->height * aspect;
                    }
                    if (quarterTurn && aspect > 0) {
                        aspect = 1 / aspect;
                    }
                    // What is left of the picture keeps its pixels' shape.
                    if (frameHeight_ > 0 && shownWidth > 0) {
                        aspect *= static_cast<double>(frameWidth_) / frameHeight_ * shownHeight /
                                  shownWidth;
                    }
                    video.SetFrameAspectRatio(static_cast<float>(aspect));
                }
                if (requestedPixelFormat_ < 0) {
                    video.PixelFormat = dec->pix_fmt;
                }
                const AVRational containerRate =
                    st->r_frame_rate.num > 0 ? st->r_frame_rate : st->avg_frame_rate;
                const AVRational codecRate = st->avg_frame_rate;
                if (containerRate.num > 0 && codecRate.num > 0 &&
                    av_cmp_q(containerRate, codecRate) != 0) {
                    host_.Log(AV_LOG_ERROR,
                              FormatPrintf("Seems stream %d codec frame rate differs from "
                                           "container frame rate: %2.2f (%d/%d) -> %2.2f (%d/%d)",
                                           static_cast<int>(i), av_q2d(codecRate), codecRate.num,
                                           codecRate.den, av_q2d(containerRate), containerRate.num,
                                           containerRate.den));
                }
                if (const AVRational rate = PlausibleFrameRate(context.get(), st);
                    !frameRateChosen_ && rate.num > 0) {
                    video.FrameRate().Setnum(rate.num);
                    video.FrameRate().Setden(rate.den);
                }
                if (video.VideoDisable()) {
                    st->discard = AVDISCARD_ALL;
                } else if (options_.Engine.VideoDiscard != 0) {
                    st->discard = static_cast<AVDiscard>(options_.Engine.VideoDiscard);
                }
                break;
            }
            default:
                break;
        }
        inputStreams_.push_back(std::move(ist));
    }

    file.timestampOffset =
        options_.Engine.InputTimestampOffset - (options_.Engine.CopyTimestamps ? 0 : seekPosition);
    file.streamInput = std::move(streamInput);
    file.context = std::move(context);
    inputFiles_.push_back(std::move(file));
}

engine::CropArea ConversionRun::ResolveCrop(const std::string& name, int pixelFormat, int width,
                                            int height) {
    const std::string& text = options_.VideoOptions().Crop();
    std::optional<engine::CropArea> area;
    if (Trim(text) == engine::kAutoCrop) {
        if (media::IsStreamUrl(name)) {
            // A disc title is read once, front to back: it cannot be looked through first.
            host_.Log(AV_LOG_WARNING, "Black bars are not looked for in a disc title");
            return {};
        }
        std::string reason;
        area = engine::DetectBlackBars(name, &reason);
        if (!area) {
            host_.Log(AV_LOG_WARNING, "No black bars looked for: " + reason);
            return {};
        }
    } else {
        area = engine::ParseCropArea(Trim(text));
        if (!area) {
            throw ERunFailure("Invalid crop " + text,
                              "give the rows and columns to cut as top:bottom:left:right, or auto");
        }
    }
    const std::optional<engine::CropArea> fitted =
        engine::FitCropArea(*area, width, height, pixelFormat);
    if (!fitted) {
        throw ERunFailure("Invalid crop " + engine::CropAreaText(*area),
                          FormatPrintf("it leaves nothing of the %dx%d picture", width, height));
    }
    if (!fitted->Empty()) {
        host_.Log(AV_LOG_INFO, FormatPrintf("Cropping %s (top:bottom:left:right) off %dx%d",
                                            engine::CropAreaText(*fitted).c_str(), width, height));
    }
    return *fitted;
}

void ConversionRun::SetupTimestampScales() {
    for (const auto& entry : options_.Engine.TimestampScales) {
        if (entry.file < 0 || entry.file >= static_cast<int>(inputFiles_.size())) {
            continue;
        }
        const InputFile& file = inputFiles_[static_cast<size_t>(entry.file)];
        if (entry.stream >= 0 && entry.stream < file.streamCount) {
            inputStreams_[static_cast<size_t>(file.firstStream + entry.stream)]->timestampScale =
                entry.scale;
        }
    }
}

int ConversionRun::TotalInputStreams() const {
    return static_cast<int>(inputStreams_.size());
}

bool ConversionRun::AnyInputHas(AVMediaType type) const {
    for (const auto& ist : inputStreams_) {
        if (ist->usable && ist->stream->codecpar->codec_type == type) {
            return true;
        }
    }
    return false;
}

std::string ERunFailure::Text() const {
    const std::string message = what();
    std::string text = reason_.empty() ? message : message + ":" + reason_;
    if (role_ != Role::None && !file_.empty() && message.find(file_) == std::string::npos) {
        text +=
            FormatPrintf(" (%s: %s)", role_ == Role::Source ? "source" : "target", file_.c_str());
    }
    return text;
}

ERunFailure SourceOpenFailure(int code, std::string reason, const std::string& name) {
    return ERunFailure(FormatPrintf("Could not open file:%d!", code), std::move(reason),
                       ERunFailure::Role::Source, name);
}

std::string ConversionRun::LibraryReason(int code) const {
    std::string line = host_.WatchedLibraryError();
    return line.empty() ? media::LibraryErrorText(code) : line;
}

int64_t ConversionRun::InputSize() const {
    if (inputFiles_.empty() || !inputFiles_[0].context->pb) {
        return 0;
    }
    const int64_t size = avio_size(inputFiles_[0].context->pb);
    return size < 0 ? 0 : size;
}

}  // namespace tw::engine
