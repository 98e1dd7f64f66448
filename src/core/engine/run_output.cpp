// Output side of a run: container format, streams, encoders and their parameters.
#include <strings.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "engine/conversion_run.h"
#include "engine/image_sequence_name.h"
#include "engine/picture_clock.h"
#include "engine/track_choice.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::engine {

namespace fs = std::filesystem;

namespace {

AVRational NearestRatio(double value) {
    if (!(value > 0) || !std::isfinite(value)) {
        return AVRational{0, 1};
    }
    return av_d2q(value, 255);
}

bool IsTextSubtitle(AVCodecID id) {
    const AVCodecDescriptor* d = avcodec_descriptor_get(id);
    return d && (d->props & AV_CODEC_PROP_TEXT_SUB);
}

bool IsBitmapSubtitle(AVCodecID id) {
    const AVCodecDescriptor* d = avcodec_descriptor_get(id);
    return d && (d->props & AV_CODEC_PROP_BITMAP_SUB);
}

// Audio containers whose picture codec is only for a cover picture: a moving video stream has
// no place in them, so they get none unless one is asked for.
bool PictureIsCoverArtOnly(const AVOutputFormat* format) {
    const std::string name = format->name;
    return name == "mp3" || name == "flac";
}

// Targets named like sound files: they get no moving picture unless the request asks for one,
// even where their container could hold it (an .m4a is an MP4, an .ogg could carry Theora).
bool NamedLikeAudio(const std::string& name) {
    static const char* const kAudioExtensions[] = {"m4a", "mka", "oga", "ogg",  "opus",
                                                   "mp3", "aac", "wav", "flac", "wma"};
    const std::string extension = fs::path(name).extension().string();
    for (const char* audio : kAudioExtensions) {
        if (extension.size() == std::strlen(audio) + 1 &&
            strcasecmp(extension.c_str() + 1, audio) == 0) {
            return true;
        }
    }
    return false;
}

// Containers that store a cover picture beside the sound.
bool HoldsCoverArt(const AVOutputFormat* format) {
    static const char* const kCoverFormats[] = {"mp3", "flac", "ipod", "mp4", "mov"};
    for (const char* name : kCoverFormats) {
        if (std::strcmp(format->name, name) == 0) {
            return true;
        }
    }
    return false;
}

// size rounded to a whole number of chroma samples of format (the nearer, downward on a tie).
int AlignToChroma(int size, AVPixelFormat format, bool horizontal) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (!descriptor || size <= 0) {
        return size;
    }
    const int step = 1 << (horizontal ? descriptor->log2_chroma_w : descriptor->log2_chroma_h);
    const int down = size / step * step;
    const int aligned = size - down > step / 2 ? down + step : down;
    return aligned > 0 ? aligned : step;
}

// The muxers that write a single sound track.
bool HoldsSeveralAudioTracks(const AVOutputFormat* format) {
    static const char* const kOneTrack[] = {"mp3",  "wav", "w64", "adts",   "flac", "ac3", "eac3",
                                            "aiff", "amr", "au",  "flv",    "mp2",  "dts", "truehd",
                                            "wv",   "caf", "gif", "image2", "oga",  "spx", "opus"};
    for (const char* name : kOneTrack) {
        if (std::string_view(format->name) == name) {
            return false;
        }
    }
    return true;
}

// The subtitle format a container gets when the request names no encoder: its own, or, for
// subtitle tracks chosen by the request, the timed text MP4 and QuickTime carry.
AVCodecID SubtitleCodecOf(const AVOutputFormat* format, const TSubtitleOptions& subtitle) {
    if (format->subtitle_codec != AV_CODEC_ID_NONE) {
        return format->subtitle_codec;
    }
    const std::optional<engine::TrackChoice> choice =
        engine::ParseTrackChoice(subtitle.SubtitleTracks());
    const bool chosen = choice && (choice->kind == engine::TrackChoice::Kind::All ||
                                   choice->kind == engine::TrackChoice::Kind::Listed);
    if (chosen && avformat_query_codec(format, AV_CODEC_ID_MOV_TEXT, FF_COMPLIANCE_NORMAL) == 1) {
        return AV_CODEC_ID_MOV_TEXT;
    }
    return AV_CODEC_ID_NONE;
}

void SetLanguage(AVStream* stream, const std::string& language) {
    if (!Trim(language).empty()) {
        av_dict_set(&stream->metadata, "language", language.c_str(), 0);
    }
}

}  // namespace

