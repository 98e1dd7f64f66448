// DVD-Videos authored at test time: MPEG-2 program streams are written from a generated picture
// and tone, and dvdauthor builds a VIDEO_TS folder from them. The test disc (streams written by
// the engine):
//   title 1: 15 s, chapters at 0, 6 and 12 s (three chapters of 6, 6 and 3 s)
//   title 2: 4 s, one chapter
// and the short-chapter disc below. Chapter marks sit on group-of-pictures starts (15 frames at
// 25 fps), so they land exactly.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/conversion_runner.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {

struct TestDisc {
    std::filesystem::path root;     // the folder that holds VIDEO_TS
    std::filesystem::path videoTs;  // root / "VIDEO_TS"
    std::string error;              // why authoring failed; empty when the disc is there
};

inline constexpr double kTitle1Seconds = 15.0;
inline constexpr double kTitle2Seconds = 4.0;
inline constexpr double kChapterSeconds[] = {6.0, 6.0, 3.0};

// Writes a DVD-conformant program stream of the given length with the engine.
inline std::string WriteDvdProgramStream(const std::string& path, double seconds, int tone) {
    ConversionRunner runner;
    TAVConvertOptions& options = runner.Options();
    options.SetInputFormat("lavfi");
    options.SetOutputFormat("dvd");
    options.VideoOptions().SetEncoderVideoCodecName("mpeg2video");
    options.VideoOptions().SetFrameWidth(720);
    options.VideoOptions().SetFrameHeight(576);
    options.VideoOptions().SetBitrate(4000000);
    options.AudioOptions().SetEncoderAudioCodecName("ac3");
    options.AudioOptions().SetBitrate(192000);
    options.SetCodecOptions({"g=15", "maxrate=9000000", "bufsize=1835008", "packetsize=2048"});
    std::string source = LavfiSource(720, 576, "25", seconds);
    const std::string tone440 = "frequency=440";
    source.replace(source.find(tone440), tone440.size(), "frequency=" + std::to_string(tone));
    const ConversionOutcome outcome = runner.Run({source}, {path});
    if (!outcome.finished || !outcome.errorMessage.empty() || outcome.completeEvents != 1) {
        return "the engine did not write " + path + ": " + outcome.errorMessage;
    }
    return {};
}

// One title of a disc to author: its program stream's length and dvdauthor's chapter marks.
struct DiscTitleLayout {
    double seconds = 0;
    std::string chapters;  // e.g. "0,0:06,0:12"; empty = one chapter
    int tone = 440;        // a different tone per title keeps the titles' bytes apart
};

// Writes a DVD-conformant program stream of the given length; returns why it failed, or "".
using ProgramStreamWriter = std::string (*)(const std::string& path, double seconds, int tone);

inline TestDisc AuthorDisc(const std::filesystem::path& folder,
                           const std::vector<DiscTitleLayout>& titles, ProgramStreamWriter write) {
    TestDisc disc;
    disc.root = folder / "disc";
    disc.videoTs = disc.root / "VIDEO_TS";
    std::string pgcs;
    for (size_t i = 0; i < titles.size() && disc.error.empty(); ++i) {
        const std::string stream = (folder / ("title" + std::to_string(i + 1) + ".mpg")).string();
        disc.error = write(stream, titles[i].seconds, titles[i].tone);
        pgcs += "      <pgc><vob file=\"" + stream + "\"" +
                (titles[i].chapters.empty() ? "" : " chapters=\"" + titles[i].chapters + "\"") +
                " /></pgc>\n";
    }
    if (!disc.error.empty()) {
        return disc;
    }
    const std::filesystem::path xml = folder / "disc.xml";
    {
        std::ofstream out(xml);
        out << "<dvdauthor dest=\"" << disc.root.string() << "\">\n"
            << "  <vmgm />\n"
            << "  <titleset>\n"
            << "    <titles>\n"
            << "      <video format=\"pal\" aspect=\"4:3\" />\n"
            << pgcs << "    </titles>\n"
            << "  </titleset>\n"
            << "</dvdauthor>\n";
    }
    const std::string command = "VIDEO_FORMAT=PAL dvdauthor -x '" + xml.string() + "' > '" +
                                (folder / "dvdauthor.log").string() + "' 2>&1";
    if (std::system(command.c_str()) != 0 ||
        !std::filesystem::exists(disc.videoTs / "VIDEO_TS.IFO")) {
        disc.error = "dvdauthor failed (is it installed? scripts/setup.sh installs it)";
    }
    return disc;
}

inline TestDisc AuthorTestDisc(const std::filesystem::path& folder) {
    return AuthorDisc(folder, {{kTitle1Seconds, "0,0:06,0:12", 440}, {kTitle2Seconds, "", 880}},
                      WriteDvdProgramStream);
}

// The short-chapter disc: a PAL title of 12 s in four chapters of 3 s (marks at 0, 3, 6 and 9 s),
// and a 4 s title of one chapter. The program streams come from the test media generator, not
// the engine under test. Every whole second of a title starts with a white picture and a beep,
// so that a conversion shows where its picture and its sound lie in the source's time.
inline constexpr double kShortChapterSeconds = 3.0;
inline constexpr int kShortChapterCount = 4;

inline std::string GenerateDvdProgramStream(const std::string& path, double seconds, int tone) {
    ClipDescription clip;
    clip.formatName = "dvd";
    clip.width = 720;
    clip.height = 576;
    clip.frameRate = AVRational{25, 1};
    clip.durationSec = seconds;
    clip.videoCodec = "mpeg2video";
    clip.gopSize = 15;
    clip.videoBitRate = 4000000;
    // Groups of pictures of a fixed length (none added at the white pictures), so that the
    // chapter marks fall on group starts, where the chapters' pictures begin.
    clip.videoCodecOptions = {
        {"maxrate", "9000000"}, {"bufsize", "1835008"}, {"sc_threshold", "1000000000"}};
    clip.videoFilter = "drawbox=color=white:thickness=fill:enable='not(mod(n,25))'";
    clip.audioCodec = "ac3";
    clip.sampleRate = 48000;
    clip.audioBitRate = 192000;
    clip.sineFrequencyHz = tone;
    clip.beepFactor = 4;
    try {
        GenerateClip(clip, path);
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

inline TestDisc AuthorShortChapterDisc(const std::filesystem::path& folder) {
    return AuthorDisc(folder,
                      {{kShortChapterSeconds * kShortChapterCount, "0,0:03,0:06,0:09", 440},
                       {kTitle2Seconds, "", 880}},
                      GenerateDvdProgramStream);
}

// The title set's video object file: the authored titles' blocks, title 1 first.
inline std::filesystem::path TitleSetVob(const TestDisc& disc) {
    return disc.videoTs / "VTS_01_1.VOB";
}

// Bytes [offset, offset + count) of a file (fewer at its end).
inline std::string FileBytes(const std::filesystem::path& file, int64_t offset, int64_t count) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(offset);
    std::string bytes(static_cast<size_t>(count), '\0');
    in.read(bytes.data(), count);
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

}  // namespace tw::test
