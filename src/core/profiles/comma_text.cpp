#include "profiles/comma_text.h"

namespace tw {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool NeedsQuotes(std::string_view item) {
    for (char c : item) {
        if (IsBlank(c) || c == '"' || c == ',') {
            return true;
        }
    }
    return false;
}

std::string Quoted(std::string_view item) {
    std::string result = "\"";
    for (char c : item) {
        if (c == '"') {
            result += '"';
        }
        result += c;
    }
    result += '"';
    return result;
}

}  // namespace

std::string CommaText(const TStringList& list) {
    // A lone empty item must still read back as one item.
    if (list.size() == 1 && list.front().empty()) {
        return "\"\"";
    }
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += NeedsQuotes(list[i]) ? Quoted(list[i]) : list[i];
    }
    return text;
}

TStringList ParseCommaText(std::string_view text) {
    TStringList list;
    size_t p = 0;
    const size_t n = text.size();
    auto skipBlanks = [&] {
        while (p < n && IsBlank(text[p])) {
            ++p;
        }
    };
    skipBlanks();
    while (p < n) {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const size_t start = p;
            while (p < n && !IsBlank(text[p]) && text[p] != ',') {
                ++p;
            }
            item.assign(text.substr(start, p - start));
        }
        list.push_back(std::move(item));
        skipBlanks();
        if (p < n && text[p] == ',') {
            ++p;
            // A comma at the very end stands before one more, empty item.
            if (p == n) {
                list.emplace_back();
            }
            skipBlanks();
        }
    }
    return list;
}

}  // namespace tw
