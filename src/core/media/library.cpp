#include "media/library.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace tw::media {

namespace {

std::mutex bindMutex;  // guards useCount
int useCount = 0;

// The libraries log from inside codec calls, many times a second and from every conversion at
// once: the lookup takes no lock that conversions would share.
thread_local LogSink* threadSink = nullptr;
std::atomic<size_t> registeredThreads{0};

void LibraryLogCallback(void* /*context*/, int level, const char* format, va_list args) {
    try {
        LogSink* sink = threadSink;
        // The sink belongs to this very thread's running conversion, so it outlives this call.
        if (!sink || level > sink->LogLevel()) {
            return;
        }
        char buffer[kMaxLogLine + 1] = {};
        va_list copy;
        va_copy(copy, args);
        std::vsnprintf(buffer, sizeof buffer, format, copy);
        va_end(copy);
        sink->OnLibraryLog(level, buffer);
    } catch (...) {
        // A log line must never take the library call that emitted it down.
    }
}

}  // namespace

void BindLibraries() {
    std::lock_guard lock(bindMutex);
    if (useCount++ == 0) {
        av_log_set_flags(AV_LOG_SKIP_REPEATED);
        avdevice_register_all();
        av_log_set_callback(LibraryLogCallback);
    }
}

void ReleaseLibraries() {
    std::lock_guard lock(bindMutex);
    if (useCount > 0 && --useCount == 0) {
        av_log_set_callback(av_log_default_callback);
    }
}

int LibraryUseCount() {
    std::lock_guard lock(bindMutex);
    return useCount;
}

ThreadLogRegistration::ThreadLogRegistration(LogSink& sink) : previous_(threadSink) {
    threadSink = &sink;
    if (!previous_) {
        ++registeredThreads;
    }
}

ThreadLogRegistration::~ThreadLogRegistration() {
    threadSink = previous_;
    if (!previous_) {
        --registeredThreads;
    }
}

size_t RegisteredLogThreads() {
    return registeredThreads.load();
}

}  // namespace tw::media
