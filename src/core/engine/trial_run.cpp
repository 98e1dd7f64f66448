#include "engine/trial_run.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <filesystem>

#include "media/av_ptr.h"

namespace tw::engine {

Span TrialSample(const Span& span) {
    if (span.lengthUs <= kTrialSampleUs) {
        return span;
    }
    return {span.startUs + (span.lengthUs - kTrialSampleUs) / 2, kTrialSampleUs};
}

std::string TrialSampleName(const std::string& target) {
    const std::filesystem::path path(target);
    return (path.parent_path() / (path.stem().string() + ".sample" + path.extension().string()))
        .string();
}

TrialPrediction PredictFromTrial(const TrialFigures& figures, double spanSeconds) {
    if (figures.sampleSeconds <= 0) {
        return {figures.sampleFileBytes, figures.sampleWallSeconds};
    }
    const double scale = spanSeconds / figures.sampleSeconds;
    // What the container adds beyond the packets: a fixed header, and per packet an index entry
    // and framing, which grow with the length as the packets do. Half of it is taken as fixed,
    // half as growing: the header of a short sample weighs more than in the whole.
    const double overhead = static_cast<double>(
        std::max<int64_t>(0, figures.sampleFileBytes - figures.samplePayloadBytes));
    const double size = static_cast<double>(figures.samplePayloadBytes) * scale + overhead / 2 +
                        overhead / 2 * scale;
    const double setup = std::clamp(figures.sampleSetupSeconds, 0.0, figures.sampleWallSeconds);
    return {static_cast<int64_t>(size), setup + (figures.sampleWallSeconds - setup) * scale};
}

std::optional<double> MediaSeconds(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return std::nullopt;
    }
    media::InputFormatPtr input(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0 || raw->duration <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(raw->duration) / AV_TIME_BASE;
}

std::optional<MediaExtent> ReadMediaExtent(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return std::nullopt;
    }
    media::InputFormatPtr input(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        return std::nullopt;
    }
    MediaExtent extent;
    extent.seconds = raw->duration > 0 ? static_cast<double>(raw->duration) / AV_TIME_BASE : 0;
    media::PacketPtr packet = media::MakePacket();
    while (av_read_frame(raw, packet.get()) >= 0) {
        extent.payloadBytes += packet->size;
        av_packet_unref(packet.get());
    }
    return extent;
}

}  // namespace tw::engine
