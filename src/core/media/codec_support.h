#pragma once

// What this build of the libraries can write and read, asked of the libraries themselves: which
// codecs have an encoder, which codecs a container's muxer can hold, and the file extensions
// the demuxers open. Any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::media {

// The muxer's short name ("webm") for a format name, or for the extension of fileName when
// formatName is empty; nullopt when neither names a muxer of this build.
std::optional<std::string> MuxerName(std::string_view formatName, std::string_view fileName);

// Whether the libraries have an encoder for the codec ("vp9", the codec's own name, not an
// encoder's).
bool HasEncoderFor(std::string_view codecName);

// Whether files of the muxer can hold a stream of the codec. The muxer's own answer where it
// gives one (its codec tags or its own check); a muxer that gives none holds its default codec
// of that kind, and, unless it writes a bare stream without time stamps (raw AC-3, MP3), any
// other too. False for an unknown muxer or codec.
bool MuxerHolds(std::string_view muxerName, std::string_view codecName);

// The extensions (lower case, without the dot, sorted, each once) of the files the demuxers
// open: those the demuxers name, without the subtitle and text formats, and the common ones of
// formats found by their contents (MPEG program and transport streams, ASF, RealMedia, WAV,
// Ogg, pictures).
std::vector<std::string> MediaFileExtensions();

}  // namespace tw::media
