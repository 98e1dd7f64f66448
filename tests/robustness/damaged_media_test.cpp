// Sources damaged the ways downloads and failing disks damage them, in every container users
// bring: cut short at many points (headers, first packets, mid-stream, index), bits flipped in
// headers and in payload, a lost sector, empty and random files under media names, a text file
// under a video name. Every conversion ends within its time limit, either complete with a file
// that plays or with a clear message; no worker is left behind. The preview opens each source or
// refuses it, plays a second, seeks and closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "media/library.h"
#include "preview/ff_push_source.h"
#include "support/container_clips.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Damage {
    std::string name;
    std::string bytes;
};

std::vector<Damage> Damages(const std::string& clean, uint32_t seed) {
    std::vector<Damage> damages;
    const size_t size = clean.size();
    const auto cut = [&](const std::string& name, size_t length) {
        damages.push_back({name, clean.substr(0, std::min(length, size))});
    };
    cut("header-64", 64);
    cut("header-512", 512);
    cut("first-packets", size / 20);
    for (int percent : {25, 50, 75, 90}) {
        cut("cut-" + std::to_string(percent), size * static_cast<size_t>(percent) / 100);
    }
    // The end of the file holds the index of some containers.
    cut("end-16", size - 16);
    cut("end-1", size - 1);

    std::mt19937 random(seed);
    const auto flip = [&](const std::string& name, size_t from, size_t to, int count) {
        std::string bytes = clean;
        std::uniform_int_distribution<size_t> where(from, std::max(from, std::min(to, size) - 1));
        for (int i = 0; i < count; ++i) {
            bytes[where(random)] ^= static_cast<char>(1u << (random() % 8));
        }
        damages.push_back({name, bytes});
    };
    for (int i = 0; i < 3; ++i) {
        flip("header-flips-" + std::to_string(i), 0, 1024, 8);
        flip("payload-flips-" + std::to_string(i), 1024, size, 40);
    }
    std::string lost = clean;
    std::fill(lost.begin() + static_cast<std::ptrdiff_t>(size / 3),
              lost.begin() + static_cast<std::ptrdiff_t>(std::min(size, size / 3 + 4096)), '\0');
    damages.push_back({"lost-sector", lost});
    return damages;
}

// A conversion of source either completes with a file that plays or fails with a message the
// user was shown; it ends in time and leaves no worker registered. Returns whether it completed.
bool ExpectCleanEnd(const std::string& source, const std::string& target) {
    ConversionRunner runner;
    const ConversionOutcome outcome = runner.Run({source}, {target}, 60s);
    if (!outcome.finished) {
        ADD_FAILURE() << "the conversion did not end";
        return false;
    }
    EXPECT_EQ(media::RegisteredLogThreads(), 0u);
    EXPECT_EQ(runner.Converter().State(), TAVConverter::RunState::Idle);
    if (!outcome.errorMessage.empty()) {
        EXPECT_EQ(outcome.errorEvents, 1);
        EXPECT_TRUE(std::any_of(
            outcome.messages.begin(), outcome.messages.end(),
            [&](const std::string& shown) { return shown.rfind(outcome.errorMessage, 0) == 0; }))
            << outcome.errorMessage;
        return false;
    }
    EXPECT_EQ(outcome.completeEvents, 1);
    int64_t frames = 0;
    try {
        for (const StreamInfo& stream : InspectMedia(target).streams) {
            frames += stream.decodedFrameCount;
        }
    } catch (const std::exception& e) {
        ADD_FAILURE() << "reported complete, but the output does not open: " << e.what();
    }
    EXPECT_GT(frames, 0) << "reported complete, but the output holds nothing to play";
    return true;
}

// The preview either refuses source or plays its first second, seeks back and closes.
void ExpectPreviewCopes(const std::string& source) {
    preview::TFFPushSource preview;
    if (!preview.Load(source)) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    bool picturesEnded = !preview.HasVideo();
    bool soundEnded = !preview.HasAudio();
    double played = 0;
    while (!(picturesEnded && soundEnded) && played < 1.0) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the preview stalled";
        for (auto [deliver, ended] :
             {std::pair{&preview::TFFPushSource::DeliverVideo, &picturesEnded},
              std::pair{&preview::TFFPushSource::DeliverAudio, &soundEnded}}) {
            if (*ended) {
                continue;
            }
            const preview::Delivered delivered = (preview.*deliver)();
            *ended = delivered.result == preview::Delivery::EndOfStream;
            if (delivered.sample) {
                played = std::max(played, delivered.sample->Start());
            }
        }
    }
    const int64_t half = 5000000;  // 0.5 s in 100-ns units
    preview.SetPositions(&half, preview::kAbsolutePositioning, nullptr, preview::kNoPositioning);
    preview.DeliverVideo();
    preview.DeliverAudio();
}

