#include "util/string_list.h"

namespace tw {

std::string_view NamePart(std::string_view line) {
    const size_t eq = line.find('=');
    return eq == std::string_view::npos ? line : line.substr(0, eq);
}

std::string_view ValuePart(std::string_view line) {
    const size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view{} : line.substr(eq + 1);
}

int IndexOfName(const TStringList& list, std::string_view name) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].find('=') != std::string::npos && NamePart(list[i]) == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string_view Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') {
        --end;
    }
    return text.substr(begin, end - begin);
}

}  // namespace tw
