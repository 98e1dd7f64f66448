#pragma once

// The little a DVD title input needs to know of one 2048-byte pack of the title's MPEG program
// stream: whether it carries sound, with which presentation time, and how to blank it.

#include <cstdint>
#include <optional>

namespace tw::dvd {

struct PackFacts {
    bool audio = false;          // MPEG audio, or AC-3 / DTS / LPCM in private stream 1
    std::optional<int64_t> pts;  // 90 kHz, of the first access unit that starts in the pack
};

// pack holds kDvdBlockSize bytes. A pack that is not laid out as expected is no audio.
PackFacts InspectPack(const uint8_t* pack);

// Makes pack a padding pack of the same size; its pack header (and so its clock) stays.
void BlankPack(uint8_t* pack);

}  // namespace tw::dvd
