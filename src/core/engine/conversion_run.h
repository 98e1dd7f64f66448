#pragma once

// One conversion run on a converter's worker thread: opens the inputs and outputs, maps and
// prepares the streams, runs the packet loop and releases everything it opened, also after an
// error. All of it happens on the worker thread; the host (the converter) is told about log
// lines, figures and each pass of the loop.
//
// Failures raise EAVError with the message the user sees.

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/convert_options.h"
#include "engine/library_options.h"
#include "engine/target_files.h"
#include "engine/video_filter_graph.h"
#include "media/av_ptr.h"
#include "media/stream_registry.h"
#include "util/av_error.h"

namespace tw::engine {

// A failure with its cause: why it happened (the library's words where it gave any, else the
// program's own) and, where one file of the run is at fault, which one and in what role. The
// message stays the failure's fixed text; the converter shows the rest beside it.
class ERunFailure : public EAVError {
public:
    enum class Role { None, Source, Target };
    ERunFailure(const std::string& message, std::string reason, Role role = Role::None,
                std::string file = {})
        : EAVError(message), reason_(std::move(reason)), role_(role), file_(std::move(file)) {}
    const std::string& Reason() const { return reason_; }
    Role FileRole() const { return role_; }
    const std::string& File() const { return file_; }
    // As the user reads it: "<message>:<why>", and which file it concerns where the message
    // does not say so itself.
    std::string Text() const;

private:
    std::string reason_;
    Role role_;
    std::string file_;
};

// The library could not open the source name (code, and its words for why).
ERunFailure SourceOpenFailure(int code, std::string reason, const std::string& name);

// What a run needs from its converter. Called on the worker thread.
class RunHost {
public:
    virtual ~RunHost() = default;
    // The engine's own log lines (not filtered by level).
    virtual void Log(int level, const std::string& text) = 0;
    // A condition the user is told about while the run goes on.
    virtual void ShowError(const std::string& text) = 0;
    virtual void SetDuration(double seconds) = 0;
    virtual void SetConvertedDuration(double seconds) = 0;
    // The main loop is about to begin.
    virtual void LoopStarting() = 0;
    // Top of every pass, and between the pictures of a long repeat: progress event, pause wait.
    // Returns false when a stop was requested.
    virtual bool Pass() = 0;
    // Whether a stop was requested, without waiting or reporting.
    virtual bool StopRequested() const = 0;
    // Progress figures; last is true for the final report after the trailers.
    virtual bool ReportDue(bool last) = 0;
    virtual void Report(int64_t outputSize, int64_t inputSize, double outputSeconds) = 0;
    // The loop ran to its natural end (not stopped): all that was asked for is converted.
    virtual void Converted() = 0;
    // The loop ran to its natural end, but the source ended before the length its header
    // states: only converted of expected seconds are in the output.
    virtual void EndedEarly(double converted, double expected) = 0;
    // Library lines at error level are watched from WatchLibraryErrors on: WatchedLibraryError
    // gives the first since then (the cause of a failing call, where the library logged one).
    virtual void WatchLibraryErrors() = 0;
    virtual std::string WatchedLibraryError() const = 0;
};

struct InputFile {
    media::StreamInput streamInput;  // a "stream:N" source; outlives the context reading it
    media::InputFormatPtr context;
    int64_t timestampOffset = 0;   // µs, added to every packet time of the file
    bool trimStart = false;        // what lies before the file's time 0 is left out (a cut)
    int64_t lengthUs = INT64_MAX;  // of the file's time wanted from 0 on
    // What its header says it lasts (µs), where that can be relied on; INT64_MAX otherwise.
    int64_t statedDurationUs = INT64_MAX;
    int64_t bytesAtOpen = -1;  // -1: not a file of known size
    bool endOfFile = false;
    bool noPacket = false;  // the last read asked to try again
    int firstStream = 0;
    int streamCount = 0;
};

struct InputStream {
    int fileIndex = 0;
    int streamIndex = 0;
    AVStream* stream = nullptr;
    media::CodecContextPtr decoder;  // parameters from the stream; opened only when needed
    bool discard = true;             // no output takes this stream
    bool usable = true;              // false: declared without what decoding it needs
    bool decodingNeeded = false;
    bool decoderOpen = false;
    int64_t start = 0;                 // wall clock at preparation, for rate emulation
    int64_t nextPts = AV_NOPTS_VALUE;  // µs
    int64_t pts = 0;                   // µs
    bool atStart = true;
    double timestampScale = 0;
    int quality = 0;
    int rotation = 0;  // clockwise degrees the picture is to be turned for display: 0/90/180/270
    int64_t statedDurationUs =
        INT64_MAX;  // what the header says of this stream; INT64_MAX: nothing
};

struct OutputFile {
    media::OutputFormatPtr context;
    media::DictionaryPtr muxerOptions;
    bool headerWritten = false;
    // What went to a format that writes its own files (one per picture): their sizes' sum.
    int64_t bytesMuxed = 0;
    bool finished = false;  // its trailer is written
    int64_t packets = 0;    // written into it
    // The regular file the run opened, so that its end can tell whether the name still leads
    // there.
    std::optional<TargetFile> written;
};

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

struct OutputStream {
    int fileIndex = 0;
    int index = 0;
    int source = -1;        // index into the input stream table
    int chosenSource = -1;  // the input stream the request chose for it; -1: mapped as usual
    AVStream* stream = nullptr;
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    media::CodecContextPtr encoder;
    const AVCodec* codec = nullptr;
    media::DictionaryPtr encoderOptions;
    bool copy = false;
    bool encodingNeeded = false;
    bool encoderOpen = false;
    int frameNumber = 0;
    InputStream* syncSource = nullptr;
    int64_t syncPosition = 0;          // frames (video) or samples (audio) in the encoder time base
    int64_t lastDts = AV_NOPTS_VALUE;  // stream time base, copied streams
    std::vector<media::BsfPtr> bitstreamFilters;
    std::vector<media::PacketPtr> filteredPackets;  // one reused output packet per filter
    AVRational chainInTimeBase{0, 1};   // packets enter the bitstream filters in this base
    AVRational chainOutTimeBase{0, 1};  // and leave them in this one
    // Video
    // The pictures keep their own times: none is written twice (a container with variable
    // timing, and no rate or holding method asked for).
    bool keepSourceTiming = false;
    bool resize = false;
    int sourceWidth = 0;
    int sourceHeight = 0;
    int sourcePixelFormat = -1;
    std::unique_ptr<VideoFilterGraph> filters;
    // Audio
    media::SwrPtr resampler;
    int resamplerInRate = 0;
    int resamplerInFormat = -1;
    AVChannelLayout resamplerInLayout{};
    media::AudioFifoPtr queue;          // converted samples waiting for a whole encoder frame
    int64_t audioPts = AV_NOPTS_VALUE;  // time stamp of the next encoded sample
    media::FramePtr convertBuffer;      // reused output of the resampler
    media::FramePtr encodeFrame;        // reused encoder input
    // Two-pass statistics
    std::unique_ptr<FILE, FileCloser> statsFile;
    std::string statsIn;
    bool flushed = false;
};

class ConversionRun {
public:
    ConversionRun(RunHost& host, TAVConvertOptions& options, const TStringList& inputs,
                  const TStringList& outputs);
    ~ConversionRun();
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // Sets up everything the run reads and writes, in this order: stream maps, library options,
    // forced formats, inputs, timestamp scales, outputs.
    void Open();
    // Preparation, main loop, draining and trailers.
    void Transcode();