void ConversionRun::PrepareOutputParameters() {
    const TAudioOptions& audio = options_.AudioOptions();
    const TVideoOptions& video = options_.VideoOptions();
    if (audio.AudioChannels() != 0) {
        audioChannels_ = audio.AudioChannels();
    }
    if (audio.AudioSampleRate() != 0) {
        audioSampleRate_ = audio.AudioSampleRate();
    }
    if (audio.AudioSampleFmt() != sfAuto) {
        audioSampleFormat_ = static_cast<int>(audio.AudioSampleFmt()) - 1;
    }
    if (video.FrameWidth() != 0) {
        frameWidth_ = video.FrameWidth();
    }
    if (video.FrameHeight() != 0) {
        frameHeight_ = video.FrameHeight();
    }
    if (frameWidth_ < 0 || frameHeight_ < 0) {
        host_.ShowError("crop dimensions are outside the range of the original image.");
    }
}

void ConversionRun::OpenOutput(int index) {
    const std::string& name = outputNames_[static_cast<size_t>(index)];
    PrepareOutputParameters();

    if (!outputFormat_) {
        outputFormat_ = av_guess_format(nullptr, name.c_str(), nullptr);
        if (!outputFormat_) {
            // The library gives no reason: the name's extension is all it goes by.
            const std::string extension = fs::path(name).extension().string();
            throw ERunFailure(
                FormatPrintf("Unable to find a suitable output format for %s", name.c_str()),
                extension.size() > 1
                    ? FormatPrintf("no known container format is written as %s files",
                                   extension.c_str())
                    : "the name has no extension to tell the container format by",
                ERunFailure::Role::Target, name);
        }
    }
    // One image per frame for image targets named like a single image.
    std::string muxName = name;
    int startNumber = -1;
    if (std::string(outputFormat_->name) == "image2" && !av_filename_number_test(name.c_str())) {
        const NumberedName numbered = ImageSequencePattern(name);
        muxName = numbered.pattern;
        startNumber = numbered.startNumber;
    }
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, outputFormat_, nullptr, muxName.c_str()) < 0 || !raw) {
        throw EAVError(
            FormatPrintf("Unable to find a suitable output format for %s", name.c_str()));
    }
    OutputFile file;
    file.context.reset(raw);
    outputFiles_.push_back(std::move(file));
    AVFormatContext* context = raw;

    const TVideoOptions& video = options_.VideoOptions();
    const TAudioOptions& audio = options_.AudioOptions();
    const TSubtitleOptions& subtitle = options_.SubtitleOptions();
    const bool defaultVideo = outputFormat_->video_codec != AV_CODEC_ID_NONE &&
                              !PictureIsCoverArtOnly(outputFormat_) &&
                              (videoAskedFor_ || !NamedLikeAudio(name));
    bool useVideo =
        defaultVideo || video.VideoStreamCopy() || !video.EncoderVideoCodecName().empty();
    bool useAudio = outputFormat_->audio_codec != AV_CODEC_ID_NONE || audio.AudioStreamCopy() ||
                    !audio.EncoderAudioCodecName().empty();
    bool useSubtitle = SubtitleCodecOf(outputFormat_, subtitle) != AV_CODEC_ID_NONE ||
                       subtitle.SubtitleStreamCopy() || !subtitle.SubtitleCodecName().empty();
    if (!inputFiles_.empty()) {
        useVideo = useVideo && AnyInputHas(AVMEDIA_TYPE_VIDEO);
        useAudio = useAudio && AnyInputHas(AVMEDIA_TYPE_AUDIO);
        useSubtitle = useSubtitle && AnyInputHas(AVMEDIA_TYPE_SUBTITLE);
    }
    if (video.VideoDisable()) {
        useVideo = false;
    }
    if (audio.AudioDisable()) {
        useAudio = false;
    }
    if (subtitle.SubtitleDisable()) {
        useSubtitle = false;
    }
    if (useVideo) {
        AddVideoStream(index);
    }
    const auto noTrack = [](const std::string& text) {
        const std::optional<engine::TrackChoice> choice = engine::ParseTrackChoice(text);
        return choice && choice->kind == engine::TrackChoice::Kind::None;
    };
    useAudio = useAudio && !noTrack(audio.AudioTracks());
    useSubtitle = useSubtitle && !noTrack(subtitle.SubtitleTracks());
    if (useAudio) {
        AddChosenStreams(index, AVMEDIA_TYPE_AUDIO, audio.AudioTracks());
    }
    if (useSubtitle) {
        AddChosenStreams(index, AVMEDIA_TYPE_SUBTITLE, subtitle.SubtitleTracks());
    }
    if (!useVideo && streamMaps_.empty()) {
        AddCoverArt(index);
    }

    // The source's own tags (title, artist, album …) come along; the request's lines win.
    if (!inputFiles_.empty()) {
        av_dict_copy(&context->metadata, inputFiles_[0].context->metadata, 0);
    }
    for (const std::string& line : options_.MetaData()) {
        av_dict_set(&context->metadata, std::string(NamePart(line)).c_str(),
                    std::string(ValuePart(line)).c_str(), 0);
    }

    if ((outputFormat_->flags & AVFMT_NEEDNUMBER) && !av_filename_number_test(muxName.c_str())) {
        throw EAVError("unexpected error");
    }
    // Missing folders are made, also for formats that open their own files (image sequences);
    // URLs with a protocol are left to the library.
    const fs::path parent = fs::path(name).parent_path();
    if (!parent.empty() && name.find("://") == std::string::npos) {
        std::error_code ignored;
        fs::create_directories(parent, ignored);
    }
    if (!(outputFormat_->flags & AVFMT_NOFILE)) {
        host_.WatchLibraryErrors();
        if (const int result = avio_open(&context->pb, muxName.c_str(), AVIO_FLAG_WRITE);
            result < 0) {
            throw ERunFailure("Could not open file", LibraryReason(result),
                              ERunFailure::Role::Target, name);
        }
        if (TargetFile opened; TargetFile::Identify(muxName, &opened)) {
            outputFiles_.back().written = opened;
        }
    }

    context->max_delay =
        static_cast<int>(std::lround(options_.MuxerOptions().MuxMaxDelay() * 1000000.0));
    OutputFile& stored = outputFiles_.back();
    AVDictionary* muxerOptions = nullptr;
    // Only the program-stream muxers know a preload; the others leave the entry unused.
    av_dict_set_int(&muxerOptions, "preload",
                    std::lround(options_.MuxerOptions().MuxPreload() * 1000000.0), 0);
    for (const auto& [option, value] : libraryOptions_.MuxerOptions()) {
        av_dict_set(&muxerOptions, option.c_str(), value.c_str(), 0);
    }
    if (startNumber >= 0) {
        av_dict_set_int(&muxerOptions, "start_number", startNumber, 0);
    }
    if (options_.Engine.LoopCount >= 0) {
        av_dict_set_int(&muxerOptions, "loop", options_.Engine.LoopCount, 0);
    }
    stored.muxerOptions.reset(muxerOptions);
    context->flags |= AVFMT_FLAG_NONBLOCK;
    // Muxer options are encoding options of the format context.
    libraryOptions_.ApplyLibraryOptions(context, libraryOptions_.FormatDefaults(),
                                        AV_OPT_FLAG_ENCODING_PARAM);
}

