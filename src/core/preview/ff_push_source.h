#pragma once

// TFFPushSource demultiplexes and decodes one source on a thread of its own, runs the pictures
// through the preview filter graph into BGRA, draws bitmap subtitles onto them, turns the sound
// into signed 16-bit PCM, and hands both out as timed samples. It also answers seeks (in media
// time, 100-ns units) and can play the source a given number of times.
//
// Threads: one owner thread (the user interface) configures, loads, seeks and closes; consumers
// take samples with DeliverVideo / DeliverAudio from any thread; the demux thread does the rest.
// Locks, always taken in this order: streamMutex_ (one packet, a seek, a stream or filter
// switch), seekMutex_ (positions and flags), then a queue's own mutex. Destruction stops the
// demux thread and joins it before anything it uses is freed.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/av_ptr.h"
#include "media/library.h"
#include "media/stream_registry.h"
#include "preview/ff_sample.h"
#include "preview/preview_filter_graph.h"

namespace tw::preview {

// Flags of SetPositions, as the seeking interface numbers them.
inline constexpr unsigned kNoPositioning = 0;
inline constexpr unsigned kAbsolutePositioning = 1;
inline constexpr unsigned kRelativePositioning = 2;
inline constexpr unsigned kIncrementalPositioning = 3;
inline constexpr unsigned kPositioningBitsMask = 3;

inline constexpr int64_t kUnknownPosition = 0x3FFFFFFFFFFFFFFF;
// Read-ahead: the demux thread rests while every queue holds this many items.
inline constexpr size_t kReadAhead = 30;
inline constexpr int kScalerFlags = 4;  // bicubic

enum class Delivery { Sample, NothingYet, EndOfStream };

struct Delivered {
    Delivery result = Delivery::NothingYet;
    SamplePtr sample;  // set for Delivery::Sample
};

class TFFPushSource {
public:
    // Called with every picture just before it is handed out (consumer's thread).
    using OnBufferEvent = std::function<void(const uint8_t* buffer, int width, int height)>;
    // Called with every PCM block just before it is handed out.
    using OnAudioBufferEvent = std::function<void(const uint8_t* buffer, int bytes)>;

    TFFPushSource();
    ~TFFPushSource();
    TFFPushSource(const TFFPushSource&) = delete;
    TFFPushSource& operator=(const TFFPushSource&) = delete;

    // Configuration. Filters, audio switch, callbacks and loop count are set before Load; the
    // filters and the stream indices may change while the thread runs.
    bool HasVideo() const { return videoPosition_ >= 0; }
    bool HasAudio() const { return audioPosition_ >= 0; }
    bool HasSubtitle() const { return subtitlePosition_ >= 0; }
    // Stores the chain; while running it replaces the queued pictures with ones through the new
    // chain, from the first picture not yet taken on. A chain the graph refuses raises EAVError
    // and leaves the previous chain in use.
    void SetVideoFilters(const std::string& chainText);
    void SetAudioDisabled(bool disabled) { audioDisabled_ = disabled; }
    void SetOnBuffer(OnBufferEvent handler) { onBuffer_ = std::move(handler); }
    void SetOnAudioBuffer(OnAudioBufferEvent handler) { onAudioBuffer_ = std::move(handler); }
    // Raises "Loop count must be larger than 0" for 0 or less.
    void SetLoopCount(int count);
    int LoopCount() const { return loopCount_; }
    int VideoStreamCount() const { return static_cast<int>(videoStreams_.size()); }
    int AudioStreamCount() const { return static_cast<int>(audioStreams_.size()); }
    int SubtitleStreamCount() const { return static_cast<int>(subtitleStreams_.size()); }
    // The size of the pictures handed out; 0 without a video stream.
    int VideoWidth() const;
    int VideoHeight() const;
    // Switch to another stream of a kind (a position in that kind's list). Carried out only while
    // the thread runs and a video stream is selected; a position past the list is a programming
    // error. The new stream starts where its output had been taken up to, as a player's does: the
    // file is read again from there, and the other outputs go on without a gap or a repeat.
    void SetVideoIndex(int position);
    void SetAudioIndex(int position);
    void SetSubtitleIndex(int position);

    // Opens a file name or a "stream:N" name and starts the demux thread. False when it cannot
    // be opened, holds neither video nor audio a decoder takes, or its filter graph cannot be
    // built, and for every call after the first.
    bool Load(const std::string& fileName);
    bool Loaded() const { return demuxThread_.joinable(); }

    // Seeking, in 100-ns units. SetPositions returns false for flags it does not accept; with a
    // start it returns once the demux thread has moved there and emptied the queues.
    bool SetPositions(const int64_t* current, unsigned currentFlags, const int64_t* stop,
                      unsigned stopFlags);
    int64_t StartPosition() const;
    int64_t StopPosition() const;
    // The whole play length: the file's duration times the loop count.
    int64_t Duration() const;
    // The file's own duration.
    int64_t FileDuration() const;

    // Delivery: the next picture (subtitles drawn on it) or PCM block, or why there is none.
    Delivered DeliverVideo();
    Delivered DeliverAudio();
    int AudioChannels() const { return audioChannels_; }
    int AudioSampleRate() const { return audioSampleRate_; }

    // Queue depths, for tests and diagnostics.
    size_t QueuedVideoFrames() const;
    size_t QueuedAudioBlocks() const;

private:
    struct StreamDecoder {
        int streamIndex = -1;
        media::CodecContextPtr context;
    };

