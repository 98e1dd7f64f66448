// Conversions in segments against the same conversion in one piece, through the command line:
// the same pictures in the same places (a picture repeated or lost at a join falls far below
// the PSNR floor), the same lengths, timestamps that only rise, and, with a bit rate, about the
// same size.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
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
#include "jobs/spare_worker.h"
#include "segments/host_jobs.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/ssh_server.h"
#include "util/av_error.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// Runs the command line with args; its exit status, its standard error in *errors. With a
// fileSizeLimit (bytes) every file it and its workers write stops there, as on a full disk.
// whileRunning, when given, is called with its process id once it started.
int RunCli(const std::vector<std::string>& args, const std::string& errorFile, std::string* errors,
           rlim_t fileSizeLimit = RLIM_INFINITY,
           const std::function<void(pid_t)>& whileRunning = {}) {
    std::vector<char*> argv{const_cast<char*>(TW_CLI_PATH)};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || in < 0 || dup2(out, STDERR_FILENO) < 0 || dup2(in, STDIN_FILENO) < 0) {
            _exit(127);
        }
        if (fileSizeLimit != RLIM_INFINITY) {
            // A write past the limit fails with "File too large" instead of ending the writer.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execv(TW_CLI_PATH, argv.data());
        _exit(127);
    }
    if (child < 0) {
        return -1;
    }
    if (whileRunning) {
        whileRunning(child);
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

// The joined target shows the pictures of the one-piece one, as many, each close to its own;
// its packets' and pictures' times rise.
void ExpectPicturesOfOnePiece(const std::string& whole, const std::string& joined) {
    const DecodedPictures expected = DecodePictures(whole);
    const DecodedPictures actual = DecodePictures(joined);
    ASSERT_EQ(actual.luma.size(), expected.luma.size());
    ASSERT_GT(expected.luma.size(), 50u);
    for (size_t i = 0; i < expected.luma.size(); ++i) {
        ASSERT_GE(Psnr(expected.luma[i], actual.luma[i]), 35.0) << "picture " << i;
    }
    EXPECT_TRUE(actual.packetTimesRise);
    EXPECT_TRUE(actual.pictureTimesRise);
}

// The test pattern for seconds, a key picture each second: "source.mkv" in folder.
std::string SegmentSource(const TempFolder& folder, double seconds) {
    ClipDescription clip;
    clip.durationSec = seconds;
    clip.gopSize = 25;
    const std::string source = folder / "source.mkv";
    GenerateClip(clip, source);
    return source;
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
    bool twoPass = false;  // each run is a first pass and a second one
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

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
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
    if (c.twoPass) {
        const std::vector<std::string> firstPass{"--set", "VideoOptions.Pass=1"};
        ASSERT_EQ(RunCli(With(firstPass, onePiece), folder_ / "whole.log", &errors), 0) << errors;
        ASSERT_EQ(RunCli(With(firstPass, segmented), folder_ / "joined.log", &errors), 0) << errors;
        const std::vector<std::string> secondPass{"--set", "VideoOptions.Pass=2"};
        onePiece = With(secondPass, onePiece);
        segmented = With(secondPass, segmented);
    }
    ASSERT_EQ(RunCli(onePiece, folder_ / "whole.log", &errors), 0) << errors;
    ASSERT_EQ(RunCli(segmented, folder_ / "joined.log", &errors), 0) << errors;
    EXPECT_NE(errors.find(std::string("segments of about ") + c.segmentSeconds + " s"),
              std::string::npos)
        << errors;
    EXPECT_FALSE(fs::exists(folder_ / "cache/TidewellSoft/VideoConverter/segments") &&
                 !fs::is_empty(folder_ / "cache/TidewellSoft/VideoConverter/segments"))
        << "the segments outlived the finished conversion";

    ExpectPicturesOfOnePiece(whole, joined);

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
        SegmentCase{"VariableRateSource", kH264, ".mkv", false, true},
        // The encoder's statistics of its first pass go with each segment's own file.
        SegmentCase{"TwoPassH264Mp4", kH264, ".mp4", true, false, "4", true}),
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
    const std::string source = SegmentSource(folder, 20);
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
    ExpectPicturesOfOnePiece(whole, target);
}

