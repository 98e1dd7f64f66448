#include "media/stream_registry.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <limits>
#include <map>
#include <mutex>
#include <new>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "util/av_error.h"
#include "util/format.h"

namespace tw::media {

namespace {

constexpr std::string_view kPrefix = "stream:";
constexpr int kIoBufferSize = 32768;

struct Registry {
    std::mutex mutex;  // guards streams and lastNumber
    std::map<int, std::unique_ptr<TStream>> streams;
    int lastNumber = 0;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// The callbacks run inside the format library: nothing may escape them but an error code.
int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    try {
        const int64_t got = static_cast<TStream*>(opaque)->Read(buffer, size);
        if (got < 0) {
            return AVERROR(EIO);
        }
        return got == 0 ? AVERROR_EOF : static_cast<int>(got);
    } catch (...) {
        return AVERROR(EIO);
    }
}

int64_t SeekStream(void* opaque, int64_t position, int whence) {
    try {
        TStream& stream = *static_cast<TStream*>(opaque);
        int64_t result = -1;
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE:
                result = stream.GetSize();
                return result < 0 ? AVERROR(ENOSYS) : result;
            case SEEK_SET:
                result = stream.Seek(position, TStream::SeekOrigin::Beginning);
                break;
            case SEEK_CUR:
                result = stream.Seek(position, TStream::SeekOrigin::Current);
                break;
            case SEEK_END:
                result = stream.Seek(position, TStream::SeekOrigin::End);
                break;
            default:
                return AVERROR(EINVAL);
        }
        return result < 0 ? AVERROR(ESPIPE) : result;
    } catch (...) {
        return AVERROR(EIO);
    }
}

}  // namespace

int64_t TStream::Write(const void* /*buffer*/, int64_t /*count*/) {
    return -1;
}

std::optional<PresentationSpan> TStream::WantedSpan() const {
    return std::nullopt;
}

std::vector<ChapterMark> TStream::Chapters() const {
    return {};
}

int RegisterStream(std::unique_ptr<TStream> stream) {
    TW_ASSERT(stream != nullptr);
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (registry.lastNumber == std::numeric_limits<int>::max()) {
        throw EAVError("No more stream numbers are free");
    }
    const int number = ++registry.lastNumber;
    registry.streams.emplace(number, std::move(stream));
    return number;
}

std::string StreamUrl(int number) {
    return FormatPrintf("stream:%d", number);
}

bool DiscardStream(int number) {
    std::unique_ptr<TStream> discarded;
    Registry& registry = TheRegistry();
    {
        std::lock_guard lock(registry.mutex);
        auto it = registry.streams.find(number);
        if (it == registry.streams.end()) {
            return false;
        }
        discarded = std::move(it->second);
        registry.streams.erase(it);
    }
    // Freed outside the lock: closing a disc takes its time.
    return true;
}

size_t RegisteredStreamCount() {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.streams.size();
}

bool IsStreamUrl(const std::string& url) {
    return url.starts_with(kPrefix);
}

std::optional<int> ParseStreamUrl(const std::string& url) {
    if (!IsStreamUrl(url)) {
        return std::nullopt;
    }
    const char* begin = url.data() + kPrefix.size();
    const char* end = url.data() + url.size();
    if (begin == end || *begin < '0' || *begin > '9') {
        return std::nullopt;
    }
    int number = 0;
    const auto [next, error] = std::from_chars(begin, end, number);
    if (error != std::errc{} || (next != end && *next != '.')) {
        return std::nullopt;
    }
    return number;
}

void AvioContextDeleter::operator()(AVIOContext* context) const {
    av_freep(&context->buffer);
    avio_context_free(&context);
}

StreamInput OpenStreamUrl(const std::string& url) {
    const std::optional<int> number = ParseStreamUrl(url);
    if (!number) {
        throw EAVError(FormatPrintf("Can not open %s: not a stream number", url.c_str()));
    }
    StreamInput input;
    {
        Registry& registry = TheRegistry();
        std::lock_guard lock(registry.mutex);
        auto it = registry.streams.find(*number);
        if (it == registry.streams.end()) {
            throw EAVError(
                FormatPrintf("Can not open %s: no stream has that number, or it was opened before",
                             url.c_str()));
        }
        input.stream_ = std::move(it->second);
        registry.streams.erase(it);
    }
    // A stream may keep its size until asked (the DVD title input does); ask now, so that a
    // seek the library makes before it wants the size is not clipped to nothing.
    input.stream_->GetSize();

    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer) {
        throw std::bad_alloc();
    }
    AVIOContext* io = avio_alloc_context(buffer, kIoBufferSize, 0, input.stream_.get(), &ReadPacket,
                                         nullptr, &SeekStream);
    if (!io) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    input.io_.reset(io);
    return input;
}

}  // namespace tw::media