std::string ConversionRun::AvailableEncoder(const std::string& name, AVMediaType type) {
    if (avcodec_find_encoder_by_name(name.c_str())) {
        return name;
    }
    // Encoders our profiles name that this build of the libraries may lack, and what serves
    // the same purpose: first a stand-in of the same kind, else what the container takes.
    static const std::pair<const char*, const char*> kStandIns[] = {
        {"libfaac", "aac"}, {"libvo_aacenc", "aac"}, {"libxvid", "mpeg4"}};
    static const char* const kAudioForContainer[] = {"aac", "libmp3lame", "mp2", "ac3",
                                                     "pcm_s16le"};
    static const char* const kVideoForContainer[] = {"libx264", "mpeg4", "h263", "mpeg2video",
                                                     "mjpeg"};
    std::string chosen;
    for (const auto& [missing, standIn] : kStandIns) {
        if (name == missing && avcodec_find_encoder_by_name(standIn)) {
            chosen = standIn;
        }
    }
    // Encoders from outside libraries ("lib...") are the ones a build may leave out.
    if (chosen.empty() && name.rfind("lib", 0) == 0) {
        const auto& candidates = type == AVMEDIA_TYPE_AUDIO
                                     ? std::vector<const char*>(std::begin(kAudioForContainer),
                                                                std::end(kAudioForContainer))
                                     : std::vector<const char*>(std::begin(kVideoForContainer),
                                                                std::end(kVideoForContainer));
        for (const char* candidate : candidates) {
            const AVCodec* codec = avcodec_find_encoder_by_name(candidate);
            if (codec &&
                avformat_query_codec(outputFormat_, codec->id, FF_COMPLIANCE_NORMAL) == 1) {
                chosen = candidate;
                break;
            }
        }
    }
    if (chosen.empty()) {
        // Not a library encoder at all: the name is refused as it stands.
        return name;
    }
    host_.Log(AV_LOG_WARNING,
              FormatPrintf("The encoder %s is not available in this build; %s is used instead.",
                           name.c_str(), chosen.c_str()));
    return chosen;
}

