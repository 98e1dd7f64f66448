#include "platform/process_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>

#include <cerrno>
#include <cstring>

namespace tw::platform {

int NiceValueForLevel(int level) {
    static constexpr int kNice[] = {19, 10, 0, -5, -10, -20};
    if (level < 0) {
        level = 0;
    }
    if (level > 5) {
        level = 5;
    }
    return kNice[level];
}

bool ApplyProcessPriority(int level, std::string* error) {
    if (setpriority(PRIO_PROCESS, 0, NiceValueForLevel(level)) != 0) {
        if (error) {
            *error = std::strerror(errno);
        }
        return false;
    }
    return true;
}

namespace {

std::atomic<int> conversionLevel{2};

}  // namespace

void SetConversionPriority(int level) {
    conversionLevel.store(level);
}

int ConversionPriority() {
    return conversionLevel.load();
}

bool ApplyConversionPriorityToThisThread(std::string* error) {
    // On Linux a thread's nice value is its own: "process" here names the calling thread.
    const int level = conversionLevel.load();
    if (level < 0) {
        return true;
    }
    const id_t thread = static_cast<id_t>(gettid());
    const int wanted = NiceValueForLevel(level);
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, thread);
    if (errno == 0 && current == wanted) {
        return true;
    }
    if (setpriority(PRIO_PROCESS, thread, wanted) != 0) {
        if (error) {
            *error = std::strerror(errno);
        }
        return false;
    }
    return true;
}

}  // namespace tw::platform
