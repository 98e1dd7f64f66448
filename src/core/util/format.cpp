#include "util/format.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tw {

std::string FormatPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(static_cast<size_t>(length));
        std::vsnprintf(result.data(), result.size() + 1, format, args);
    }
    va_end(args);
    return result;
}

void AssertionFailed(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "Assertion failed: %s (%s, line %d)\n", condition, file, line);
    std::abort();
}

}  // namespace tw