    // Facts for the host's progress report.
    int64_t OutputSize() const;
    int64_t InputSize() const;
    // The regular files the run opened for writing, and how far it got with each.
    std::vector<TargetOutcome> Targets() const;

    // The library's codec identifier for a name ("" gives none). Throws "Unknown Codec Name" /
    // "Invalid codec type".
    static AVCodecID FindCodecId(const std::string& name, AVMediaType type, bool encoder);

private:
    struct StreamMapEntry {
        int file = 0;
        int stream = 0;
        int syncFile = 0;
        int syncStream = 0;
    };

    // Input side
    void SetupStreamMaps();
    void ApplyCodecOptions();
    void ResolveFormats();
    void OpenInput(int index);
    // The first source's streams of type that the choice text names (input stream table
    // indices, in the choice's order); empty for the engine's own pick. Throws ERunFailure for a
    // track the source does not have or a text that is no choice.
    std::vector<int> ChosenTracks(AVMediaType type, const std::string& text) const;
    // Adds an output stream of type for each chosen source, or one mapped as usual.
    void AddChosenStreams(int fileIndex, AVMediaType type, const std::string& text);
    // The crop asked for, found (auto) and fitted to the video picture of width x height as
    // shown; throws ERunFailure for a crop that cannot be made.
    engine::CropArea ResolveCrop(const std::string& name, int pixelFormat, int width, int height);
    void SetupTimestampScales();
    void RefuseOutputsThatAreInputs() const;
    // Output side
    void PrepareOutputParameters();
    void OpenOutput(int index);
    void AddVideoStream(int fileIndex);
    void AddAudioStream(int fileIndex);
    void AddSubtitleStream(int fileIndex);
    // The source's cover picture as the output's, where the output's container holds one.
    void AddCoverArt(int fileIndex);
    void WriteCoverArt();
    OutputStream& NewOutputStream(int fileIndex, AVMediaType type);
    // The encoder name to use for name: itself when this build has it, else a stand-in (with a
    // warning in the log); names that are no library's stay as they are and are refused later.
    std::string AvailableEncoder(const std::string& name, AVMediaType type);
    std::vector<media::BsfPtr> ParseBitstreamFilters(const TStringList& names);
    // Preparation
    void Prepare();
    int MapSource(const OutputStream& ost, int mapIndex) const;
    void SetupCopiedStream(OutputStream& ost, InputStream& ist);
    void SetupEncodedStream(OutputStream& ost, InputStream& ist, int position);
    void SetupTwoPass(OutputStream& ost, int position);
    void OpenCodecs();
    void InitBitstreamFilters(OutputStream& ost);
    void CopyChapters(int inputIndex, int outputIndex);
    void WriteHeaders();
    // Loop
    void MainLoop();
    int ChooseInput(bool* limitReached, double* outputMinimum);
    void CorrectTimestamps(InputFile& file, InputStream& ist, AVPacket& packet);
    int ProcessPacket(int inputStream, const AVPacket* packet);
    void DecodeAndOutput(InputStream& ist, int inputStream, const AVPacket* packet);
    void HandleVideoFrame(InputStream& ist, int inputStream, AVFrame& frame);
    void HandleAudioFrame(InputStream& ist, int inputStream, AVFrame& frame);
    void HandleSubtitlePacket(InputStream& ist, int inputStream, const AVPacket* packet);
    void CopyPacket(OutputStream& ost, InputStream& ist, const AVPacket& packet);
    void ApplyVolume(AVFrame& frame) const;
    static void SkipSamples(AVFrame& frame, int count);
    void EmulateRate(const InputStream& ist) const;
    void Drain(int inputStream);
    void FlushEncoder(OutputStream& ost);
    void Finish();
    void ReportProgress(bool last);
    // Why reading ended with result, when that was no clean end of the file.
    std::optional<ERunFailure> ReadFailure(int inputIndex, int result) const;
    // Throws when the run wrote nothing at all: an empty container is no conversion.
    void RefuseEmptyOutputs() const;
    // Tells the host how much of the source the output holds, once the loop ran to its end.
    void ReportConvertedSpan();
    // Why a library call failed: the first error line it logged, else the words for its code.
    std::string LibraryReason(int code) const;
    // The host's pass control, once: false from the first stop on.
    bool KeepGoing();
    // Output steps
    void WriteAudio(OutputStream& ost, InputStream& ist, AVFrame& frame);
    void EncodeQueuedAudio(OutputStream& ost, bool final);
    void WriteVideo(OutputStream& ost, InputStream& ist, AVFrame& frame);
    void WriteSubtitle(OutputStream& ost, InputStream& ist, AVSubtitle& subtitle, int64_t pts);
    void SendToEncoder(OutputStream& ost, const AVFrame* frame);
    // packet is in ost.chainInTimeBase; it is consumed (left empty).
    void WritePacket(OutputStream& ost, AVPacket& packet);
    void FilterAndMux(OutputStream& ost, AVPacket& packet, size_t filterIndex);
    void Mux(OutputStream& ost, AVPacket& packet);
    void ConfigureResampler(OutputStream& ost, const AVFrame& frame);