// A worker program whose first `fails` starts (in the order they were started) end as a crashed
// conversion does, with a line on standard error; the later ones are the real worker.
std::string FailingWorker(const fs::path& folder, int fails) {
    const fs::path script = folder / "failing-worker.sh";
    std::ofstream(script)
        << "#!/bin/sh\nn=1\nwhile ! mkdir '" << (folder / "start-").string()
        << "'$n 2>/dev/null; do n=$((n+1)); done\nif [ $n -le " << fails
        << " ]; then read request; echo \"worker $n broke\" >&2; exit 3; fi\nexec '" << TW_CLI_PATH
        << "' \"$@\"\n";
    chmod(script.c_str(), 0755);
    return script;
}

TEST(SegmentFaults, AFailedSegmentIsConvertedOnceMoreThenTheConversionFailsWithItsMessage) {
    TempFolder folder;
    ScopedEnv cache("XDG_CACHE_HOME", folder / "cache");
    const std::string source = SegmentSource(folder, 6);
    const auto args = [&](const std::string& target) {
        return std::vector<std::string>{
            "-v",         "--set", "VideoOptions.EncoderVideoCodecName=mpeg4",
            "--segments", "2",     "--segment-length",
            "1",          source,  target};
    };
    std::string errors;
    {
        // One failure: that part is converted again and the conversion completes.
        TempFolder starts;
        ScopedEnv worker("TIDEWELL_WORKER", FailingWorker(starts.Path(), 1));
        const std::string target = folder / "retried.mp4";
        ASSERT_EQ(RunCli(args(target), folder / "retried.log", &errors), 0) << errors;
        const size_t retried = errors.find(" failed (exited with code 3); converting it again");
        EXPECT_NE(retried, std::string::npos) << errors;
        EXPECT_EQ(errors.find(" failed (", retried + 1), std::string::npos) << errors;
        EXPECT_NEAR(InspectMedia(target).First(StreamKind::Video).durationSec, 6.0, 0.05);
    }
    {
        // Every worker fails: the first part to fail twice fails the conversion, in its words.
        TempFolder starts;
        ScopedEnv worker("TIDEWELL_WORKER", FailingWorker(starts.Path(), 1000));
        const std::string target = folder / "failed.mp4";
        EXPECT_NE(RunCli(args(target), folder / "failed.log", &errors), 0) << errors;
        EXPECT_NE(errors.find(" failed again: exited with code 3"), std::string::npos) << errors;
        EXPECT_NE(errors.find("ended unexpectedly: exited with code 3"), std::string::npos)
            << errors;
        EXPECT_FALSE(fs::exists(target));
    }
}

