#include "dvd/circular_buffer.h"

#include <algorithm>
#include <cstring>

#include "util/format.h"

namespace tw::dvd {

TCircularBuffer::TCircularBuffer(size_t capacity) : storage_(capacity, 0), capacity_(capacity) {
    TW_ASSERT(capacity > 0);
}

void TCircularBuffer::Clear() {
    std::lock_guard lock(mutex_);
    write_ = 0;
    read_ = 0;
}

size_t TCircularBuffer::Count() const {
    std::lock_guard lock(mutex_);
    return CountLocked();
}

size_t TCircularBuffer::Space() const {
    std::lock_guard lock(mutex_);
    return SpaceLocked();
}

size_t TCircularBuffer::CountLocked() const {
    return write_ >= read_ ? write_ - read_ : write_ + capacity_ - read_;
}

size_t TCircularBuffer::SpaceLocked() const {
    if (write_ == read_) {
        return capacity_;
    }
    return read_ > write_ ? read_ - write_ : read_ + capacity_ - write_;
}

bool TCircularBuffer::Read(void* dest, size_t count) {
    std::lock_guard lock(mutex_);
    if (CountLocked() < count) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    auto* out = static_cast<uint8_t*>(dest);
    const size_t first = std::min(count, capacity_ - read_);
    std::memcpy(out, storage_.data() + read_, first);
    std::memcpy(out + first, storage_.data(), count - first);
    read_ = (read_ + count) % capacity_;
    return true;
}

bool TCircularBuffer::Write(const void* source, size_t count) {
    std::lock_guard lock(mutex_);
    if (count >= SpaceLocked()) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    const auto* in = static_cast<const uint8_t*>(source);
    const size_t first = std::min(count, capacity_ - write_);
    std::memcpy(storage_.data() + write_, in, first);
    std::memcpy(storage_.data(), in + first, count - first);
    write_ = (write_ + count) % capacity_;
    return true;
}

}  // namespace tw::dvd
