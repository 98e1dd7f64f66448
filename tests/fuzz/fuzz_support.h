#pragma once

// Shared by the fuzz targets: a quiet process (no message boxes on stderr, no library log
// lines), a check that stops the run on a broken property, and the input as text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::fuzz {

// Installs a message service that keeps nothing and silences the media libraries' own log.
// Idempotent; every target calls it first.
void QuietProcess();

// Reports a broken property of the code under test and aborts, so that the fuzzer keeps the
// input that caused it.
[[noreturn]] void Broken(const char* what, std::string_view detail = {});

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace tw::fuzz

#define TW_FUZZ_CHECK(condition, detail)            \
    do {                                            \
        if (!(condition)) {                         \
            ::tw::fuzz::Broken(#condition, detail); \
        }                                           \
    } while (false)
