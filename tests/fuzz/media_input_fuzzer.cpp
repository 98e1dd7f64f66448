// Bytes given as a media file: the engine's input setup (probing, stream setup, decoders) and
// the first packets of the loop, into the null muxer, either run or fail with the engine's
// error, without a fault.

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/conversion_run.h"
#include "fuzz_support.h"
#include "media/library.h"
#include "media/stream_registry.h"
#include "util/av_error.h"

namespace {

// The input as a seekable stream behind a "stream:" address, as a DVD title reaches the engine.
class MemoryStream : public tw::media::TStream {
public:
    MemoryStream(const uint8_t* data, size_t size) : bytes_(data, data + size) {}

    int64_t Read(void* buffer, int64_t count) override {
        const int64_t left = static_cast<int64_t>(bytes_.size()) - position_;
        const int64_t n = std::max<int64_t>(0, std::min(count, left));
        if (n > 0) {
            std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
        }
        position_ += n;
        return n;
    }
    int64_t Seek(int64_t offset, SeekOrigin origin) override {
        const int64_t base = origin == SeekOrigin::Beginning ? 0
                             : origin == SeekOrigin::Current ? position_
                                                             : static_cast<int64_t>(bytes_.size());
        const int64_t target = base + offset;
        if (target < 0 || target > static_cast<int64_t>(bytes_.size())) {
            return -1;
        }
        position_ = target;
        return position_;
    }
    int64_t GetSize() override { return static_cast<int64_t>(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
    int64_t position_ = 0;
};

// Stops the loop after a few passes; everything else is ignored.
class FewPasses : public tw::engine::RunHost {
public:
    void Log(int, const std::string&) override {}
    void ShowError(const std::string&) override {}
    void SetDuration(double) override {}
    void SetConvertedDuration(double) override {}
    void LoopStarting() override {}
    bool Pass() override { return ++passes_ <= kPasses; }
    bool StopRequested() const override { return passes_ > kPasses; }
    bool ReportDue(bool) override { return false; }
    void Report(int64_t, int64_t, double) override {}
    void Converted() override {}
    void EndedEarly(double, double) override {}
    void WatchLibraryErrors() override {}
    std::string WatchedLibraryError() const override { return {}; }

private:
    static constexpr int kPasses = 48;
    int passes_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tw::fuzz::QuietProcess();
    static tw::media::LibraryUse libraries;
    const int number = tw::media::RegisterStream(std::make_unique<MemoryStream>(data, size));
    tw::TAVConvertOptions options;
    options.SetOutputFormat("null");
    options.SetThreadCount(1);
    // Pictures of absurd size say nothing more about the input code than small ones.
    options.SetCodecOption("max_pixels", "1048576");
    FewPasses host;
    try {
        tw::engine::ConversionRun run(host, options, {tw::media::StreamUrl(number)}, {"/dev/null"});
        run.Open();
        run.Transcode();
    } catch (const tw::EAVError&) {
    }
    tw::media::DiscardStream(number);
    TW_FUZZ_CHECK(tw::media::RegisteredStreamCount() == 0, "a stream was left registered");
    return 0;
}
