#include "util/ini_file.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

#include "util/av_error.h"
#include "util/float_text.h"
#include "util/format.h"
#include "util/settings_xml.h"
#include "util/string_list.h"
#include "util/text_file.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string OneLine(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return result;
}

std::optional<long long> ParseInteger(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    unsigned long long magnitude = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    if (magnitude > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
        return std::nullopt;
    }
    const long long value = static_cast<long long>(magnitude);
    return negative ? -value : value;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

TIniFile::TIniFile(fs::path file) : file_(std::move(file)) {
    std::error_code error;
    const fs::file_status status = fs::status(file_, error);
    if (!fs::exists(status)) {
        Parse({});
        return;
    }
    // A folder or a device where the file should be is not an empty file.
    if (!fs::is_regular_file(status)) {
        throw EAVError(FormatPrintf("Cannot open file \"%s\".", file_.c_str()));
    }
    Parse(ReadTextFile(file_));
}

TIniFile TIniFile::FromText(std::string_view text) {
    TIniFile ini;
    ini.Parse(text);
    return ini;
}

TIniFile::Line TIniFile::MakeLine(std::string text) {
    Line line;
    const std::string_view trimmed = Trim(text);
    const size_t eq = text.find('=');
    if (eq != std::string::npos && !trimmed.empty() && trimmed.front() != ';') {
        line.key = std::string(Trim(std::string_view(text).substr(0, eq)));
        line.valueStart = eq + 1;
    }
    line.text = std::move(text);
    return line;
}

void TIniFile::Parse(std::string_view text) {
    sections_.clear();
    sections_.emplace_back();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        const std::string_view trimmed = Trim(raw);
        if (trimmed.size() >= 2 && trimmed.front() == '[') {
            const size_t close = trimmed.find(']');
            if (close != std::string_view::npos) {
                Section section;
                section.header = std::string(raw);
                section.name = std::string(Trim(trimmed.substr(1, close - 1)));
                sections_.push_back(std::move(section));
                continue;
            }
        }
        sections_.back().lines.push_back(MakeLine(std::string(raw)));
    }
}

const TIniFile::Section* TIniFile::FindSection(std::string_view name) const {
    const std::string_view wanted = Trim(name);
    // sections_[0] is the text before the first header, which belongs to no section.
    for (size_t i = 1; i < sections_.size(); ++i) {
        if (SameText(sections_[i].name, wanted)) {
            return &sections_[i];
        }
    }
    return nullptr;
}

TIniFile::Section* TIniFile::FindSection(std::string_view name) {
    return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

const TIniFile::Line* TIniFile::FindKey(const Section& section, std::string_view key) {
    const std::string_view wanted = Trim(key);
    for (const Line& line : section.lines) {
        if (line.IsKey() && SameText(line.key, wanted)) {
            return &line;
        }
    }
    return nullptr;
}

const TIniFile::Line* TIniFile::Find(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    return found ? FindKey(*found, key) : nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& defaultValue) const {
    const Line* line = Find(section, key);
    return line ? std::string(line->Value()) : defaultValue;
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const Line* line = Find(section, key);
    if (!line) {
        return defaultValue;
    }
    const auto value = ParseInteger(line->Value());
    if (!value || *value < std::numeric_limits<int>::min() ||
        *value > std::numeric_limits<int>::max()) {
        return defaultValue;
    }
    return static_cast<int>(*value);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key,
                           double defaultValue) const {
    const Line* line = Find(section, key);
    if (!line) {
        return defaultValue;
    }
    std::string text(Trim(line->Value()));
    if (auto value = TextToFloat(text)) {
        return *value;
    }
    const size_t comma = text.find(',');
    if (comma != std::string::npos && text.find('.') == std::string::npos) {
        text[comma] = '.';
        if (auto value = TextToFloat(text)) {
            return *value;
        }
    }
    return defaultValue;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string keyName = OneLine(Trim(key));
    std::string text = keyName + "=" + OneLine(value);
    Section* target = FindSection(section);
    if (!target) {
        // A blank line keeps the new section apart from the text before it.
        Section& last = sections_.back();
        const bool hasText = sections_.size() > 1 || !last.lines.empty();
        if (hasText && (last.lines.empty() || !Trim(last.lines.back().text).empty())) {
            last.lines.push_back(MakeLine({}));
        }
        Section added;
        added.name = OneLine(Trim(section));
        added.header = "[" + added.name + "]";
        sections_.push_back(std::move(added));
        target = &sections_.back();
    }
    for (Line& line : target->lines) {
        if (line.IsKey() && SameText(line.key, keyName)) {
            line = MakeLine(std::move(text));
            return;
        }
    }
    // A new key goes after the section's last key, ahead of the blank lines that separate it
    // from the next section.
    auto position = target->lines.end();
    while (position != target->lines.begin() && Trim(std::prev(position)->text).empty()) {
        --position;
    }
    target->lines.insert(position, MakeLine(std::move(text)));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
    WriteString(section, key, FloatToText(value));
}

bool TIniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
    return Find(section, key) != nullptr;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    if (const Section* found = FindSection(section)) {
        for (const Line& line : found->lines) {
            if (line.IsKey()) {
                keys.push_back(line.key);
            }
        }
    }
    return keys;
}

std::vector<std::string> TIniFile::ReadSections() const {
    std::vector<std::string> names;
    for (size_t i = 1; i < sections_.size(); ++i) {
        names.push_back(sections_[i].name);
    }
    return names;
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
    if (Section* found = FindSection(section)) {
        const std::string_view wanted = Trim(key);
        for (auto it = found->lines.begin(); it != found->lines.end(); ++it) {
            if (it->IsKey() && SameText(it->key, wanted)) {
                found->lines.erase(it);
                return;
            }
        }
    }
}

void TIniFile::EraseSection(std::string_view section) {
    const std::string_view wanted = Trim(section);
    for (size_t i = 1; i < sections_.size(); ++i) {
        if (SameText(sections_[i].name, wanted)) {
            sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

std::string TIniFile::Text() const {
    std::string text;
    for (const Section& section : sections_) {
        if (!section.header.empty()) {
            text += section.header;
            text += '\n';
        }
        for (const Line& line : section.lines) {
            text += line.text;
            text += '\n';
        }
    }
    return text;
}

void TIniFile::UpdateFile() const {
    if (file_.empty()) {
        throw EAVError("Cannot create file \"\".");
    }
    WriteTextFileAtomically(file_, Text());
}

}  // namespace tw
