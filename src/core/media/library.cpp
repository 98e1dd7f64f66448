#include "media/library.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unordered_map>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace tw::media {

namespace {

std::mutex bindMutex;  // guards useCount
int useCount = 0;

std::mutex registryMutex;  // guards registry
std::unordered_map<std::thread::id, LogSink*> registry;

LogSink* SinkOfThisThread() {
    std::lock_guard lock(registryMutex);
    const auto found = registry.find(std::this_thread::get_id());
    return found == registry.end() ? nullptr : found->second;
}

void LibraryLogCallback(void* /*context*/, int level, const char* format, va_list args) {
    try {
        LogSink* sink = SinkOfThisThread();
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

ThreadLogRegistration::ThreadLogRegistration(LogSink& sink) {
    std::lock_guard lock(registryMutex);
    registry[std::this_thread::get_id()] = &sink;
}

ThreadLogRegistration::~ThreadLogRegistration() {
    std::lock_guard lock(registryMutex);
    registry.erase(std::this_thread::get_id());
}

size_t RegisteredLogThreads() {
    std::lock_guard lock(registryMutex);
    return registry.size();
}

}  // namespace tw::media