    // Opening (ff_push_source.cpp).
    bool Open(const std::string& name);
    void OpenDecoder(StreamDecoder& decoder, int streamIndex);
    void OpenVideo();
    void OpenAudio();
    void OpenSubtitle();
    PictureShape DecoderShape() const;
    void RebuildGraph(const PictureShape& shape);
    void Close();
    int SelectedStream(const std::vector<int>& list, int position) const;

    // The demux thread (push_source_demux.cpp).
    void DemuxLoop();
    bool WaitForWork();
    bool ShouldRead() const;
    void ReadPacket();
    void EndOfFile();
    void HandleVideo(const AVPacket* packet);
    void FilterPicture(AVFrame* picture);
    void QueuePicture(media::FramePtr picture);
    void HandleSubtitle(const AVPacket* packet);
    void HandleAudio(const AVPacket* packet);
    void QueueAudio(AVFrame* decoded);
    double StreamSeconds(int64_t stamp, AVRational timeBase) const;
    double LoopOffset() const;
    // Whether a time (seconds from the start) lies past the part a span-limited source plays.
    bool PastSpan(double seconds) const;

    // Seeking and delivery (push_source_seeking.cpp).
    void PerformSeek();
    void RestartLoop();
    void SeekFile(int64_t position, int64_t previous);
    void FlushDecoders();
    void EmptyQueues();
    // What a stream switch or a filter change replaces; the rest is kept.
    enum class Replaced { Pictures, Sound, Subtitles };
    // Empties what is replaced and reads the file again from where its output was taken up to
    // (or, for what is kept, from where it was read up to, if that is earlier). Called with
    // streamMutex_ held.
    void Reread(Replaced replaced);

    media::LibraryUse libraries_;
    bool loadTried_ = false;

    // Owned by the owner thread until the demux thread starts; afterwards touched only under
    // streamMutex_ (or by the demux thread, which holds it for each packet).
    media::StreamInput streamInput_;  // a "stream:" source; outlives format_
    media::InputFormatPtr format_;
    std::vector<int> videoStreams_;
    std::vector<int> audioStreams_;
    std::vector<int> subtitleStreams_;
    int videoPosition_ = -1;
    int audioPosition_ = -1;
    int subtitlePosition_ = -1;
    StreamDecoder video_;
    StreamDecoder audio_;
    StreamDecoder subtitle_;
    PreviewFilterGraph graph_;
    media::FramePtr decoded_;
    media::FramePtr filtered_;
    media::PacketPtr packet_;
    media::SwrPtr resampler_;
    int resamplerFormat_ = AV_SAMPLE_FMT_S16;  // what resampler_ was made for
    int resamplerRate_ = 0;
    AVChannelLayout resamplerLayout_{};
    std::string videoFilters_;
    bool audioDisabled_ = false;
    int loopCount_ = 1;
    int loopIndex_ = 0;
    int64_t startTimeUs_ = 0;   // the container's start time, or where a wanted span begins
    double spanSeconds_ = 0.0;  // the length of a wanted span; 0 = the whole source
    double videoClock_ = 0.0;
    double audioClock_ = 0.0;
    // After a seek or a re-read, pictures and sound that end before these presentation times
    // (seconds, the loop offset included) are decoded but dropped; subtitles at or before
    // lastSubtitle_ were queued already.
    double videoSkipUntil_ = 0.0;
    double audioSkipUntil_ = 0.0;
    double lastSubtitle_ = std::numeric_limits<double>::lowest();
    OnBufferEvent onBuffer_;
    OnAudioBufferEvent onAudioBuffer_;
    int audioChannels_ = 0;
    int audioSampleRate_ = 0;
    // Read by the demux thread's rest test and by the owner, written under streamMutex_.
    std::atomic<bool> producesVideo_ = false;
    std::atomic<bool> producesAudio_ = false;
    std::atomic<int> videoWidth_ = 0;
    std::atomic<int> videoHeight_ = 0;

    std::mutex streamMutex_;

    mutable std::mutex seekMutex_;  // guards the positions and the flags below
    std::condition_variable wake_;  // the demux thread's rest ends: work, room, seek, terminate
    std::condition_variable seekDone_;
    int64_t start_ = 0;
    int64_t previousStart_ = 0;
    int64_t stop_ = kUnknownPosition;
    int64_t fileDuration_ = kUnknownPosition;
    int64_t duration_ = kUnknownPosition;
    bool seekRequested_ = false;
    bool endOfStream_ = false;
    // Where the consumers are: the presentation end of the last picture and sound handed out,
    // or the start of the segment before any.
    double videoTakenUntil_ = 0.0;
    double audioTakenUntil_ = 0.0;
    bool terminate_ = false;
    std::atomic<bool> demuxRunning_ = false;

    // A queue of one output with its own lock and its first-sample flag.
    struct Pin {
        mutable std::mutex mutex;
        std::deque<std::unique_ptr<TFFSample>> samples;
        size_t bytes = 0;
        bool firstSample = true;
    };
    Pin videoPin_;
    Pin audioPin_;
    std::deque<std::unique_ptr<TFFSubtitle>> subtitles_;  // guarded by videoPin_.mutex

    std::jthread demuxThread_;  // joined in the destructor before the members above go
};

}  // namespace tw::preview
