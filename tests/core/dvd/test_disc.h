// A DVD-Video authored at test time: the engine writes MPEG-2 program streams from a generated
// picture and tone, and dvdauthor builds a VIDEO_TS folder from them.
//   title 1: 15 s, chapters at 0, 6 and 12 s (three chapters of 6, 6 and 3 s)
//   title 2: 4 s, one chapter
// Chapter marks sit on group-of-pictures starts (15 frames at 25 fps), so they land exactly.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/conversion_runner.h"
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
    // A different tone per title keeps the titles' bytes apart.
    const std::string tone440 = "frequency=440";
    source.replace(source.find(tone440), tone440.size(), "frequency=" + std::to_string(tone));
    const ConversionOutcome outcome = runner.Run({source}, {path});
    if (!outcome.finished || !outcome.errorMessage.empty() || outcome.completeEvents != 1) {
        return "the engine did not write " + path + ": " + outcome.errorMessage;
    }
    return {};
}

inline TestDisc AuthorTestDisc(const std::filesystem::path& folder) {
    TestDisc disc;
    disc.root = folder / "disc";
    disc.videoTs = disc.root / "VIDEO_TS";
    const std::string first = (folder / "title1.mpg").string();
    const std::string second = (folder / "title2.mpg").string();
    disc.error = WriteDvdProgramStream(first, kTitle1Seconds, 440);
    if (disc.error.empty()) {
        disc.error = WriteDvdProgramStream(second, kTitle2Seconds, 880);
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
            << "      <pgc><vob file=\"" << first << "\" chapters=\"0,0:06,0:12\" /></pgc>\n"
            << "      <pgc><vob file=\"" << second << "\" /></pgc>\n"
            << "    </titles>\n"
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