OutputStream& ConversionRun::NewOutputStream(int fileIndex, AVMediaType type) {
    AVFormatContext* context = outputFiles_[static_cast<size_t>(fileIndex)].context.get();
    AVStream* stream = avformat_new_stream(context, nullptr);
    if (!stream) {
        throw EAVError("Could not alloc stream");
    }
    auto ost = std::make_unique<OutputStream>();
    ost->fileIndex = fileIndex;
    ost->index = stream->index;
    ost->stream = stream;
    ost->type = type;
    outputStreams_.push_back(std::move(ost));
    return *outputStreams_.back();
}

std::vector<int> ConversionRun::ChosenTracks(AVMediaType type, const std::string& text) const {
    const char* kind = type == AVMEDIA_TYPE_AUDIO ? "audio" : "subtitle";
    const std::optional<engine::TrackChoice> choice = engine::ParseTrackChoice(text);
    if (!choice) {
        throw ERunFailure(FormatPrintf("Invalid %s track choice %s", kind, text.c_str()),
                          "give track numbers counted from 1, separated by commas, or all");
    }
    if (choice->kind == engine::TrackChoice::Kind::Default || inputFiles_.empty()) {
        return {};
    }
    // The first source's streams of the kind, in its order.
    const InputFile& file = inputFiles_.front();
    std::vector<int> tracks;
    for (int s = file.firstStream; s < file.firstStream + file.streamCount; ++s) {
        if (inputStreams_[static_cast<size_t>(s)]->stream->codecpar->codec_type == type) {
            tracks.push_back(s);
        }
    }
    if (choice->kind == engine::TrackChoice::Kind::All) {
        return tracks;
    }
    std::vector<int> chosen;
    for (const int track : choice->tracks) {
        if (track > static_cast<int>(tracks.size())) {
            throw ERunFailure(FormatPrintf("The source has no %s track %d", kind, track),
                              FormatPrintf("it has %zu", tracks.size()), ERunFailure::Role::Source,
                              inputNames_.front());
        }
        chosen.push_back(tracks[static_cast<size_t>(track - 1)]);
    }
    return chosen;
}

void ConversionRun::AddChosenStreams(int fileIndex, AVMediaType type, const std::string& text) {
    std::vector<int> sources = ChosenTracks(type, text);
    // Containers made for one sound track (a sound file's, Flash video) take the first chosen.
    if (type == AVMEDIA_TYPE_AUDIO && sources.size() > 1 &&
        !HoldsSeveralAudioTracks(outputFormat_)) {
        host_.Log(AV_LOG_WARNING,
                  FormatPrintf("%s files hold one sound track: only the first chosen is converted",
                               outputFormat_->name));
        sources.resize(1);
    }
    if (sources.empty()) {
        if (type == AVMEDIA_TYPE_AUDIO) {
            AddAudioStream(fileIndex);
        } else {
            AddSubtitleStream(fileIndex);
        }
        return;
    }
    for (const int source : sources) {
        const size_t before = outputStreams_.size();
        if (type == AVMEDIA_TYPE_AUDIO) {
            AddAudioStream(fileIndex);
        } else {
            AddSubtitleStream(fileIndex);
        }
        // A subtitle stream is left out where the container cannot hold the source's kind.
        if (outputStreams_.size() > before) {
            outputStreams_.back()->chosenSource = source;
        }
    }
}

