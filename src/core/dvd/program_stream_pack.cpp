#include "dvd/program_stream_pack.h"

#include <cstring>

#include "dvd/dvd_navigator.h"

namespace tw::dvd {

namespace {

constexpr uint8_t kPaddingStream = 0xBE;
constexpr uint8_t kPrivateStream1 = 0xBD;

bool StartCodeAt(const uint8_t* p, uint8_t id) {
    return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == id;
}

// Offset of the first packet after the MPEG-2 pack header, or 0 when there is none.
int PayloadOffset(const uint8_t* pack) {
    if (!StartCodeAt(pack, 0xBA) || (pack[4] & 0xC0) != 0x40) {
        return 0;
    }
    const int offset = 14 + (pack[13] & 0x07);
    return offset + 9 < kDvdBlockSize ? offset : 0;
}

}  // namespace

PackFacts InspectPack(const uint8_t* pack) {
    PackFacts facts;
    const int offset = PayloadOffset(pack);
    if (offset == 0 || pack[offset] != 0 || pack[offset + 1] != 0 || pack[offset + 2] != 1) {
        return facts;
    }
    const uint8_t* pes = pack + offset;
    const uint8_t id = pes[3];
    const int headerEnd = 9 + pes[8];
    if (offset + headerEnd >= kDvdBlockSize) {
        return facts;
    }
    if (id >= 0xC0 && id <= 0xDF) {
        facts.audio = true;
    } else if (id == kPrivateStream1) {
        // The first payload byte names the sub-stream: 0x80-0x8F AC-3 and DTS, 0xA0-0xAF LPCM;
        // sub-pictures (0x20-0x3F) are not sound.
        const uint8_t sub = pes[headerEnd];
        facts.audio = (sub >= 0x80 && sub <= 0x8F) || (sub >= 0xA0 && sub <= 0xAF);
    }
    if (facts.audio && (pes[7] & 0x80) && pes[8] >= 5) {
        const uint8_t* t = pes + 9;
        facts.pts = (static_cast<int64_t>(t[0] & 0x0E) << 29) | (static_cast<int64_t>(t[1]) << 22) |
                    (static_cast<int64_t>(t[2] & 0xFE) << 14) | (static_cast<int64_t>(t[3]) << 7) |
                    (t[4] >> 1);
    }
    return facts;
}

void BlankPack(uint8_t* pack) {
    // Without a pack header to keep, a bare padding packet fills the whole block.
    const int offset = PayloadOffset(pack);
    const int length = kDvdBlockSize - offset - 6;
    uint8_t* p = pack + offset;
    p[0] = 0;
    p[1] = 0;
    p[2] = 1;
    p[3] = kPaddingStream;
    p[4] = static_cast<uint8_t>(length >> 8);
    p[5] = static_cast<uint8_t>(length & 0xFF);
    std::memset(p + 6, 0xFF, static_cast<size_t>(length));
}

}  // namespace tw::dvd
