#include "support/processes.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace tw::test {

std::vector<pid_t> ChildrenOf(pid_t parent) {
    std::vector<pid_t> children;
    const std::string wanted = "PPid:\t" + std::to_string(parent);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream status(entry.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line == wanted) {
                children.push_back(std::stoi(name));
                break;
            }
        }
    }
    return children;
}

std::vector<pid_t> DescendantsOf(pid_t pid) {
    std::vector<pid_t> found = ChildrenOf(pid);
    for (size_t i = 0; i < found.size(); ++i) {
        for (const pid_t child : ChildrenOf(found[i])) {
            found.push_back(child);
        }
    }
    return found;
}

}  // namespace tw::test