void ConversionRun::AddVideoStream(int fileIndex) {
    OutputStream& ost = NewOutputStream(fileIndex, AVMEDIA_TYPE_VIDEO);
    AVFormatContext* context = outputFiles_[static_cast<size_t>(fileIndex)].context.get();
    const TVideoOptions& video = options_.VideoOptions();
    const std::string& outputName = outputNames_[static_cast<size_t>(fileIndex)];

    const bool imageFiles = std::strcmp(outputFormat_->name, "image2") == 0;
    AVCodecID codecId = AV_CODEC_ID_NONE;
    if (!video.VideoStreamCopy()) {
        if (video.EncoderVideoCodecName().empty()) {
            codecId = av_guess_codec(outputFormat_, nullptr, outputName.c_str(), nullptr,
                                     AVMEDIA_TYPE_VIDEO);
            // The image writer knows no GIF name and would put its default, JPEG data, into
            // files named .gif.
            if (imageFiles && strcasecmp(fs::path(outputName).extension().c_str(), ".gif") == 0) {
                codecId = AV_CODEC_ID_GIF;
            }
            ost.codec = avcodec_find_encoder(codecId);
        } else {
            const std::string encoder =
                AvailableEncoder(video.EncoderVideoCodecName(), AVMEDIA_TYPE_VIDEO);
            codecId = FindCodecId(encoder, AVMEDIA_TYPE_VIDEO, true);
            ost.codec = avcodec_find_encoder_by_name(encoder.c_str());
        }
    }
    ost.encoder.reset(avcodec_alloc_context3(ost.codec));
    if (!ost.encoder) {
        throw EAVError("Could not alloc stream");
    }
    AVCodecContext* enc = ost.encoder.get();
    ost.bitstreamFilters = ParseBitstreamFilters(options_.MuxerOptions().VideoBitstreamFilters());
    enc->thread_count = options_.ThreadCount();
    if (video.VideoCodecTag() != 0) {
        enc->codec_tag = static_cast<unsigned>(video.VideoCodecTag());
    }
    AVCodecContext* videoDefaults = libraryOptions_.CodecDefaults(AVMEDIA_TYPE_VIDEO);
    if ((video.VideoGlobalHeader() & 1) ||
        (video.VideoGlobalHeader() == 0 && (context->oformat->flags & AVFMT_GLOBALHEADER))) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        videoDefaults->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (video.VideoGlobalHeader() & 2) {
        enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
        videoDefaults->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    }

    if (!video.VideoStreamCopy()) {
        AVDictionary* privateOptions = nullptr;
        for (const auto& [name, value] : libraryOptions_.VideoEncoderOptions()) {
            av_dict_set(&privateOptions, name.c_str(), value.c_str(), 0);
        }
        if (imageFiles && codecId == AV_CODEC_ID_GIF) {
            // Every picture is a file of its own: each needs its header and the whole picture,
            // not just what changed since the one before.
            av_dict_set(&privateOptions, "gifimage", "1", AV_DICT_DONT_OVERWRITE);
            av_dict_set(&privateOptions, "gifflags", "0", AV_DICT_DONT_OVERWRITE);
        }
        ost.encoderOptions.reset(privateOptions);
    }
    if (video.VideoStreamCopy()) {
        ost.copy = true;
        enc->codec_type = AVMEDIA_TYPE_VIDEO;
        if (frameWidth_ > 0) {
            ost.stream->sample_aspect_ratio =
                NearestRatio(video.FrameAspectRatio() * frameHeight_ / frameWidth_);
        }
    } else {
        AVRational rate{video.FrameRate().num(), video.FrameRate().den()};
        if (rate.num == 0 || rate.den <= 0) {
            rate = AVRational{25, 1};
        }
        enc->codec_id = codecId;
        enc->codec_type = AVMEDIA_TYPE_VIDEO;
        // Global flags first: copying the user's flags would drop the header bits set above.
        const int headerFlags = enc->flags & AV_CODEC_FLAG_GLOBAL_HEADER;
        libraryOptions_.ApplyLibraryOptions(enc, videoDefaults, LibraryOptions::kVideoEncoder);
        enc->flags |= headerFlags;
        rate = EncoderFrameRate(rate, ost.codec, video.ForceFPS());
        if (enc->rc_max_rate > 0 && enc->bit_rate > enc->rc_max_rate) {
            // A device's maximum rate is a hard limit; the average cannot lie above it.
            host_.Log(AV_LOG_WARNING,
                      FormatPrintf("The video bit rate %lld is above the maximum rate %lld; the "
                                   "maximum is used.",
                                   static_cast<long long>(enc->bit_rate),
                                   static_cast<long long>(enc->rc_max_rate)));
            enc->bit_rate = enc->rc_max_rate;
        }
        enc->time_base = av_inv_q(rate);
        enc->framerate = rate;
        // A variable-rate recording comes out with its own pictures, none repeated.
        ost.keepSourceTiming =
            KeepsSourceTiming(frameRateChosen_, video.VideoSyncMethod(), outputFormat_, ost.codec);
        enc->pix_fmt = static_cast<AVPixelFormat>(video.PixelFormat);
        if (imageFiles && codecId == AV_CODEC_ID_GIF && requestedPixelFormat_ < 0) {
            // 256 colours chosen for each picture, not one fixed set for all.
            enc->pix_fmt = AV_PIX_FMT_PAL8;
        }
        if (ost.codec && ost.codec->pix_fmts) {
            bool listed = false;
            for (const AVPixelFormat* p = ost.codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p) {
                listed = listed || *p == enc->pix_fmt;
            }
            const bool mjpegKeeps =
                codecId == AV_CODEC_ID_MJPEG && enc->strict_std_compliance < 0 &&
                (enc->pix_fmt == AV_PIX_FMT_YUV420P || enc->pix_fmt == AV_PIX_FMT_YUV422P);
            if (!listed && !mjpegKeeps) {
                enc->pix_fmt = ost.codec->pix_fmts[0];
            }
            // Standard JPEG pictures are full range: limited-range formats are taken only where
            // the user relaxed the compliance; otherwise their full-range twins are used.
            if (codecId == AV_CODEC_ID_MJPEG &&
                enc->strict_std_compliance > FF_COMPLIANCE_UNOFFICIAL) {
                if (enc->pix_fmt == AV_PIX_FMT_YUV420P) {
                    enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
                } else if (enc->pix_fmt == AV_PIX_FMT_YUV422P) {
                    enc->pix_fmt = AV_PIX_FMT_YUVJ422P;
                } else if (enc->pix_fmt == AV_PIX_FMT_YUV444P) {
                    enc->pix_fmt = AV_PIX_FMT_YUVJ444P;
                }
            }
        }
        // Subsampled chroma needs sizes in whole chroma samples: an odd source size is brought
        // to the nearest size the format can hold (the display shape is kept below).
        enc->width = AlignToChroma(frameWidth_, enc->pix_fmt, true);
        enc->height = AlignToChroma(frameHeight_, enc->pix_fmt, false);
        if (enc->width > 0 && enc->height > 0) {
            enc->sample_aspect_ratio = NearestRatio(static_cast<double>(video.FrameAspectRatio()) *
                                                    enc->height / enc->width);
        }
        ost.stream->sample_aspect_ratio = enc->sample_aspect_ratio;

        if (video.IntraOnly()) {
            enc->gop_size = 0;
        }
        if (video.VideoQscale() != 0 || video.SameQuality()) {
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = static_cast<int>(std::lround(FF_QP2LAMBDA * video.VideoQscale()));
        }
        if (!video.IntraMatrix().empty()) {
            enc->intra_matrix = static_cast<uint16_t*>(av_malloc(sizeof(uint16_t) * 64));
            if (!enc->intra_matrix) {
                throw EAVError("no memory");
            }
            std::copy(video.IntraMatrixTable.begin(), video.IntraMatrixTable.end(),
                      enc->intra_matrix);
        }
        if (!video.InterMatrix().empty()) {
            enc->inter_matrix = static_cast<uint16_t*>(av_malloc(sizeof(uint16_t) * 64));
            if (!enc->inter_matrix) {
                throw EAVError("no memory");
            }
            std::copy(video.InterMatrixTable.begin(), video.InterMatrixTable.end(),
                      enc->inter_matrix);
        }
        enc->rc_override_count = 0;
        if (enc->rc_initial_buffer_occupancy == 0) {
            enc->rc_initial_buffer_occupancy = enc->rc_buffer_size * 3 / 4;
        }
        enc->intra_dc_precision = video.IntraDcPrecision() - 8;
        if (options_.Engine.QualityReport) {
            enc->flags |= AV_CODEC_FLAG_PSNR;
        }
        if (video.Pass() == 1) {
            enc->flags |= AV_CODEC_FLAG_PASS1;
        } else if (video.Pass() == 2) {
            enc->flags |= AV_CODEC_FLAG_PASS2;
        }
    }
    SetLanguage(ost.stream, video.VideoLanguage());
}

