// Conversions in segments against the same conversion in one piece, through the command line:
// the same pictures in the same places (a picture repeated or lost at a join falls far below
// the PSNR floor), the same lengths, timestamps that only rise, and, with a bit rate, about the
// same size.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "filters/default_font.h"
#include "filters/overlay_text_filter.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

extern char** environ;

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// Runs the command line with args; its exit status, its standard error in *errors.
int RunCli(const std::vector<std::string>& args, const std::string& errorFile,
           std::string* errors) {
    std::vector<char*> argv{const_cast<char*>(TW_CLI_PATH)};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, TW_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    waitpid(child, &status, 0);
    std::ifstream in(errorFile);
    errors->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct DecodedPictures {
    std::vector<std::vector<uint8_t>> luma;  // in output order, at the stream's size
    bool packetTimesRise = true;             // per stream, every dts above the one before
    bool pictureTimesRise = true;            // the decoded pictures' times
};

DecodedPictures DecodePictures(const std::string& path) {
    DecodedPictures result;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        ADD_FAILURE() << "cannot open " << path;
        return result;
    }
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> context(
        raw, [](AVFormatContext* c) { avformat_close_input(&c); });
    avformat_find_stream_info(context.get(), nullptr);
    const int video = av_find_best_stream(context.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) {
        ADD_FAILURE() << "no video in " << path;
        return result;
    }
    const AVCodecParameters* parameters = context->streams[video]->codecpar;
    AVCodecContext* decoder = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
    avcodec_parameters_to_context(decoder, parameters);
    avcodec_open2(decoder, decoder->codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    std::vector<int64_t> lastDts(context->nb_streams, AV_NOPTS_VALUE);
    int64_t lastPicture = AV_NOPTS_VALUE;
    auto drain = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            const int64_t time = frame->best_effort_timestamp;
            if (lastPicture != AV_NOPTS_VALUE && time <= lastPicture) {
                result.pictureTimesRise = false;
            }
            lastPicture = time;
            scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                          static_cast<AVPixelFormat>(frame->format), frame->width,
                                          frame->height, AV_PIX_FMT_GRAY8, SWS_POINT, nullptr,
                                          nullptr, nullptr);
            std::vector<uint8_t> plane(static_cast<size_t>(frame->width * frame->height));
            uint8_t* planes[4] = {plane.data(), nullptr, nullptr, nullptr};
            int strides[4] = {frame->width, 0, 0, 0};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
            result.luma.push_back(std::move(plane));
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(context.get(), packet) >= 0) {
        int64_t& last = lastDts[static_cast<size_t>(packet->stream_index)];
        if (packet->dts != AV_NOPTS_VALUE) {
            result.packetTimesRise =
                result.packetTimesRise && (last == AV_NOPTS_VALUE || packet->dts > last);
            last = packet->dts;
        }
        if (packet->stream_index == video) {
            avcodec_send_packet(decoder, packet);
            drain();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    drain();
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    return result;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.size());
    return mse == 0 ? 100.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

struct SegmentCase {
    const char* name;
    std::vector<std::string> args;  // the conversion's settings, for both runs
    const char* extension;
    bool bitRate = false;       // the settings ask for a bit rate: sizes compare
    bool variableRate = false;  // the source's pictures come at uneven times
    // Rate control that starts afresh in every segment needs a few seconds to settle on its
    // bit rate, as it does at the start of the whole conversion.
    const char* segmentSeconds = "2";
};

void PrintTo(const SegmentCase& c, std::ostream* os) {
    *os << c.name;
}

std::string TextChain() {
    TOverlayTextFilter text;
    text.SetText("Segment test");
    text.SetFontFile(filters::DefaultFontFile());
    text.SetFontSize(20);
    text.SetX(10);
    text.SetY(10);
    return text.GetFilterText();
}

class SegmentedOutput : public ::testing::TestWithParam<SegmentCase> {
protected:
    TempFolder folder_;
    ScopedEnv cache_{"XDG_CACHE_HOME", folder_ / "cache"};
};

TEST_P(SegmentedOutput, MatchesTheConversionInOnePiece) {
    const SegmentCase& c = GetParam();
    ClipDescription clip;
    clip.durationSec = 10;
    clip.gopSize = 25;
    if (c.variableRate) {
        for (double at = 0; at < 10; at += (static_cast<int>(at * 100) % 3 == 0 ? 0.03 : 0.05)) {
            clip.frameTimesSec.push_back(at);
        }
    }
    const std::string source = folder_ / "source.mkv";
    GenerateClip(clip, source);

    const std::string whole = folder_ / (std::string("whole") + c.extension);
    const std::string joined = folder_ / (std::string("joined") + c.extension);
    std::vector<std::string> onePiece = c.args;
    onePiece.insert(onePiece.end(), {"--segments", "1", source, whole});
    std::vector<std::string> segmented = c.args;
    segmented.insert(segmented.end(), {"-v", "--segments", "2", "--segment-length",
                                       std::string(c.segmentSeconds), source, joined});
    std::string errors;
    ASSERT_EQ(RunCli(onePiece, folder_ / "whole.log", &errors), 0) << errors;
    ASSERT_EQ(RunCli(segmented, folder_ / "joined.log", &errors), 0) << errors;
    EXPECT_NE(errors.find(std::string("segments of about ") + c.segmentSeconds + " s"),
              std::string::npos)
        << errors;
    EXPECT_FALSE(fs::exists(folder_ / "cache/TidewellSoft/VideoConverter/segments") &&
                 !fs::is_empty(folder_ / "cache/TidewellSoft/VideoConverter/segments"))
        << "the segments outlived the finished conversion";

    const DecodedPictures expected = DecodePictures(whole);
    const DecodedPictures actual = DecodePictures(joined);
    ASSERT_EQ(actual.luma.size(), expected.luma.size());
    ASSERT_GT(expected.luma.size(), 50u);
    for (size_t i = 0; i < expected.luma.size(); ++i) {
        ASSERT_GE(Psnr(expected.luma[i], actual.luma[i]), 35.0) << "picture " << i;
    }
    EXPECT_TRUE(actual.packetTimesRise);
    EXPECT_TRUE(actual.pictureTimesRise);

    const MediaInfo one = InspectMedia(whole);
    const MediaInfo parts = InspectMedia(joined);
    const StreamInfo& video = one.First(StreamKind::Video);
    const double picture = video.avgFrameRate.num > 0 ? av_q2d(av_inv_q(video.avgFrameRate)) : 0.04;
    EXPECT_NEAR(parts.First(StreamKind::Video).durationSec, video.durationSec, picture * 1.01);
    ASSERT_EQ(parts.CountOf(StreamKind::Audio), one.CountOf(StreamKind::Audio));
    if (one.CountOf(StreamKind::Audio) > 0) {
        EXPECT_NEAR(parts.First(StreamKind::Audio).durationSec,
                    one.First(StreamKind::Audio).durationSec, 0.02);
    }
    if (c.bitRate) {
        const double ratio =
            static_cast<double>(fs::file_size(joined)) / static_cast<double>(fs::file_size(whole));
        EXPECT_NEAR(ratio, 1.0, 0.10);
    }
}

const std::vector<std::string> kH264 = {"--set", "VideoOptions.EncoderVideoCodecName=libx264",
                                        "--set", "VideoOptions.Bitrate=400000"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SegmentedOutput,
    ::testing::Values(
        SegmentCase{"Mpeg4DeviceMp4", {"--profile", "IPod 320x240 Video"}, ".mp4", true},
        SegmentCase{"H264Mkv", kH264, ".mkv", true, false, "4"},
        SegmentCase{"H264Mp4", kH264, ".mp4", true, false, "4"},
        SegmentCase{"Cut",
                    {"--profile", "IPod 320x240 Video", "--start", "1.3", "--duration", "6.5"},
                    ".mp4",
                    true},
        SegmentCase{"TextOverlay", With(kH264, {"--filters", TextChain()}), ".mkv", true, false,
                    "4"},
        SegmentCase{"VariableRateSource", kH264, ".mkv", false, true}),
    [](const ::testing::TestParamInfo<SegmentCase>& info) { return info.param.name; });

// The parts the manifest of the one conversion in the cache lists as converted whole.
size_t FinishedParts(const fs::path& cache) {
    const fs::path base = cache / "TidewellSoft/VideoConverter/segments";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(base, error)) {
        std::ifstream in(entry.path() / "manifest.json");
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        size_t count = 0;
        for (size_t at = text.find("segment-"); at != std::string::npos;
             at = text.find("segment-", at + 1)) {
            ++count;
        }
        return count;
    }
    return 0;
}

