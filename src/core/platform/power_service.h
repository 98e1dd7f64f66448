#pragma once

// Powering the computer off when all work is done. The program asks through this interface so
// that tests (and a front end that wants to confirm first) can stand in for the real thing.

#include <string>

namespace tw::platform {

class PowerService {
public:
    virtual ~PowerService() = default;
    // Asks the system to power off, without forcing anything. False with a reason when the
    // request could not be made or was refused.
    virtual bool PowerOff(std::string* error) = 0;
};

// Asks logind through "systemctl poweroff" and waits for the command's answer.
class SystemPowerService : public PowerService {
public:
    bool PowerOff(std::string* error) override;
};

}  // namespace tw::platform
