#include "dvd/dvd_stream.h"

#include <algorithm>

#include "dvd/program_stream_pack.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::dvd {

namespace {

// A read is served in pieces far below the ring's capacity, so that a block always fits beside
// what a piece has gathered.
constexpr size_t kReadPiece = 1 << 20;

// Rounds of the chapter test that bring no block before a read gives up, and navigator calls
// that ask to be repeated before one counts as bringing nothing.
constexpr int kMaxIdleRounds = 64;
constexpr int kMaxRepeats = 100000;

// How far an audio tail may reach past the range: far more than the sound runs ahead of the
// pictures in any program stream (4 MB, some 3 s at the highest DVD rate).
constexpr uint32_t kMaxTailBlocks = 2048;

}  // namespace

TDvdStream::TDvdStream(const DvdTitle& title, int lastChapter, int firstChapter, int angle,
                       bool audioTail)
    : title_(title),
      angle_(angle),
      ring_(kRingCapacity),
      block_(std::make_unique<uint8_t[]>(kDvdBlockSize)) {
    const int chapterCount = static_cast<int>(title_.chapters.size());
    if (firstChapter < 1 || lastChapter < firstChapter || lastChapter > chapterCount) {
        throw EAVError(FormatPrintf("Chapters %d to %d are not in title %d, which has %d",
                                    firstChapter, lastChapter, title_.number, chapterCount));
    }
    navigator_ = DvdNavigator::Open(title_.path);
    if (!navigator_) {
        throw EAVError("Can not open title");
    }
    lastChapter_ = title_.chapters[static_cast<size_t>(lastChapter - 1)].number;
    firstChapter_ = title_.chapters[static_cast<size_t>(firstChapter - 1)].number;
    for (int i = firstChapter; i <= lastChapter; ++i) {
        const DvdChapter& chapter = title_.chapters[static_cast<size_t>(i - 1)];
        // 90 kHz ticks in microseconds.
        chapters_.push_back(
            {static_cast<int64_t>(durationTicks_ * 100 / 9),
             static_cast<int64_t>((durationTicks_ + chapter.durationTicks) * 100 / 9),
             FormatPrintf("Chapter %d", chapter.number)});
        durationTicks_ += chapter.durationTicks;
    }

    uint8_t first[kDvdBlockSize];
    uint32_t length = 0;
    if (lastChapter_ < chapterCount) {
        // The range ends where the chapter after it starts; widen the range to reach it.
        ++lastChapter_;
        if (!navigator_->Start(title_, lastChapter_)) {
            navigator_.reset();
            throw EAVError("Can not start chapter");
        }
        const int64_t got = Read(first, kDvdBlockSize);
        ring_.Clear();
        if (got != kDvdBlockSize) {
            navigator_.reset();
            throw EAVError("Can not start chapter");
        }
        navigator_->GetPosition(endBlock_, length);
        const std::optional<int64_t> endPts = navigator_->UnitStartPts();
        if (audioTail && endPts) {
            tailEndBlock_ = FindAudioTailEnd(*endPts);
        }
        navigator_->Stop();
        --lastChapter_;
    }

    if (!navigator_->Start(title_, firstChapter_)) {
        navigator_.reset();
        throw EAVError("Can not start chapter");
    }
    currentChapter_ = firstChapter_;
    const int64_t got = Read(first, kDvdBlockSize);
    ring_.Clear();
    if (got != kDvdBlockSize) {
        navigator_.reset();
        throw EAVError("Can not start chapter");
    }
    navigator_->GetPosition(firstBlock_, length);
    startPts_ = navigator_->UnitStartPts();
    // That block is byte 0 of the range: keep it for the first read.
    ring_.Write(first, kDvdBlockSize);
    if (lastChapter == chapterCount) {
        endBlock_ = length;
    }
    navigator_->SetAngle(angle_);
}

TDvdStream::~TDvdStream() {
    if (navigator_) {
        navigator_->Stop();
    }
}

uint32_t TDvdStream::FindAudioTailEnd(int64_t endPts) {
    uint32_t position = endBlock_;
    uint32_t length = 0;
    while (position - endBlock_ < kMaxTailBlocks) {
        int bytes = 0;
        int result = DvdNavigator::kRepeat;
        for (int repeats = 0; result == DvdNavigator::kRepeat && repeats < kMaxRepeats; ++repeats) {
            result = navigator_->ReadBlock(block_.get(), bytes);
        }
        if (result <= 0) {
            break;
        }
        navigator_->GetPosition(position, length);
        // The first sound that starts at or after the end: its pack may still finish the sound
        // before it, so it is the tail's last.
        const PackFacts pack = InspectPack(block_.get());
        if (pack.audio && pack.pts && *pack.pts >= endPts) {
            break;
        }
    }
    return position + 1;
}

