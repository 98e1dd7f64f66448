#pragma once

// Stream objects handed to the format library by URL. A producer (the DVD title input) registers
// a TStream and gets its number; the URL "stream:N" (anything after a '.' behind the number is an
// extension and ignored) names it. The first OpenStreamUrl of that URL takes the object out of
// the registry: the returned StreamInput owns it together with the AVIOContext built over it, so
// each URL opens once, and only in the process that made it.
//
// The registry is process-wide and locked; a TStream itself has a single reader (the thread that
// opened its URL).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avio.h>
}

namespace tw::media {

// The part of a stream's media that is wanted when its bytes hold more than that: from the
// presentation time startUs (the media's own time stamps, in microseconds) for durationUs.
struct PresentationSpan {
    int64_t startUs = 0;
    int64_t durationUs = 0;
};

// A chapter of a stream's media: from startUs to endUs after the wanted part begins.
struct ChapterMark {
    int64_t startUs = 0;
    int64_t endUs = 0;
    std::string title;
};

// A seekable byte source, in the manner of the platform's abstract stream.
class TStream {
public:
    enum class SeekOrigin { Beginning, Current, End };

    virtual ~TStream() = default;

    // Bytes delivered into buffer: count while data lasts, fewer at the end, 0 after it; negative
    // on a read failure.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Not supported unless a stream says otherwise: -1, nothing written.
    virtual int64_t Write(const void* buffer, int64_t count);
    // The new position, or -1 when the stream cannot move that way.
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    // Size in bytes, or -1 when unknown.
    virtual int64_t GetSize() = 0;
    // The wanted part of the media; nullopt (the default) when all of it is wanted.
    virtual std::optional<PresentationSpan> WantedSpan() const;
    // Chapters the bytes themselves do not describe (a DVD title's); none by default.
    virtual std::vector<ChapterMark> Chapters() const;
};

// Registers stream and returns its number (positive, never reused within the process).
int RegisterStream(std::unique_ptr<TStream> stream);
// "stream:N".
std::string StreamUrl(int number);
// Frees a registered stream that nobody opened; false when the number is not registered.
bool DiscardStream(int number);
// Streams registered and not yet taken over.
size_t RegisteredStreamCount();

// True for every text that starts with "stream:", whether its number is valid or not.
bool IsStreamUrl(const std::string& url);
// The number of a well-formed stream URL: "stream:" then decimal digits, then either nothing or
// '.' and an extension. nullopt for anything else (no digits, a sign, other characters, overflow).
std::optional<int> ParseStreamUrl(const std::string& url);

// Frees the context's buffer (which the format library may have replaced) and the context.
struct AvioContextDeleter {
    void operator()(AVIOContext* context) const;
};
using AvioContextPtr = std::unique_ptr<AVIOContext, AvioContextDeleter>;

// A stream taken over from the registry and the read-only AVIOContext that reads it. Keep it
// alive as long as any format context uses IoContext(); closing a format context opened with
// AVFMT_FLAG_CUSTOM_IO leaves the AVIOContext alone, so this object frees both.
class StreamInput {
public:
    StreamInput() = default;
    StreamInput(StreamInput&&) noexcept = default;
    StreamInput& operator=(StreamInput&&) noexcept = default;
    ~StreamInput() = default;

    explicit operator bool() const { return io_ != nullptr; }
    AVIOContext* IoContext() const { return io_.get(); }
    TStream* Stream() const { return stream_.get(); }

private:
    friend StreamInput OpenStreamUrl(const std::string& url);

    std::unique_ptr<TStream> stream_;
    AvioContextPtr io_;  // declared after stream_ so that it is freed first
};

// Takes over the stream named by url and builds its AVIOContext. Throws EAVError for a malformed
// URL or a number no live stream has (never opened, or already opened once).
StreamInput OpenStreamUrl(const std::string& url);

}  // namespace tw::media