TEST(SegmentFaults, ACacheFolderThatFillsUpFailsTheConversionAndMakesNoTarget) {
    TempFolder folder;
    ScopedEnv cache("XDG_CACHE_HOME", folder / "cache");
    const std::string source = SegmentSource(folder, 6);
    const std::string target = folder / "joined.mp4";
    std::string errors;
    // Every segment of 2 Mbit/s outgrows the 100 KB the disk has left.
    EXPECT_NE(RunCli({"--set", "VideoOptions.EncoderVideoCodecName=mpeg4", "--set",
                      "VideoOptions.Bitrate=2000000", "--segments", "2", "--segment-length", "1",
                      source, target},
                     folder / "full.log", &errors, 100 * 1024),
              0)
        << errors;
    EXPECT_NE(errors.find("File too large"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(target));
}

// What the owner of a conversion in segments sees: one progress figure over all segments.
struct Watched {
    std::vector<int> progress;
    bool leftTimeKnown = false;  // once there was progress
};

ConversionOutcome RunSegmented(ConversionRunner& runner, const std::string& source,
                               const std::string& target, Watched& watched,
                               const std::function<void(TAVConverter&)>& also = {}) {
    runner.Converter().SetInOwnProcess(true);
    runner.Converter().SetSegmenting(2, 1);
    runner.Options().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    runner.OnProgress([&](TAVConverter& converter) {
        watched.progress.push_back(converter.GetProgress());
        watched.leftTimeKnown = watched.leftTimeKnown ||
                                (converter.GetProgress() > 0 &&
                                 converter.GetRemainingTime() != TAVConverter::kUnknownRemaining);
        if (also) {
            also(converter);
        }
    });
    return runner.Run({source}, {target}, std::chrono::seconds(1800));
}

TEST(SegmentedProgress, OneFigureRisesOverAllSegmentsToTheEnd) {
    TempFolder folder;
    ScopedEnv cache("XDG_CACHE_HOME", folder / "cache");
    ScopedEnv worker("TIDEWELL_WORKER", TW_CLI_PATH);
    const std::string source = SegmentSource(folder, 20);
    ConversionRunner runner;
    Watched watched;
    const ConversionOutcome outcome = RunSegmented(runner, source, folder / "out.mp4", watched);
    ASSERT_EQ(outcome.completeEvents, 1) << outcome.errorMessage;
    EXPECT_EQ(runner.Converter().GetProgress(), 100);
    ASSERT_FALSE(watched.progress.empty());
    EXPECT_TRUE(std::is_sorted(watched.progress.begin(), watched.progress.end()));
    EXPECT_LE(watched.progress.back(), 100);
    EXPECT_TRUE(std::any_of(watched.progress.begin(), watched.progress.end(),
                            [](int p) { return p > 0 && p < 100; }));
    EXPECT_TRUE(watched.leftTimeKnown);
}

TEST(SegmentedProgress, StopEndsEveryWorkerAndTheNextStartResumesAtTheDoneShare) {
    TempFolder folder;
    ScopedEnv cache("XDG_CACHE_HOME", folder / "cache");
    ScopedEnv worker("TIDEWELL_WORKER", TW_CLI_PATH);
    const std::string source = SegmentSource(folder, 20);
    const std::string target = folder / "out.mp4";
    size_t kept = 0;
    {
        // Stopped once four of the twenty segments are kept.
        ConversionRunner runner;
        Watched watched;
        const ConversionOutcome outcome =
            RunSegmented(runner, source, target, watched, [&](TAVConverter& converter) {
                if (FinishedParts(folder.Path() / "cache") >= 4) {
                    converter.Stop();
                }
            });
        EXPECT_EQ(outcome.stoppedEvents, 1);
        EXPECT_EQ(outcome.completeEvents, 0);
        EXPECT_FALSE(fs::exists(target));
        kept = FinishedParts(folder.Path() / "cache");
        ASSERT_GE(kept, 4u);
        // Every worker has ended (and none waits ahead).
        jobs::SpareWorker::Instance().SetEnabled(false);
        int status = 0;
        EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }
    ConversionRunner runner;
    Watched watched;
    const ConversionOutcome outcome = RunSegmented(runner, source, target, watched);
    ASSERT_EQ(outcome.completeEvents, 1) << outcome.errorMessage;
    const std::string resumed = "Resuming: " + std::to_string(kept) + " of 20 segments done";
    EXPECT_NE(std::find(outcome.log.begin(), outcome.log.end(), resumed), outcome.log.end());
    ASSERT_FALSE(watched.progress.empty());
    // Each segment holds about a twentieth of the source.
    EXPECT_GE(watched.progress.front(), static_cast<int>(kept) * 5 - 2);
    EXPECT_NEAR(InspectMedia(target).First(StreamKind::Video).durationSec, 20.0, 0.05);
}

// Converting on several computers: the test's own SSH server stands for the other computers.

std::string Slurp(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SegmentHosts, ParallelRunsCommandsOverTheTestsOwnSshServer) {
    TempFolder folder;
    fs::create_directories(folder / "bin");
    SshServer server((folder / "bin"));
    ASSERT_EQ(server.Failure(), "");
    std::ofstream(folder / "logins") << server.Login() << "\n";
    const std::string command = "parallel --sshloginfile " + (folder / "logins") + " --joblog " +
                                (folder / "jobs") + " 'echo $PATH > " + (folder / "out") +
                                "-{}' ::: 1 2";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(Slurp(folder / "out-2").find(folder / "bin"), std::string::npos);
    EXPECT_NE(Slurp(folder / "jobs").find("127.0.0.1"), std::string::npos);
}

// A six-second source with a key frame every second (three segments of two seconds: one for
// each of three logins) and logins to the test's SSH server, whose logins find programFolder
// first on their PATH.
class SegmentHostsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClipDescription clip;
        clip.durationSec = 6;
        clip.gopSize = 25;
        GenerateClip(clip, source_);
    }

    // The command line converting source_ into target through the computers of logins; its
    // exit status, its log in *errors.
    int ConvertOnHosts(const std::vector<std::string>& logins, const std::string& target,
                       std::string* errors, bool shared = false,
                       const std::function<void(pid_t)>& whileRunning = {}) {
        std::ofstream(folder_ / "logins") << [&] {
            std::string text;
            for (const std::string& login : logins) {
                text += login + "\n";
            }
            return text;
        }();
        std::vector<std::string> args = settings_;
        args.insert(args.end(), {"-v", "--segment-length", "2", "--hosts", folder_ / "logins"});
        if (shared) {
            args.push_back("--shared-folder");
        }
        args.insert(args.end(), {source_, target});
        return RunCli(args, folder_ / "joined.log", errors, RLIM_INFINITY, whileRunning);
    }

    // The same pictures in the same places as the conversion in one piece.
    void ExpectLikeOnePiece(const std::string& target) {
        std::error_code error;
        if (!fs::exists(whole_, error)) {
            std::string errors;
            ASSERT_EQ(RunCli(With(settings_, {"--segments", "1", source_, whole_}),
                             folder_ / "whole.log", &errors),
                      0)
                << errors;
        }
        const DecodedPictures expected = DecodePictures(whole_);
        const DecodedPictures actual = DecodePictures(target);
        ASSERT_EQ(actual.luma.size(), expected.luma.size());
        for (size_t i = 0; i < expected.luma.size(); ++i) {
            ASSERT_GE(Psnr(expected.luma[i], actual.luma[i]), 35.0) << "picture " << i;
        }
        EXPECT_TRUE(actual.packetTimesRise);
        const MediaInfo one = InspectMedia(whole_);
        const MediaInfo parts = InspectMedia(target);
        ASSERT_EQ(parts.CountOf(StreamKind::Audio), one.CountOf(StreamKind::Audio));
        if (one.CountOf(StreamKind::Audio) > 0) {
            EXPECT_NEAR(parts.First(StreamKind::Audio).durationSec,
                        one.First(StreamKind::Audio).durationSec, 0.02);
        }
    }

    // The conversion's settings, on the command line.
    std::vector<std::string> settings_{"--profile", "IPod 320x240 Video"};
    TempFolder folder_;
    ScopedEnv cache_{"XDG_CACHE_HOME", folder_ / "cache"};
    const std::string source_ = folder_ / "source.mkv";
    const std::string whole_ = folder_ / "whole.mp4";
    const std::string programFolder_ = fs::path(TW_CLI_PATH).parent_path().string();
};