void ConversionRun::AddAudioStream(int fileIndex) {
    OutputStream& ost = NewOutputStream(fileIndex, AVMEDIA_TYPE_AUDIO);
    AVFormatContext* context = outputFiles_[static_cast<size_t>(fileIndex)].context.get();
    const TAudioOptions& audio = options_.AudioOptions();
    const std::string& outputName = outputNames_[static_cast<size_t>(fileIndex)];

    AVCodecID codecId = AV_CODEC_ID_NONE;
    if (!audio.AudioStreamCopy()) {
        if (audio.EncoderAudioCodecName().empty()) {
            codecId = av_guess_codec(outputFormat_, nullptr, outputName.c_str(), nullptr,
                                     AVMEDIA_TYPE_AUDIO);
            ost.codec = avcodec_find_encoder(codecId);
        } else {
            const std::string encoder =
                AvailableEncoder(audio.EncoderAudioCodecName(), AVMEDIA_TYPE_AUDIO);
            codecId = FindCodecId(encoder, AVMEDIA_TYPE_AUDIO, true);
            ost.codec = avcodec_find_encoder_by_name(encoder.c_str());
        }
    }
    ost.encoder.reset(avcodec_alloc_context3(ost.codec));
    if (!ost.encoder) {
        throw EAVError("Could not alloc stream");
    }
    AVCodecContext* enc = ost.encoder.get();
    ost.bitstreamFilters = ParseBitstreamFilters(options_.MuxerOptions().AudioBitstreamFilters());
    enc->thread_count = options_.ThreadCount();
    enc->codec_type = AVMEDIA_TYPE_AUDIO;
    if (audio.AudioCodecTag() != 0) {
        enc->codec_tag = static_cast<unsigned>(audio.AudioCodecTag());
    }
    AVCodecContext* audioDefaults = libraryOptions_.CodecDefaults(AVMEDIA_TYPE_AUDIO);
    if (context->oformat->flags & AVFMT_GLOBALHEADER) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        audioDefaults->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }

    if (audio.AudioStreamCopy()) {
        ost.copy = true;
        enc->sample_rate = audioSampleRate_;
        av_channel_layout_default(&enc->ch_layout, audioChannels_);
    } else {
        enc->codec_id = codecId;
        const int headerFlags = enc->flags & AV_CODEC_FLAG_GLOBAL_HEADER;
        libraryOptions_.ApplyLibraryOptions(enc, audioDefaults, LibraryOptions::kAudioEncoder);
        enc->flags |= headerFlags;
        if (audio.AudioQScale() > -99999) {
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = static_cast<int>(std::lround(FF_QP2LAMBDA * audio.AudioQScale()));
        }
        // Channels: the working layout when it has the working count, else the default layout.
        av_channel_layout_uninit(&enc->ch_layout);
        if (audioLayout_.nb_channels == audioChannels_ && audioLayout_.nb_channels > 0 &&
            audioLayout_.order != AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_copy(&enc->ch_layout, &audioLayout_);
        } else {
            av_channel_layout_default(&enc->ch_layout, audioChannels_ > 0 ? audioChannels_ : 2);
        }
        if (ost.codec && ost.codec->ch_layouts) {
            // An encoder limited to fewer channels gets the widest layout it takes.
            bool listed = false;
            const AVChannelLayout* widest = nullptr;
            for (const AVChannelLayout* l = ost.codec->ch_layouts; l->nb_channels; ++l) {
                listed = listed || av_channel_layout_compare(l, &enc->ch_layout) == 0;
                if (l->nb_channels <= enc->ch_layout.nb_channels &&
                    (!widest || l->nb_channels > widest->nb_channels)) {
                    widest = l;
                }
            }
            if (!listed) {
                const AVChannelLayout* chosen = widest ? widest : ost.codec->ch_layouts;
                av_channel_layout_uninit(&enc->ch_layout);
                av_channel_layout_copy(&enc->ch_layout, chosen);
            }
        }
        enc->sample_fmt = static_cast<AVSampleFormat>(audioSampleFormat_);
        if (ost.codec && ost.codec->sample_fmts) {
            bool listed = false;
            for (const AVSampleFormat* f = ost.codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
                listed = listed || *f == enc->sample_fmt;
            }
            if (!listed) {
                enc->sample_fmt = ost.codec->sample_fmts[0];
            }
        }
        enc->sample_rate = audioSampleRate_;
        if (ost.codec && ost.codec->supported_samplerates) {
            int best = ost.codec->supported_samplerates[0];
            for (const int* r = ost.codec->supported_samplerates; *r; ++r) {
                if (std::abs(*r - audioSampleRate_) < std::abs(best - audioSampleRate_)) {
                    best = *r;
                }
            }
            if (best != audioSampleRate_) {
                av_log(enc, AV_LOG_WARNING,
                       "Requested sampling rate unsupported using closest supported (%d)\n", best);
            }
            enc->sample_rate = best;
        }
    }
    enc->time_base = AVRational{1, enc->sample_rate > 0 ? enc->sample_rate : 1};
    SetLanguage(ost.stream, audio.AudioLanguage());
}

