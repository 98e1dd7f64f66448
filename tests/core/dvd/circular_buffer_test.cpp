// The ring between the DVD reader and the format library: capacity - 1 usable bytes, all or
// nothing in both directions, byte order kept across the wrap and across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

#include "dvd/circular_buffer.h"

namespace tw::dvd {
namespace {

std::vector<uint8_t> Sequence(size_t count, uint8_t start = 0) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

TEST(CircularBuffer, HoldsCapacityMinusOneAndRefusesWriteThatWouldFill) {
    TCircularBuffer ring(16);
    EXPECT_EQ(ring.Space(), 16u);
    const auto bytes = Sequence(16);
    EXPECT_FALSE(ring.Write(bytes.data(), 16));
    EXPECT_EQ(ring.Count(), 0u);
    ASSERT_TRUE(ring.Write(bytes.data(), 15));
    EXPECT_EQ(ring.Count(), 15u);
    EXPECT_FALSE(ring.Write(bytes.data(), 1));
    EXPECT_EQ(ring.Count(), 15u);

    std::vector<uint8_t> out(15);
    ASSERT_TRUE(ring.Read(out.data(), 15));
    EXPECT_EQ(out, Sequence(15));
    EXPECT_EQ(ring.Count(), 0u);
}

TEST(CircularBuffer, ReadAndWriteAreAllOrNothing) {
    TCircularBuffer ring(10);
    const auto bytes = Sequence(6);
    ASSERT_TRUE(ring.Write(bytes.data(), 6));
    std::vector<uint8_t> out(7, 0xEE);
    EXPECT_FALSE(ring.Read(out.data(), 7));
    EXPECT_EQ(out, std::vector<uint8_t>(7, 0xEE));
    EXPECT_EQ(ring.Count(), 6u);
    // Four more would leave no free byte: refused whole, not stored in part.
    EXPECT_FALSE(ring.Write(bytes.data(), 4));
    EXPECT_EQ(ring.Count(), 6u);
    ASSERT_TRUE(ring.Read(out.data(), 6));
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 6), bytes);
}

TEST(CircularBuffer, KeepsOrderAcrossTheWrapAndClears) {
    TCircularBuffer ring(10);
    std::vector<uint8_t> out(7);
    ASSERT_TRUE(ring.Write(Sequence(7).data(), 7));
    ASSERT_TRUE(ring.Read(out.data(), 7));
    // The indices stand at 7: the next seven bytes wrap round the end of the storage.
    const auto wrapped = Sequence(7, 100);
    ASSERT_TRUE(ring.Write(wrapped.data(), 7));
    EXPECT_EQ(ring.Count(), 7u);
    EXPECT_EQ(ring.Space(), 3u);
    ASSERT_TRUE(ring.Read(out.data(), 7));
    EXPECT_EQ(out, wrapped);

    ASSERT_TRUE(ring.Write(wrapped.data(), 5));
    ring.Clear();
    EXPECT_EQ(ring.Count(), 0u);
    EXPECT_EQ(ring.Space(), 10u);
    EXPECT_FALSE(ring.Read(out.data(), 1));
}

TEST(CircularBuffer, ConcurrentWriterAndReaderPassEveryByteInOrder) {
    TCircularBuffer ring(4099);
    constexpr size_t kTotal = 4 << 20;
    std::atomic<bool> refusedFull{false};
    std::jthread writer([&] {
        std::vector<uint8_t> chunk;
        size_t sent = 0;
        size_t size = 1;
        while (sent < kTotal) {
            // Chunk sizes vary so that reads and writes straddle the wrap at every offset.
            size = size % 1500 + 7;
            const size_t n = std::min(size, kTotal - sent);
            chunk.resize(n);
            for (size_t i = 0; i < n; ++i) {
                chunk[i] = static_cast<uint8_t>((sent + i) * 31 % 251);
            }
            while (!ring.Write(chunk.data(), n)) {
                refusedFull = true;
                std::this_thread::yield();
            }
            sent += n;
        }
    });
    size_t received = 0;
    size_t size = 3;
    std::vector<uint8_t> chunk;
    size_t mismatches = 0;
    while (received < kTotal) {
        size = size % 1100 + 5;
        const size_t n = std::min(size, kTotal - received);
        chunk.resize(n);
        if (!ring.Read(chunk.data(), n)) {
            EXPECT_LT(ring.Count(), ring.Capacity());
            std::this_thread::yield();
            continue;
        }
        for (size_t i = 0; i < n; ++i) {
            mismatches += chunk[i] != static_cast<uint8_t>((received + i) * 31 % 251);
        }
        received += n;
    }
    writer.join();
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(ring.Count(), 0u);
    EXPECT_LE(ring.Count(), ring.Capacity() - 1);
}

}  // namespace
}  // namespace tw::dvd
