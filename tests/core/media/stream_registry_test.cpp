// "stream:N" URLs: the number's form, the take-over on first open, and the AVIOContext over the
// stream as the format library uses it (read, seek, size, a whole demux).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/av_ptr.h"
#include "media/stream_registry.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "util/av_error.h"

namespace tw::media {
namespace {

// A stream over bytes in memory; counts its own destruction.
class MemoryStream : public TStream {
public:
    MemoryStream(std::string bytes, int* destroyed = nullptr)
        : bytes_(std::move(bytes)), destroyed_(destroyed) {}
    ~MemoryStream() override {
        if (destroyed_) {
            ++*destroyed_;
        }
    }
    int64_t Read(void* buffer, int64_t count) override {
        const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(bytes_.size()) - position_);
        if (n <= 0) {
            return 0;
        }
        std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
        position_ += n;
        return n;
    }
    int64_t Seek(int64_t offset, SeekOrigin origin) override {
        const int64_t size = static_cast<int64_t>(bytes_.size());
        const int64_t base = origin == SeekOrigin::Beginning
                                 ? 0
                                 : (origin == SeekOrigin::Current ? position_ : size);
        if (base + offset < 0) {
            return -1;
        }
        position_ = std::min(base + offset, size);
        return position_;
    }
    int64_t GetSize() override {
        ++sizeQueries;
        return static_cast<int64_t>(bytes_.size());
    }
    int sizeQueries = 0;

private:
    std::string bytes_;
    int64_t position_ = 0;
    int* destroyed_;
};

TEST(StreamUrl, NumberFollowedByNothingOrAnExtension) {
    EXPECT_EQ(ParseStreamUrl("stream:12345678.vob"), 12345678);
    EXPECT_EQ(ParseStreamUrl("stream:7"), 7);
    EXPECT_EQ(ParseStreamUrl("stream:7.mpg.part"), 7);
    EXPECT_EQ(StreamUrl(42), "stream:42");
    EXPECT_TRUE(IsStreamUrl("stream:x"));
    EXPECT_FALSE(IsStreamUrl("/videos/stream:1"));
    for (const char* bad :
         {"stream:", "stream:.vob", "stream:abc", "stream:-5", "stream:+5", "stream: 5",
          "stream:12abc", "stream:99999999999", "Stream:5", "file:5"}) {
        EXPECT_EQ(ParseStreamUrl(bad), std::nullopt) << bad;
    }
}

TEST(StreamUrl, FirstOpenTakesTheStreamOverAndClosingFreesIt) {
    int destroyed = 0;
    const size_t before = RegisteredStreamCount();
    const int number = RegisterStream(std::make_unique<MemoryStream>("abc", &destroyed));
    const int other = RegisterStream(std::make_unique<MemoryStream>("xyz", &destroyed));
    EXPECT_NE(number, other);
    EXPECT_EQ(RegisteredStreamCount(), before + 2);
    {
        StreamInput input = OpenStreamUrl(StreamUrl(number) + ".vob");
        ASSERT_TRUE(input);
        EXPECT_EQ(RegisteredStreamCount(), before + 1);
        try {
            OpenStreamUrl(StreamUrl(number));
            FAIL() << "a second open of the same URL must be refused";
        } catch (const EAVError& error) {
            EXPECT_NE(std::string(error.what()).find(StreamUrl(number)), std::string::npos);
        }
        StreamInput moved = std::move(input);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_TRUE(DiscardStream(other));
    EXPECT_FALSE(DiscardStream(other));
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(RegisteredStreamCount(), before);
}

TEST(StreamUrl, MalformedOrUnknownNumberIsAClearError) {
    for (const std::string url : {"stream:abc", "stream:", "stream:2147483647"}) {
        try {
            OpenStreamUrl(url);
            FAIL() << url;
        } catch (const EAVError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("Can not open " + url, 0), 0u)
                << error.what();
        }
    }
}

TEST(StreamUrl, IoContextReadsSeeksAndTellsTheSize) {
    std::string bytes(100000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 % 253);
    }
    auto owned = std::make_unique<MemoryStream>(bytes);
    MemoryStream* stream = owned.get();
    StreamInput input = OpenStreamUrl(StreamUrl(RegisterStream(std::move(owned))));
    // The size was asked for before the library could seek.
    EXPECT_EQ(stream->sizeQueries, 1);
    AVIOContext* io = input.IoContext();
    EXPECT_EQ(avio_size(io), 100000);
    std::string out(5000, '\0');
    ASSERT_EQ(avio_read(io, reinterpret_cast<unsigned char*>(out.data()), 5000), 5000);
    EXPECT_EQ(out, bytes.substr(0, 5000));
    ASSERT_EQ(avio_seek(io, 77777, SEEK_SET), 77777);
    ASSERT_EQ(avio_read(io, reinterpret_cast<unsigned char*>(out.data()), 5000), 5000);
    EXPECT_EQ(out, bytes.substr(77777, 5000));
    ASSERT_EQ(avio_seek(io, 99990, SEEK_SET), 99990);
    EXPECT_EQ(avio_read(io, reinterpret_cast<unsigned char*>(out.data()), 5000), 10);
    EXPECT_EQ(avio_read(io, reinterpret_cast<unsigned char*>(out.data()), 5000), AVERROR_EOF);
    EXPECT_TRUE(avio_feof(io));
}

TEST(StreamUrl, FormatLibraryDemuxesAStreamObjectLikeTheFile) {
    test::TempFolder folder;
    test::ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = 2.0;
    const std::string path = folder / "clip.mkv";
    test::GenerateClip(clip, path);
    const test::MediaInfo expected = test::InspectMedia(path);

    StreamInput input = OpenStreamUrl(
        StreamUrl(RegisterStream(std::make_unique<MemoryStream>(test::ReadFileBytes(path)))));
    AVFormatContext* raw = avformat_alloc_context();
    ASSERT_NE(raw, nullptr);
    raw->pb = input.IoContext();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    ASSERT_EQ(avformat_open_input(&raw, "stream:1.mkv", nullptr, nullptr), 0);
    InputFormatPtr context(raw);
    ASSERT_GE(avformat_find_stream_info(context.get(), nullptr), 0);
    ASSERT_EQ(context->nb_streams, expected.streams.size());
    EXPECT_NEAR(static_cast<double>(context->duration) / AV_TIME_BASE, expected.durationSec, 0.05);

    PacketPtr packet = MakePacket();
    int64_t packets = 0;
    int64_t bytes = 0;
    while (av_read_frame(context.get(), packet.get()) >= 0) {
        ++packets;
        bytes += packet->size;
        av_packet_unref(packet.get());
    }
    int64_t expectedPackets = 0;
    int64_t expectedBytes = 0;
    for (const test::StreamInfo& s : expected.streams) {
        expectedPackets += s.packetCount;
        expectedBytes += s.totalPacketBytes;
    }
    EXPECT_EQ(packets, expectedPackets);
    EXPECT_EQ(bytes, expectedBytes);
    // Seeking back to the start works through the stream's Seek.
    ASSERT_GE(av_seek_frame(context.get(), -1, 0, AVSEEK_FLAG_BACKWARD), 0);
    ASSERT_GE(av_read_frame(context.get(), packet.get()), 0);
    av_packet_unref(packet.get());
}

}  // namespace
}  // namespace tw::media
