// "stream:" addresses: parsing agrees with the address form, and opening any text either takes
// over a live stream or fails with the engine's error, leaving other streams registered.

#include <cstring>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "media/library.h"
#include "media/stream_registry.h"
#include "util/av_error.h"

namespace {

class EmptyStream : public tw::media::TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Seek(int64_t offset, SeekOrigin origin) override {
        return origin == SeekOrigin::Beginning && offset == 0 ? 0 : -1;
    }
    int64_t GetSize() override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tw::fuzz::QuietProcess();
    static tw::media::LibraryUse libraries;
    const std::string url(tw::fuzz::AsText(data, size));

    const auto number = tw::media::ParseStreamUrl(url);
    if (number) {
        TW_FUZZ_CHECK(tw::media::IsStreamUrl(url), url);
        TW_FUZZ_CHECK(*number >= 0, url);
        TW_FUZZ_CHECK(tw::media::ParseStreamUrl(tw::media::StreamUrl(*number)) == number, url);
    }
    if (!tw::media::IsStreamUrl(url)) {
        TW_FUZZ_CHECK(!number, url);
    }

    // One live stream; the text may or may not name it.
    const int live = tw::media::RegisterStream(std::make_unique<EmptyStream>());
    const size_t before = tw::media::RegisteredStreamCount();
    bool opened = false;
    try {
        tw::media::StreamInput input = tw::media::OpenStreamUrl(url);
        opened = static_cast<bool>(input);
        TW_FUZZ_CHECK(opened && number == live, url);
    } catch (const tw::EAVError&) {
    }
    TW_FUZZ_CHECK(tw::media::RegisteredStreamCount() == before - (opened ? 1 : 0), url);
    TW_FUZZ_CHECK(tw::media::DiscardStream(live) == !opened, url);
    return 0;
}
