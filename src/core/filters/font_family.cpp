#include "filters/font_family.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace tw::filters {

namespace {

class FontReader {
public:
    explicit FontReader(const std::string& path)
        : in_(std::filesystem::path(path), std::ios::binary) {}

    bool Good() const { return static_cast<bool>(in_); }

    bool Read(uint64_t offset, size_t size, std::vector<uint8_t>& out) {
        out.resize(size);
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size));
        return in_.gcount() == static_cast<std::streamsize>(size);
    }

private:
    std::ifstream in_;
};

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string Utf16BeToUtf8(const uint8_t* data, size_t size) {
    std::string out;
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint32_t code = (uint32_t{data[i]} << 8) | data[i + 1];
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < size) {
            const uint32_t low = (uint32_t{data[i + 2]} << 8) | data[i + 3];
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(out, code);
    }
    return out;
}

constexpr uint32_t kTag(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
           (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}

constexpr uint16_t kFamilyNameId = 1;
constexpr uint32_t kMaxNameTable = 1 << 20;

}  // namespace

std::optional<std::string> ReadFontFamilyName(const std::string& fontFile) {
    FontReader reader(fontFile);
    if (!reader.Good()) {
        return std::nullopt;
    }
    std::vector<uint8_t> head;
    if (!reader.Read(0, 12, head)) {
        return std::nullopt;
    }
    uint64_t fontStart = 0;
    if (U32(head, 0) == kTag('t', 't', 'c', 'f')) {
        if (!reader.Read(12, 4, head)) {
            return std::nullopt;
        }
        fontStart = U32(head, 0);
        if (!reader.Read(fontStart, 12, head)) {
            return std::nullopt;
        }
    }
    const uint16_t tableCount = U16(head, 4);
    std::vector<uint8_t> records;
    if (!reader.Read(fontStart + 12, size_t{tableCount} * 16, records)) {
        return std::nullopt;
    }
    uint32_t nameOffset = 0;
    uint32_t nameLength = 0;
    for (size_t i = 0; i < tableCount; ++i) {
        if (U32(records, i * 16) == kTag('n', 'a', 'm', 'e')) {
            nameOffset = U32(records, i * 16 + 8);
            nameLength = U32(records, i * 16 + 12);
        }
    }
    if (nameLength < 6 || nameLength > kMaxNameTable) {
        return std::nullopt;
    }
    std::vector<uint8_t> name;
    if (!reader.Read(nameOffset, nameLength, name)) {
        return std::nullopt;
    }
    const size_t count = U16(name, 2);
    const size_t strings = U16(name, 4);
    std::optional<std::string> windows;
    std::optional<std::string> windowsEnglish;
    std::optional<std::string> mac;
    for (size_t i = 0; i < count && 6 + i * 12 + 12 <= name.size(); ++i) {
        const size_t r = 6 + i * 12;
        const uint16_t platform = U16(name, r);
        const uint16_t encoding = U16(name, r + 2);
        const uint16_t language = U16(name, r + 4);
        const uint16_t nameId = U16(name, r + 6);
        const size_t length = U16(name, r + 8);
        const size_t offset = strings + U16(name, r + 10);
        if (nameId != kFamilyNameId || length == 0 || offset + length > name.size()) {
            continue;
        }
        const uint8_t* text = name.data() + offset;
        if (platform == 3 && (encoding == 1 || encoding == 10)) {
            std::string value = Utf16BeToUtf8(text, length);
            if (language == 0x409 && !windowsEnglish) {
                windowsEnglish = value;
            }
            if (!windows) {
                windows = std::move(value);
            }
        } else if (platform == 1 && encoding == 0 && !mac) {
            // Mac Roman; family names are ASCII in practice, the rest is taken as Latin-1.
            std::string value;
            for (size_t k = 0; k < length; ++k) {
                AppendUtf8(value, text[k]);
            }
            mac = std::move(value);
        }
    }
    if (windowsEnglish) {
        return windowsEnglish;
    }
    if (windows) {
        return windows;
    }
    return mac;
}

}  // namespace tw::filters
