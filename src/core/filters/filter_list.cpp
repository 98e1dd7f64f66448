#include "filters/filter_list.h"

#include "filters/av_filter.h"

namespace tw::filters {

namespace {

bool NeedsWrapping(std::string_view item) {
    for (const char c : item) {
        const auto code = static_cast<unsigned char>(c);
        if ((code >= 1 && code <= 32) || c == ',') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string JoinFilterItems(const std::vector<std::string>& items) {
    if (items.size() == 1 && items.front().empty()) {
        return "  ";
    }
    std::string result;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            result += ',';
        }
        const std::string& item = items[i];
        if (!NeedsWrapping(item)) {
            result += item;
            continue;
        }
        result += ' ';
        for (const char c : item) {
            result += c;
            if (c == ' ') {
                result += ' ';
            }
        }
        result += ' ';
    }
    return result;
}

std::optional<std::vector<std::string>> SplitFilterItems(std::string_view text) {
    std::vector<std::string> items;
    if (text.empty()) {
        return items;
    }
    size_t pos = 0;
    while (true) {
        std::string item;
        if (pos < text.size() && text[pos] == ' ') {
            // Inside a wrapped item every blank is doubled, so a single blank closes it.
            ++pos;
            bool closed = false;
            while (pos < text.size()) {
                if (text[pos] == ' ') {
                    if (pos + 1 < text.size() && text[pos + 1] == ' ') {
                        item += ' ';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    closed = true;
                    break;
                }
                item += text[pos++];
            }
            if (!closed) {
                return std::nullopt;
            }
            if (pos < text.size() && text[pos] != ',') {
                return std::nullopt;
            }
        } else {
            const size_t comma = text.find(',', pos);
            const size_t end = comma == std::string_view::npos ? text.size() : comma;
            item.assign(text.substr(pos, end - pos));
            pos = end;
        }
        items.push_back(std::move(item));
        if (pos >= text.size()) {
            break;
        }
        ++pos;  // the comma
    }
    return items;
}

std::string FilterChainText(const std::vector<const TAVFilter*>& filters) {
    std::vector<std::string> pieces;
    pieces.reserve(filters.size());
    for (const TAVFilter* filter : filters) {
        pieces.push_back(filter->GetFilterText());
    }
    return JoinFilterItems(pieces);
}

}  // namespace tw::filters
