#pragma once

// A small INI file in the usual form:
//   [Section]
//   Key=Value
// Sections and keys are looked up ignoring (ASCII) case; blanks around section and key names
// do not count. Values are kept verbatim: everything after the first '=' up to the line end,
// no trimming and no quote removal, so what is written is what is read back. Lines the form
// does not know (comments, blank lines, lines without '=') are kept as they are. When a section
// or key occurs twice, the first one counts.
//
// The whole file is read when the object is made and written by UpdateFile; writes in between
// change only the copy in memory. Not thread-safe: one owner at a time.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Equal ignoring ASCII case, as section, key and category names are compared.
bool SameText(std::string_view a, std::string_view b);

class TIniFile {
public:
    // Reads file when it exists; a missing file gives an empty one. Throws EAVError when the
    // file exists but cannot be read.
    explicit TIniFile(std::filesystem::path file);
    // An INI text without a file (UpdateFile then has nowhere to write).
    static TIniFile FromText(std::string_view text);

    const std::filesystem::path& FileName() const { return file_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& defaultValue) const;
    // Decimal, or hexadecimal with "0x" or "$"; anything else gives the default.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // An integer: 0 is false, any other number true; anything else gives the default.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // "." as the decimal separator; "," is accepted too, for files written under a locale that
    // uses it. Anything else gives the default.
    double ReadFloat(std::string_view section, std::string_view key, double defaultValue) const;

    // Replaces the value of an existing key in place, or appends the key to its section, or
    // appends the section to the file. Line breaks in a value would start a new line of the
    // file, so they are written as blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    // "1" or "0".
    void WriteBool(std::string_view section, std::string_view key, bool value);
    // Locale-independent, the shortest text that reads back as the same value.
    void WriteFloat(std::string_view section, std::string_view key, double value);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // Key names of a section in file order (as written in the file).
    std::vector<std::string> ReadSection(std::string_view section) const;
    // Section names in file order.
    std::vector<std::string> ReadSections() const;
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);

    // The file's text as UpdateFile would write it.
    std::string Text() const;
    // Writes the text to FileName(), through a file beside it that is then renamed over it, so
    // a failure never leaves half a file. Throws EAVError when it cannot be written.
    void UpdateFile() const;

private:
    struct Line {
        std::string text;  // the line as it stands in the file (no line break)
        std::string key;   // trimmed key of a "key=value" line; empty for other lines
        size_t valueStart = 0;
        bool IsKey() const { return !key.empty(); }
        std::string_view Value() const { return std::string_view(text).substr(valueStart); }
    };
    struct Section {
        std::string header;  // the "[...]" line as written; empty for the lines before any
        std::string name;    // trimmed name between the brackets
        std::vector<Line> lines;
    };

    TIniFile() = default;
    void Parse(std::string_view text);
    static Line MakeLine(std::string text);
    const Section* FindSection(std::string_view name) const;
    Section* FindSection(std::string_view name);
    static const Line* FindKey(const Section& section, std::string_view key);
    const Line* Find(std::string_view section, std::string_view key) const;

    std::filesystem::path file_;
    // sections_[0] holds the lines before the first section header and never has a name.
    std::vector<Section> sections_;
};

}  // namespace tw
