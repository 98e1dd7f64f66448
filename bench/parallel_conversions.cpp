// Wall time of one conversion alone against two of the same at once (each on its own converter
// and worker thread). Prints the figures; run it by hand:
//   build/bench/parallel_conversions [seconds-of-source]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/converter.h"
#include "platform/message_service.h"
#include "platform/ui_dispatcher.h"

namespace {

std::string Source(double seconds) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "testsrc2=size=640x360:rate=25:duration=%g[out0];"
                  "sine=frequency=440:sample_rate=48000:duration=%g[out1]",
                  seconds, seconds);
    return text;
}

double Convert(int count, double seconds, const std::filesystem::path& folder) {
    tw::platform::LoopDispatcher dispatcher;
    std::vector<std::unique_ptr<tw::TAVConverter>> converters;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        auto converter = std::make_unique<tw::TAVConverter>(&dispatcher);
        converter->ConvertOptions().SetInputFormat("lavfi");
        converter->SetInputFiles({Source(seconds)});
        converter->SetOutputFiles({(folder / ("bench" + std::to_string(i) + ".mp4")).string()});
        converter->Start();
        converters.push_back(std::move(converter));
    }
    dispatcher.RunUntil(
        [&] {
            for (const auto& c : converters) {
                if (c->IsWorking()) {
                    return false;
                }
            }
            return true;
        },
        std::chrono::hours(1));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const auto& c : converters) {
        if (!c->ErrorMessage().empty()) {
            std::fprintf(stderr, "conversion failed: %s\n", c->ErrorMessage().c_str());
            std::exit(1);
        }
    }
    return wall;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tidewell-bench";
    std::filesystem::create_directories(folder);
    tw::platform::StderrMessageService messages;
    tw::platform::ScopedMessageService install(messages);

    Convert(1, 2, folder);  // warm-up
    const double one = Convert(1, seconds, folder);
    const double two = Convert(2, seconds, folder);
    std::printf("source: %.0f s of 640x360 25 fps video with 48 kHz audio -> H.264/AAC MP4\n",
                seconds);
    std::printf("one conversion alone:  %.2f s wall\n", one);
    std::printf(
        "two conversions at once: %.2f s wall (%.2f x the single run; 2.00 would be no "
        "overlap)\n",
        two, two / one);
    std::filesystem::remove_all(folder);
    return 0;
}