    double SyncInputSeconds(const OutputStream& ost) const;
    // How much of its output time a stream may fill (µs): the length asked for, or less when
    // its source holds less.
    int64_t OutputLimit(const OutputStream& ost) const;
    const InputFile& SourceFile(const OutputStream& ost) const;
    double OutputSeconds(const OutputStream& ost) const;
    int TotalInputStreams() const;
    bool AnyInputHas(AVMediaType type) const;

    RunHost& host_;
    TAVConvertOptions& options_;
    const TStringList inputNames_;
    const TStringList outputNames_;
    LibraryOptions libraryOptions_;

    std::vector<StreamMapEntry> streamMaps_;
    const AVInputFormat* forcedInputFormat_ = nullptr;
    const AVOutputFormat* outputFormat_ = nullptr;
    std::vector<InputFile> inputFiles_;
    std::vector<OutputFile> outputFiles_;
    std::vector<std::unique_ptr<InputStream>> inputStreams_;
    std::vector<std::unique_ptr<OutputStream>> outputStreams_;
    // Cover pictures: one packet each, written with the headers; the loop never sees them.
    struct CoverArt {
        int fileIndex = 0;
        AVStream* stream = nullptr;
        const AVStream* source = nullptr;
    };
    std::vector<CoverArt> coverArt_;

    // Working values: seeded by the inputs, overridden by the options before each output.
    int audioChannels_ = 0;
    int audioSampleRate_ = 0;
    int audioSampleFormat_ = -1;
    AVChannelLayout audioLayout_{};
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    // What comes off the video picture (as shown) before it is scaled.
    engine::CropArea crop_;
    // What the request itself asked for, before the inputs wrote the source's facts back.
    int requestedPixelFormat_ = -1;
    float requestedAspect_ = 0;
    bool frameRateChosen_ = false;
    TRational requestedFrameRate_;
    bool videoAskedFor_ = false;  // the request names a video setting of its own

    int64_t runStartTime_ = 0;  // µs; 0 once the inputs are seeked
    media::PacketPtr packet_;
    media::FramePtr frame_;
    media::FramePtr filtered_;
    media::FramePtr audioFrame_;
    media::PacketPtr encoded_;
    media::PacketPtr copied_;
    std::vector<uint8_t> subtitleBuffer_;
    int noPacketCount_ = 0;
    bool stopped_ = false;
    bool limitReached_ = false;  // the loop ended at a limit asked for, not at the sources' end
    std::optional<ERunFailure> readFailure_;  // ends the loop; raised once the outputs are finished
};

}  // namespace tw::engine