int64_t TDvdStream::GetSize() {
    const uint32_t end = StreamEndBlock();
    size_ = end > firstBlock_ ? static_cast<int64_t>(end - firstBlock_) * kDvdBlockSize : 0;
    return size_;
}

std::optional<media::PresentationSpan> TDvdStream::WantedSpan() const {
    if (!startPts_) {
        return std::nullopt;
    }
    // 90 kHz ticks in microseconds.
    return media::PresentationSpan{*startPts_ * 100 / 9,
                                   static_cast<int64_t>(durationTicks_ * 100 / 9)};
}

int64_t TDvdStream::Read(void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t total = 0;
    while (total < count) {
        const size_t piece = static_cast<size_t>(std::min<int64_t>(count - total, kReadPiece));
        const int64_t got = ReadChunk(out + total, piece);
        total += got;
        if (got < static_cast<int64_t>(piece)) {
            break;
        }
    }
    return total;
}

int64_t TDvdStream::ReadChunk(uint8_t* buffer, size_t count) {
    if (ring_.Read(buffer, count)) {
        return static_cast<int64_t>(count);
    }
    // An audio tail lies in the chapter after the range.
    const int lastReadable = tailEndBlock_ > endBlock_ ? lastChapter_ + 1 : lastChapter_;
    const uint32_t streamEnd = StreamEndBlock();
    int idleRounds = 0;
    while (!rangeEnded_ && idleRounds < kMaxIdleRounds) {
        const int chapter = navigator_->Chapter();
        if (seeking_) {
            currentChapter_ = chapter;
        }
        // Behind the current chapter means the navigation went back: the range is over.
        if (chapter < currentChapter_ || chapter < 0 || chapter < firstChapter_ ||
            chapter > lastReadable) {
            break;
        }
        currentChapter_ = chapter;
        int bytes = 0;
        int result = DvdNavigator::kRepeat;
        for (int repeats = 0; result == DvdNavigator::kRepeat && repeats < kMaxRepeats; ++repeats) {
            result = navigator_->ReadBlock(block_.get(), bytes);
        }
        if (result <= 0) {
            ++idleRounds;
            continue;
        }
        idleRounds = 0;
        uint32_t position = 0;
        uint32_t length = 0;
        navigator_->GetPosition(position, length);
        // The navigator only reports the next chapter once its first block was read: stop by
        // position so that the range holds exactly its own blocks.
        if (position >= streamEnd) {
            rangeEnded_ = true;
            break;
        }
        if (position >= endBlock_ && !InspectPack(block_.get()).audio) {
            BlankPack(block_.get());
        }
        if (!ring_.Write(block_.get(), static_cast<size_t>(bytes))) {
            break;
        }
        if (ring_.Read(buffer, count)) {
            return static_cast<int64_t>(count);
        }
    }
    const size_t held = std::min(ring_.Count(), count);
    ring_.Read(buffer, held);
    return static_cast<int64_t>(held);
}

int64_t TDvdStream::Seek(int64_t offset, SeekOrigin origin) {
    struct SeekingScope {
        bool& flag;
        explicit SeekingScope(bool& f) : flag(f) { flag = true; }
        ~SeekingScope() { flag = false; }
    } scope(seeking_);

    ring_.Clear();
    rangeEnded_ = false;
    if (size_ == -1 || origin != SeekOrigin::Beginning || offset < 0) {
        return -1;
    }
    offset = std::min(offset, size_);
    const int64_t block = offset / kDvdBlockSize;
    if (block == 0) {
        if (!navigator_->Start(title_, firstChapter_)) {
            return -1;
        }
    } else if (firstBlock_ + block >= StreamEndBlock()) {
        // At the very end there is nothing left to read, and no block to go to.
        rangeEnded_ = true;
        return offset;
    } else if (!navigator_->Seek(static_cast<uint32_t>(firstBlock_ + block))) {
        return -1;
    }
    // A later read must not take the chapter it lands in for the navigation going back.
    const int chapter = navigator_->Chapter();
    currentChapter_ = chapter >= firstChapter_ ? chapter : firstChapter_;

    const int64_t skip = offset % kDvdBlockSize;
    if (skip != 0) {
        uint8_t dropped[kDvdBlockSize];
        Read(dropped, skip);
    }
    return offset;
}

}  // namespace tw::dvd