void ConversionRun::AddSubtitleStream(int fileIndex) {
    const TSubtitleOptions& subtitle = options_.SubtitleOptions();
    const AVCodec* codec = nullptr;
    AVCodecID codecId = AV_CODEC_ID_NONE;
    if (!subtitle.SubtitleStreamCopy()) {
        if (subtitle.SubtitleCodecName().empty()) {
            // No encoder named: take the container's own subtitle encoder, but only when it can
            // encode what the sources carry (text to text, pictures to pictures).
            codecId = SubtitleCodecOf(outputFormat_, subtitle);
            codec = avcodec_find_encoder(codecId);
            bool compatible = false;
            for (const auto& ist : inputStreams_) {
                const AVCodecParameters* par = ist->stream->codecpar;
                if (par->codec_type != AVMEDIA_TYPE_SUBTITLE ||
                    ist->stream->discard == AVDISCARD_ALL) {
                    continue;
                }
                compatible = compatible ||
                             (IsTextSubtitle(par->codec_id) && IsTextSubtitle(codecId)) ||
                             (IsBitmapSubtitle(par->codec_id) && IsBitmapSubtitle(codecId));
            }
            if (!codec || !compatible) {
                host_.Log(AV_LOG_WARNING,
                          FormatPrintf("The subtitles of the source cannot be converted to %s; "
                                       "the output is written without subtitles.",
                                       codec ? codec->name : avcodec_get_name(codecId)));
                return;
            }
        } else {
            codecId = FindCodecId(subtitle.SubtitleCodecName(), AVMEDIA_TYPE_SUBTITLE, true);
            codec = avcodec_find_encoder_by_name(subtitle.SubtitleCodecName().c_str());
        }
    }
    OutputStream& ost = NewOutputStream(fileIndex, AVMEDIA_TYPE_SUBTITLE);
    ost.codec = codec;
    ost.encoder.reset(avcodec_alloc_context3(codec));
    if (!ost.encoder) {
        throw EAVError("Could not alloc stream");
    }
    ost.encoder->codec_id = codecId;
    ost.encoder->codec_type = AVMEDIA_TYPE_SUBTITLE;
    ost.bitstreamFilters =
        ParseBitstreamFilters(options_.MuxerOptions().SubtitleBitstreamFilters());
    if (subtitle.SubtitleCodecTag() != 0) {
        ost.encoder->codec_tag = static_cast<unsigned>(subtitle.SubtitleCodecTag());
    }
    ost.copy = subtitle.SubtitleStreamCopy();
    SetLanguage(ost.stream, subtitle.SubtitleLanguage());
}