TEST_F(SegmentHostsTest, SegmentsConvertOverSshAndHereAndJoinAsInOnePiece) {
    SshServer server(programFolder_);
    ASSERT_EQ(server.Failure(), "");
    // Two logins to the server (told apart by an option) and this computer.
    const std::vector<std::string> logins{server.Login(), server.Login(-1, "-o Compression=no"),
                                          ":"};
    const std::string there = "on " + std::string(getpwuid(getuid())->pw_name) +
                              "@127.0.0.1 (port " + std::to_string(server.Port()) + ")";
    for (const bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "shared folder" : "transfer");
        const std::string target = folder_ / (shared ? "shared.mp4" : "sent.mp4");
        std::string errors;
        const int loginsBefore = server.LoginsAccepted();
        ASSERT_EQ(ConvertOnHosts(logins, target, &errors, shared), 0) << errors;
        // A job's sessions (send, run, bring back, clean up) share its login's connection,
        // which the next conversion finds open.
        EXPECT_LE(server.LoginsAccepted() - loginsBefore, shared ? 0 : 2);
        EXPECT_NE(errors.find(" converted " + there), std::string::npos) << errors;
        EXPECT_NE(errors.find(" converted on this computer"), std::string::npos) << errors;
        EXPECT_NE(errors.find("on the computers of"), std::string::npos) << errors;
        if (shared) {
            // The first conversion's check found the server's program of this version.
            EXPECT_NE(errors.find("tidewell-convert " + there + " is the one an earlier check"),
                      std::string::npos)
                << errors;
        }
        ExpectLikeOnePiece(target);
    }
}

