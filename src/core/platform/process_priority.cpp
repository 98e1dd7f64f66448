#include "platform/process_priority.h"

#include <sys/resource.h>

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

}  // namespace tw::platform