void ConversionRun::AddCoverArt(int fileIndex) {
    if (!HoldsCoverArt(outputFormat_)) {
        return;
    }
    for (const auto& ist : inputStreams_) {
        const AVStream* source = ist->stream;
        if (!ist->usable || !(source->disposition & AV_DISPOSITION_ATTACHED_PIC) ||
            source->attached_pic.size <= 0) {
            continue;
        }
        AVFormatContext* context = outputFiles_[static_cast<size_t>(fileIndex)].context.get();
        AVStream* stream = avformat_new_stream(context, nullptr);
        if (!stream || avcodec_parameters_copy(stream->codecpar, source->codecpar) < 0) {
            throw EAVError("Could not alloc stream");
        }
        stream->codecpar->codec_tag = 0;
        stream->disposition = AV_DISPOSITION_ATTACHED_PIC;
        stream->time_base = source->time_base;
        av_dict_copy(&stream->metadata, source->metadata, 0);
        coverArt_.push_back({fileIndex, stream, source});
        return;
    }
}

std::vector<media::BsfPtr> ConversionRun::ParseBitstreamFilters(const TStringList& names) {
    std::vector<media::BsfPtr> chain;
    for (size_t i = 0; i < names.size(); ++i) {
        const AVBitStreamFilter* filter = av_bsf_get_by_name(names[i].c_str());
        AVBSFContext* context = nullptr;
        if (!filter || av_bsf_alloc(filter, &context) < 0) {
            host_.ShowError("Invalid BitstreamFilter " + names[i]);
            if (i == 0) {
                return {};
            }
            continue;
        }
        chain.emplace_back(context);
    }
    return chain;
}

std::vector<TargetOutcome> ConversionRun::Targets() const {
    std::vector<TargetOutcome> targets;
    for (const OutputFile& file : outputFiles_) {
        if (file.written) {
            targets.push_back({*file.written, file.packets, file.finished});
        }
    }
    return targets;
}

int64_t ConversionRun::OutputSize() const {
    if (outputFiles_.empty()) {
        return 0;
    }
    if (!outputFiles_[0].context->pb) {
        return outputFiles_[0].bytesMuxed;
    }
    AVIOContext* pb = outputFiles_[0].context->pb;
    int64_t size = avio_size(pb);
    if (size < 0) {
        size = avio_tell(pb);
    }
    return size < 0 ? 0 : size;
}

}  // namespace tw::engine