TEST_F(SegmentHostsTest, AProgramCheckedBeforeIsStartedAgainOnlyOnceItsFileChanged) {
    // This computer's program is a copy of tidewell-convert of the test's own.
    const fs::path bin = folder_ / "bin";
    fs::create_directories(bin);
    fs::copy_file(TW_CLI_PATH, bin / "tidewell-convert");
    std::ofstream(folder_ / "logins") << ":\n";
    const auto check = [&](segments::EarlierChecks earlier) {
        return segments::CheckHosts(folder_ / "logins", bin, earlier).unchanged;
    };
    const std::vector<std::string> here{"this computer"};
    EXPECT_EQ(check(segments::EarlierChecks::Trust), std::vector<std::string>());
    EXPECT_EQ(check(segments::EarlierChecks::Trust), here);
    // The options' Check starts it all the same.
    EXPECT_EQ(check(segments::EarlierChecks::Ignore), std::vector<std::string>());
    // Another program written into the same file (its inode kept).
    {
        std::ifstream in("/bin/true", std::ios::binary);
        std::ofstream out(bin / "tidewell-convert", std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
    }
    try {
        check(segments::EarlierChecks::Trust);
        ADD_FAILURE() << "a program changed since the last check was not asked";
    } catch (const EAVError& e) {
        EXPECT_NE(std::string(e.what()).find("another version of tidewell-convert (\"true"),
                  std::string::npos)
            << e.what();
    }
}

TEST_F(SegmentHostsTest, AConversionThatCanGoNowhereFailsSayingWhyInPlainWords) {
    const std::string target = folder_ / "target.mp4";
    std::string errors;
    {
        SCOPED_TRACE("no GNU parallel here");
        const fs::path nothing = folder_ / "no-programs";
        fs::create_directories(nothing);
        ScopedEnv path("PATH", nothing.string());
        EXPECT_NE(ConvertOnHosts({":"}, target, &errors), 0);
        EXPECT_NE(errors.find("needs GNU parallel on this one: install the Debian package"),
                  std::string::npos)
            << errors;
    }
    {
        SCOPED_TRACE("the only computer never answers");
        SilentPort silent;
        ASSERT_GE(silent.Port(), 0);
        const std::string port = std::to_string(silent.Port());
        EXPECT_NE(
            ConvertOnHosts({"1/ssh -o BatchMode=yes -o ConnectTimeout=2 -p " + port + " 127.0.0.1"},
                           target, &errors),
            0);
        EXPECT_NE(errors.find("None of the computers can be reached: 127.0.0.1 (port " + port +
                              "): Connection to 127.0.0.1 port " + port + " timed out\n"),
                  std::string::npos)
            << errors;
        // Asked once: no job went there, nor anyone to clean up after one.
        EXPECT_EQ(silent.Connections(), 1);
    }
    {
        SCOPED_TRACE("the only computer is gone once checked");
        // Its "ssh" runs the check's session here; every later one fails as ssh does.
        const fs::path gone = folder_ / "gone-ssh";
        std::ofstream(gone)
            << "#!/bin/sh\n"
               "if mkdir \"$0.used\" 2>/dev/null; then shift; exec sh -c \"$1\"; fi\n"
               "printf 'ssh: connect to host studio-pc port 22: Connection "
               "refused\\r\\n' >&2\n"
               "exit 255\n";
        fs::permissions(gone, fs::perms::owner_all);
        EXPECT_NE(ConvertOnHosts({"1/" + gone.string() + " studio-pc"}, target, &errors, true), 0);
        // ssh's own words, whole and alone.
        EXPECT_NE(errors.find("it could not be reached: ssh: connect to host studio-pc port 22: "
                              "Connection refused\n"),
                  std::string::npos)
            << errors;
    }
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(SegmentHostsTest, AComputerThatCannotBeReachedHasItsSegmentsConvertedElsewhere) {
    SshServer server(programFolder_);
    ASSERT_EQ(server.Failure(), "");
    const int closed = FreeLoopbackPort();
    // And one that takes the connection and never says a word (given up after a timeout, here
    // the login's own).
    SilentPort silent;
    ASSERT_GE(silent.Port(), 0);
    const int silentPort = silent.Port();
    const std::string target = folder_ / "joined.mp4";
    std::string errors;
    const int status =
        ConvertOnHosts({server.Login(closed), server.Login(silentPort, "-o ConnectTimeout=2"),
                        server.Login(), ":"},
                       target, &errors);
    ASSERT_EQ(status, 0) << errors;
    // Named once, as the check found it: no job was tried there.
    const std::string mute = "(port " + std::to_string(silentPort) + ")";
    EXPECT_NE(errors.find(mute + " cannot be reached"), std::string::npos) << errors;
    EXPECT_EQ(errors.find(mute), errors.rfind(mute)) << errors;
    EXPECT_EQ(silent.Connections(), 1);
    const std::string down = "(port " + std::to_string(closed) + ")";
    EXPECT_NE(errors.find(down + " cannot be reached (ssh: connect to host 127.0.0.1 port " +
                          std::to_string(closed) +
                          ": Connection refused); its segments go to "
                          "the other computers"),
              std::string::npos)
        << errors;
    EXPECT_EQ(errors.find(down), errors.rfind(down)) << errors;
    ExpectLikeOnePiece(target);
}

// The parent process of pid; -1 once it is gone.
pid_t ParentOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t end = line.rfind(')');
    if (end == std::string::npos || end + 4 >= line.size() || line[end + 2] == 'Z') {
        return -1;
    }
    return std::atoi(line.c_str() + end + 4);
}

// The processes whose working folder starts with prefix.
std::vector<pid_t> WorkingIn(const std::string& prefix) {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string cwd = fs::read_symlink(entry.path() / "cwd", error).string();
        if (!error && cwd.rfind(prefix, 0) == 0) {
            found.push_back(std::atoi(entry.path().filename().c_str()));
        }
    }
    return found;
}

