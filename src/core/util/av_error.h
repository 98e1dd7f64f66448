#pragma once

#include <stdexcept>
#include <string>

namespace tw {

// The program's one exception class for failures the user is told about. The message is the
// fixed English text of the failure (some are filled from a printf-style format).
class EAVError : public std::runtime_error {
public:
    explicit EAVError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tw
