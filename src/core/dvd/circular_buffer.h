#pragma once

// A fixed-size byte ring between a producer and a consumer. It holds at most Capacity() - 1
// bytes (equal indices mean empty); Read and Write move all of their count or nothing. Every
// operation takes the buffer's own mutex, so a writer and a reader may run on different threads.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tw::dvd {

class TCircularBuffer {
public:
    explicit TCircularBuffer(size_t capacity);
    TCircularBuffer(const TCircularBuffer&) = delete;
    TCircularBuffer& operator=(const TCircularBuffer&) = delete;

    size_t Capacity() const { return capacity_; }

    void Clear();
    // Bytes held.
    size_t Count() const;
    // Capacity when empty, else the free bytes (a write must stay below this).
    size_t Space() const;

    // Copies count bytes into dest and consumes them; false, taking nothing, when fewer are held.
    bool Read(void* dest, size_t count);
    // Stores count bytes when count < Space(); false, storing nothing, otherwise.
    bool Write(const void* source, size_t count);

private:
    size_t CountLocked() const;
    size_t SpaceLocked() const;

    mutable std::mutex mutex_;  // guards storage_, write_, read_
    std::vector<uint8_t> storage_;
    size_t capacity_;
    size_t write_ = 0;
    size_t read_ = 0;
};

}  // namespace tw::dvd
