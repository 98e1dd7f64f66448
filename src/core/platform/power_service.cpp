#include "platform/power_service.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace tw::platform {

bool SystemPowerService::PowerOff(std::string* error) {
    // Run directly, without a shell: nothing of the user's data reaches the command line.
    char program[] = "systemctl";
    char verb[] = "poweroff";
    char* argv[] = {program, verb, nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, program, nullptr, nullptr, argv, environ);
    if (spawned != 0) {
        if (error) {
            *error = std::string("systemctl: ") + std::strerror(spawned);
        }
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            if (error) {
                *error = std::string("systemctl: ") + std::strerror(errno);
            }
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (error) {
            *error = "systemctl poweroff was refused";
        }
        return false;
    }
    return true;
}

}  // namespace tw::platform