// The file name of a kept part of the one conversion in the cache; empty when there is none.
fs::path KeptPart(const fs::path& cache, const std::string& name) {
    std::error_code error;
    for (const auto& entry :
         fs::directory_iterator(cache / "TidewellSoft/VideoConverter/segments", error)) {
        if (fs::exists(entry.path() / name)) {
            return entry.path() / name;
        }
    }
    return {};
}

TEST(SegmentedResume, AConversionKilledMidwayConvertsOnlyTheMissingOrDamagedSegments) {
    TempFolder folder;
    ScopedEnv cache("XDG_CACHE_HOME", folder / "cache");
    ClipDescription clip;
    clip.durationSec = 20;
    clip.gopSize = 25;
    const std::string source = folder / "source.mkv";
    GenerateClip(clip, source);
    const std::string target = folder / "joined.mp4";
    const std::vector<std::string> args = {"-v",
                                           "--set",
                                           "VideoOptions.EncoderVideoCodecName=libx264",
                                           "--option",
                                           "preset=slow",
                                           "--segments",
                                           "2",
                                           "--segment-length",
                                           "1",
                                           source,
                                           target};
    constexpr size_t kSegments = 20;

    // The first run is killed, workers and all, once 60 % of the segments are whole.
    std::vector<char*> argv{const_cast<char*>(TW_CLI_PATH)};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t first = fork();
    if (first == 0) {
        setpgid(0, 0);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        execv(TW_CLI_PATH, argv.data());
        _exit(127);
    }
    setpgid(first, first);
    size_t kept = 0;
    int status = 0;
    while (waitpid(first, &status, WNOHANG) == 0) {
        kept = FinishedParts(folder.Path() / "cache");
        if (kept >= kSegments * 6 / 10) {
            kill(-first, SIGKILL);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    waitpid(first, &status, 0);
    ASSERT_FALSE(fs::exists(target)) << "the first run ended before it could be cut short";
    ASSERT_GE(kept, kSegments * 6 / 10);
    // One kept part is damaged (cut short) meanwhile: it is found out and converted again.
    const fs::path damaged = KeptPart(folder.Path() / "cache", "segment-0001.mp4");
    ASSERT_FALSE(damaged.empty());
    fs::resize_file(damaged, fs::file_size(damaged) / 2);

    std::string errors;
    ASSERT_EQ(RunCli(args, folder / "second.log", &errors), 0) << errors;
    const size_t resumedAt = errors.find("Resuming: ");
    ASSERT_NE(resumedAt, std::string::npos) << errors;
    // Every part kept whole is taken, none converted again: with at most two segments under way
    // when the first run was killed, and the damaged one, no more than 23 of 20 segments'
    // pictures (1.15 times the source's) were encoded in all.
    const std::string line = errors.substr(resumedAt, errors.find('\n', resumedAt) - resumedAt);
    EXPECT_GE(std::stoul(line.substr(10)), kept - 1) << line;
    EXPECT_NE(line.find(" of 20 segments done"), std::string::npos) << line;

    // The output is the conversion in one piece.
    const std::string whole = folder / "whole.mp4";
    std::vector<std::string> onePiece(args.begin(), args.end() - 2);
    onePiece.insert(onePiece.end(), {"--segments", "1", source, whole});
    ASSERT_EQ(RunCli(onePiece, folder / "whole.log", &errors), 0) << errors;
    const DecodedPictures expected = DecodePictures(whole);
    const DecodedPictures actual = DecodePictures(target);
    ASSERT_EQ(actual.luma.size(), expected.luma.size());
    for (size_t i = 0; i < expected.luma.size(); ++i) {
        ASSERT_GE(Psnr(expected.luma[i], actual.luma[i]), 35.0) << "picture " << i;
    }
    EXPECT_TRUE(actual.packetTimesRise);
}

}  // namespace
}  // namespace tw::test