class DamagedMedia : public ::testing::TestWithParam<ContainerClip> {};

TEST_P(DamagedMedia, EveryDamageEndsCleanly) {
    TempFolder folder;
    const ContainerClip& c = GetParam();
    const std::string clean = folder / ("clean" + c.extension);
    GenerateClip(c.clip, clean);
    const std::string bytes = ReadFileBytes(clean);
    const std::vector<Damage> damages = Damages(bytes, 1);
    int completed = 0;
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const std::string source = folder / (damage.name + c.extension);
        WriteFileBytes(source, damage.bytes);
        completed += ExpectCleanEnd(source, folder / (damage.name + "-out.avi")) ? 1 : 0;
        ExpectPreviewCopes(source);
        fs::remove(folder / (damage.name + "-out.avi"));
    }
    std::printf("%s: %zu damaged sources, %d converted what was left, %zu refused\n",
                c.extension.c_str(), damages.size(), completed, damages.size() - completed);
}

INSTANTIATE_TEST_SUITE_P(Containers, DamagedMedia,
                         ::testing::ValuesIn(ContainerClips(128, 96, 1.0)),
                         [](const auto& info) { return info.param.extension.substr(1); });

TEST(DamagedMedia, EmptyRandomAndTextFilesUnderMediaNames) {
    TempFolder folder;
    std::mt19937 random(99);
    std::string noise(64 * 1024, '\0');
    for (char& byte : noise) {
        byte = static_cast<char>(random());
    }
    const std::string text = "Shopping list:\n- milk\n- bread\n";
    for (const ContainerClip& c : ContainerClips(16, 16, 0.1)) {
        for (const auto& [name, bytes] : {std::pair{"empty", std::string()},
                                          std::pair{"random", noise}, std::pair{"text", text}}) {
            SCOPED_TRACE(name + c.extension);
            const std::string source = folder / (name + c.extension);
            WriteFileBytes(source, bytes);
            ExpectCleanEnd(source, folder / "out.avi");
            ExpectPreviewCopes(source);
        }
    }
}

// Found by the suite above: a source whose every stream names a codec no decoder takes loaded,
// and its demux thread then waited for room in queues nothing would ever fill.
TEST(DamagedMedia, PreviewRefusesASourceNoDecoderTakes) {
    TempFolder folder;
    ContainerClip c = ContainerClips(64, 48, 0.4)[1];  // Matroska: codecs named by text
    GenerateClip(c.clip, folder / "clean.mkv");
    std::string bytes = ReadFileBytes(folder / "clean.mkv");
    for (const auto& [known, unknown] :
         {std::pair{"V_MPEG4/ISO/AVC", "V_MPEG4/ISO/XYZ"}, std::pair{"A_OPUS", "A_XYZW"}}) {
        const size_t at = bytes.find(known);
        ASSERT_NE(at, std::string::npos) << known;
        bytes.replace(at, std::string(unknown).size(), unknown);
    }
    WriteFileBytes(folder / "unknown.mkv", bytes);
    preview::TFFPushSource preview;
    EXPECT_FALSE(preview.Load(folder / "unknown.mkv"));
}

// Found by the suite above: a header whose video clock ticks every 2.7 years made a run into a
// container of constant rate hold each picture for its time, writing without end.
TEST(DamagedMedia, StreamWhoseClockTicksAreYearsLongIsLeftOut) {
    TempFolder folder;
    const ContainerClip c = ContainerClips(64, 48, 0.4)[2];  // AVI: the rate stands in the header
    GenerateClip(c.clip, folder / "clean.avi");
    std::string bytes = ReadFileBytes(folder / "clean.avi");
    size_t header = bytes.find("strh");
    while (header != std::string::npos && bytes.compare(header + 8, 4, "vids") != 0) {
        header = bytes.find("strh", header + 4);
    }
    ASSERT_NE(header, std::string::npos);
    const uint32_t scale = 2000000000;  // seconds per tick = scale / rate
    const uint32_t rate = 24;
    bytes.replace(header + 28, 4, reinterpret_cast<const char*>(&scale), 4);
    bytes.replace(header + 32, 4, reinterpret_cast<const char*>(&rate), 4);
    WriteFileBytes(folder / "years.avi", bytes);

    ConversionRunner runner;
    const ConversionOutcome outcome =
        runner.Run({folder / "years.avi"}, {folder / "out.avi"}, std::chrono::seconds(60));
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.errorMessage, "");
    const MediaInfo out = InspectMedia(folder / "out.avi");
    EXPECT_EQ(out.streams.size(), 1u);
    EXPECT_GT(out.First(StreamKind::Audio).decodedFrameCount, 0);
}

}  // namespace
}  // namespace tw::test