bool HasSpan(const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().string().ends_with(".span.nut")) {
            return true;
        }
    }
    return false;
}

TEST_F(SegmentHostsTest, InterruptingStopsTheJobsOnTheOtherComputerAndRemovesTheirFolders) {
    SshServer server(programFolder_);
    ASSERT_EQ(server.Failure(), "");
    // Parallel sends each job into a folder of its own under the login's home:
    // .parallel/tmp/HOST-PID-JOB, HOST being this computer, PID parallel's process.
    const fs::path jobFolders = fs::path(getpwuid(getuid())->pw_dir) / ".parallel/tmp";
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    std::string prefix;
    std::string errors;
    const int status = ConvertOnHosts(
        {server.Login(), ":"}, folder_ / "joined.mp4", &errors, false, [&](pid_t cli) {
            // Ctrl+C once a span went to the other computer.
            while (prefix.empty() && ParentOf(cli) > 0) {
                std::error_code error;
                for (const auto& entry : fs::directory_iterator(jobFolders, error)) {
                    const std::string name = entry.path().filename();
                    const std::string ours = std::string(host) + "-";
                    const pid_t owner = std::atoi(name.c_str() + ours.size());
                    if (name.rfind(ours, 0) == 0 && ParentOf(owner) == cli &&
                        HasSpan(entry.path())) {
                        prefix = (jobFolders / (ours + std::to_string(owner) + "-")).string();
                        kill(cli, SIGINT);
                        break;
                    }
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    ASSERT_FALSE(prefix.empty()) << errors;
    EXPECT_EQ(status, 130) << errors;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(jobFolders, error)) {
        EXPECT_NE(entry.path().string().rfind(prefix, 0), 0u) << entry.path();
    }
    // The other computer's job ends once its connection went.
    for (int i = 0; i < 3000 && !WorkingIn(prefix).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(WorkingIn(prefix).empty());
}

TEST_F(SegmentHostsTest, AComputerWithAnotherVersionIsRefusedByName) {
    fs::create_directories(folder_ / "fake");
    std::ofstream(folder_ / "fake/tidewell-convert")
        << "#!/bin/sh\necho 'tidewell-convert (Tidewell Video Converter) 0.0.1'\n";
    fs::permissions(folder_ / "fake/tidewell-convert", fs::perms::owner_all);
    SshServer server(folder_ / "fake");
    ASSERT_EQ(server.Failure(), "");
    const std::string target = folder_ / "joined.mp4";
    std::string errors;
    EXPECT_EQ(ConvertOnHosts({server.Login(), ":"}, target, &errors), 1);
    EXPECT_NE(errors.find("127.0.0.1 (port " + std::to_string(server.Port()) +
                          ") has another version of tidewell-convert"),
              std::string::npos)
        << errors;
    EXPECT_FALSE(fs::exists(target));
}

// What /proc says of a process: its command line's words, its state letter ('T': stopped), the
// processor time it has used (clock ticks) and its working folder.
struct ProcessFacts {
    std::vector<std::string> words;
    char state = 0;
    long ticks = 0;
    std::string folder;
};

ProcessFacts FactsOf(pid_t pid) {
    ProcessFacts facts;
    const fs::path proc = "/proc/" + std::to_string(pid);
    std::ifstream cmdline(proc / "cmdline");
    for (std::string word; std::getline(cmdline, word, '\0');) {
        facts.words.push_back(word);
    }
    std::ifstream stat(proc / "stat");
    std::string line;
    std::getline(stat, line);
    const size_t end = line.rfind(')');
    if (end != std::string::npos && end + 2 < line.size()) {
        facts.state = line[end + 2];
        std::istringstream fields(line.substr(end + 2));
        std::vector<std::string> field{std::istream_iterator<std::string>(fields), {}};
        // utime and stime: the 14th and 15th fields, the state being the 3rd.
        if (field.size() > 12) {
            facts.ticks = std::atol(field[11].c_str()) + std::atol(field[12].c_str());
        }
    }
    std::error_code error;
    facts.folder = fs::read_symlink(proc / "cwd", error).string();
    return facts;
}

// Whether a worker is this test process's: it works in a folder under ours, or in a working
// folder parallel made for it (HOST-PID-JOB, PID a parallel this process started). Other tests
// may convert through parallel at the same time.
bool OursByFolder(const ProcessFacts& facts, const std::string& ours) {
    if (facts.folder.starts_with(ours)) {
        return true;
    }
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    const std::string name = fs::path(facts.folder).filename().string();
    const std::string prefix = std::string(host) + "-";
    return name.starts_with(prefix) &&
           ParentOf(std::atoi(name.c_str() + prefix.size())) == getpid();
}

// This test's segment workers run through parallel (tagged on their command lines), here and
// through the test's SSH server.
std::map<pid_t, ProcessFacts> TaggedWorkers(const std::string& ours) {
    std::map<pid_t, ProcessFacts> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const pid_t pid = std::atoi(entry.path().filename().c_str());
        if (pid <= 0) {
            continue;
        }
        ProcessFacts facts = FactsOf(pid);
        if (facts.words.size() == 6 && facts.words[0].ends_with("tidewell-convert") &&
            facts.words[1] == "--worker" && facts.words[4] == "--tag" && facts.state != 'Z' &&
            OursByFolder(facts, ours)) {
            found[pid] = std::move(facts);
        }
    }
    return found;
}

TEST_F(SegmentHostsTest, PauseHoldsTheWorkersOnEveryComputerAndStopWhilePausedEndsThem) {
    SshServer server(programFolder_);
    ASSERT_EQ(server.Failure(), "");
    // Four segments, one at a time on the server and one here, each slow enough to encode
    // that a worker is still at it when told to hold: paused while both convert.
    ClipDescription clip;
    clip.width = 640;
    clip.height = 480;
    clip.durationSec = 16;
    clip.gopSize = 25;
    GenerateClip(clip, source_);
    settings_ = {"--set", "VideoOptions.EncoderVideoCodecName=libx264", "--option",
                 "preset=veryslow"};
    std::ofstream(folder_ / "logins") << server.Login() << "\n1/:\n";
    segments::SetSegmentHosts({folder_ / "logins", false});
    struct Restore {
        ~Restore() { segments::SetSegmentHosts({}); }
    } restore;
    ScopedEnv worker("TIDEWELL_WORKER", TW_CLI_PATH);
    // No worker started ahead outlives the test (nor reads its environment as it goes).
    jobs::SpareWorker::Instance().SetEnabled(false);
    const std::string parallelFolders = fs::path(getpwuid(getuid())->pw_dir) / ".parallel/tmp";

    for (const bool stopWhilePaused : {false, true}) {
        SCOPED_TRACE(stopWhilePaused ? "stopped while paused" : "resumed");
        const std::string target = folder_ / (stopWhilePaused ? "stopped.mp4" : "resumed.mp4");
        ConversionRunner runner;
        runner.Converter().SetInOwnProcess(true);
        runner.Converter().SetSegmenting(1, 4);
        runner.Options().VideoOptions().SetEncoderVideoCodecName("libx264");
        runner.Options().SetCodecOption("preset", "veryslow");
        runner.Start({source_}, {target});
        while (TaggedWorkers(folder_.Path().string()).empty() && runner.Converter().IsWorking()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        runner.Converter().Pause();
        // Held once both workers (one job at a time on each login: the server's and this
        // computer's) are stopped and the task shows paused.
        std::map<pid_t, ProcessFacts> held;
        auto allHeld = [&] {
            held = TaggedWorkers(folder_.Path().string());
            return runner.Converter().PauseHeld() && held.size() == 2 &&
                   std::all_of(held.begin(), held.end(),
                               [](const auto& worker) { return worker.second.state == 'T'; });
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        while (!allHeld() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_TRUE(allHeld()) << held.size() << " workers";
        // While this process uses a good share of a processor, theirs use none.
        const auto cpu = [] {
            timespec now{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
            return now.tv_sec * 1000 + now.tv_nsec / 1000000;
        };
        for (const long begin = cpu(); cpu() - begin < 300;) {
        }
        for (const auto& [pid, before] : held) {
            const ProcessFacts now = FactsOf(pid);
            EXPECT_EQ(now.state, 'T') << pid;
            EXPECT_EQ(now.ticks, before.ticks) << pid;
        }
        if (!stopWhilePaused) {
            runner.Converter().Resume();
            const ConversionOutcome outcome = runner.Wait(std::chrono::seconds(600));
            ASSERT_EQ(outcome.completeEvents, 1) << outcome.errorMessage;
            ExpectLikeOnePiece(target);
            continue;
        }
        runner.Converter().Stop();
        const ConversionOutcome outcome = runner.Wait(std::chrono::seconds(600));
        EXPECT_EQ(outcome.stoppedEvents, 1) << outcome.errorMessage;
        EXPECT_FALSE(fs::exists(target));
        // No worker is left, and no working folder parallel made for them.
        const auto anyLeft = [&] {
            return std::any_of(held.begin(), held.end(), [](const auto& worker) {
                const ProcessFacts now = FactsOf(worker.first);
                return now.state != 0 && now.state != 'Z' && now.words == worker.second.words;
            });
        };
        for (int i = 0; i < 3000 && anyLeft(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_FALSE(anyLeft());
        for (const auto& [pid, facts] : held) {
            if (facts.folder.starts_with(parallelFolders)) {
                EXPECT_FALSE(fs::exists(facts.folder)) << facts.folder;
            }
        }
    }
}

}  // namespace
}  // namespace tw::test
