#pragma once

// Process-wide use of the media libraries. BindLibraries counts a user in (the first does the
// one-time work: device registration, repeated-line suppression and the log callback);
// ReleaseLibraries counts one out (the last restores the library's own log output). So a probe
// or preview that releases never pulls the libraries from under a running conversion.
//
// Library log lines are routed to the converter whose worker thread produced them: a worker
// registers itself for its thread while it runs. Lines from any other thread are dropped.

#include <cstddef>
#include <string>

namespace tw::media {

void BindLibraries();
void ReleaseLibraries();
int LibraryUseCount();

// Binds for its lifetime.
class LibraryUse {
public:
    LibraryUse() { BindLibraries(); }
    ~LibraryUse() { ReleaseLibraries(); }
    LibraryUse(const LibraryUse&) = delete;
    LibraryUse& operator=(const LibraryUse&) = delete;
};

// Receives the library log lines of one worker thread (called on that thread).
class LogSink {
public:
    virtual ~LogSink() = default;
    // The most verbose level passed on (library numbering: panic 0 ... warning 24 ... debug 48).
    virtual int LogLevel() const = 0;
    virtual void OnLibraryLog(int level, const std::string& text) = 0;
};

// Registers sink for the calling thread for the lifetime of this object; the entry is removed
// however the scope is left (a registration inside another puts the outer one back). Create and
// destroy it on the same thread.
class ThreadLogRegistration {
public:
    explicit ThreadLogRegistration(LogSink& sink);
    ~ThreadLogRegistration();
    ThreadLogRegistration(const ThreadLogRegistration&) = delete;
    ThreadLogRegistration& operator=(const ThreadLogRegistration&) = delete;

private:
    LogSink* previous_;
};

// Number of threads currently registered (tests check that runs leave none behind).
size_t RegisteredLogThreads();

// Longest text passed on for one library log line.
inline constexpr size_t kMaxLogLine = 1024;

}  // namespace tw::media
