#pragma once

// A chapter range of one DVD title, in one angle, as a seekable byte stream of whole 2048-byte
// blocks: byte 0 is the first block of the first chapter, the size runs to the first block of the
// chapter after the range (or to the title's end). Blocks are read through the navigator into a
// ring buffer and handed out from there.
//
// The sound of a chapter's last moments is stored in the blocks of the next chapter (a program
// stream carries sound ahead of the pictures it goes with). With an audio tail the stream goes on
// past the range's end up to the block that holds the sound of the range's end; in that tail
// every pack that is not sound reads as padding. WantedSpan then says where the range's pictures
// begin and how long they last, so that a reader can leave out what lies outside.
//
// Single reader: the thread that opened the stream's URL (a converter's worker, or the preview).

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "dvd/circular_buffer.h"
#include "dvd/dvd_navigator.h"
#include "media/stream_registry.h"

namespace tw::dvd {

class TDvdStream : public media::TStream {
public:
    // 8100 blocks.
    static constexpr size_t kRingCapacity = 16588800;

    // lastChapter and firstChapter are positions (from 1) in title's chapter list. Throws EAVError:
    // "Can not open title" when the disc does not open, "Can not start chapter" when the
    // navigator refuses a chapter, and a message naming the range when it is not in the title.
    TDvdStream(const DvdTitle& title, int lastChapter, int firstChapter, int angle,
               bool audioTail = false);
    ~TDvdStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t GetSize() override;
    std::optional<media::PresentationSpan> WantedSpan() const override;
    // The range's chapters, titled "Chapter N" by their numbers in the title.
    std::vector<media::ChapterMark> Chapters() const override { return chapters_; }

    uint32_t FirstBlock() const { return firstBlock_; }
    uint32_t EndBlock() const { return endBlock_; }
    // Where the stream ends: EndBlock, or past it by the audio tail.
    uint32_t StreamEndBlock() const { return std::max(endBlock_, tailEndBlock_); }

private:
    int64_t ReadChunk(uint8_t* buffer, size_t count);
    // Reads on from the range's end to the block that holds the sound of endPts.
    uint32_t FindAudioTailEnd(int64_t endPts);

    std::unique_ptr<DvdNavigator> navigator_;
    DvdTitle title_;
    int angle_ = 1;
    int firstChapter_ = 0;  // chapter numbers
    int lastChapter_ = 0;
    TCircularBuffer ring_;
    int64_t size_ = 0;  // cached by GetSize
    int currentChapter_ = 0;
    uint32_t firstBlock_ = 0;  // the range is [firstBlock_, endBlock_)
    uint32_t endBlock_ = UINT32_MAX;
    uint32_t tailEndBlock_ = 0;        // past endBlock_ when the stream has an audio tail
    std::optional<int64_t> startPts_;  // 90 kHz, where the range's pictures begin
    uint64_t durationTicks_ = 0;       // 90 kHz, of the range's chapters
    std::vector<media::ChapterMark> chapters_;
    bool seeking_ = false;
    bool rangeEnded_ = false;  // the read position reached endBlock_
    std::unique_ptr<uint8_t[]> block_;
};

}  // namespace tw::dvd
