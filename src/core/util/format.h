#pragma once

#include <string>

namespace tw {

// printf-style formatting into a std::string; the message formats of the program are C formats.
std::string FormatPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Programming errors: a state correct callers never produce. Aborts with the source and line.
[[noreturn]] void AssertionFailed(const char* file, int line, const char* condition);

}  // namespace tw

#define TW_ASSERT(cond)                                       \
    do {                                                      \
        if (!(cond)) {                                        \
            ::tw::AssertionFailed(__FILE__, __LINE__, #cond); \
        }                                                     \
    } while (false)
