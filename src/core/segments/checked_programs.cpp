#include "segments/checked_programs.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/paths.h"
#include "segments/host_logins.h"
#include "segments/segment_cache.h"
#include "util/string_list.h"

namespace tw::segments {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string FilePath() {
    return platform::CacheBase() + "/TidewellSoft/VideoConverter/checked-programs.json";
}

// What the file holds for version: a login's digest, its program's identity.
std::map<std::string, std::string> ReadKnown(const std::string& version) {
    std::map<std::string, std::string> known;
    std::ifstream in(FilePath());
    if (!in) {
        return known;
    }
    try {
        const json data = json::parse(in);
        if (data.at("version").get<std::string>() == version) {
            data.at("programs").get_to(known);
        }
    } catch (const json::exception&) {
        known.clear();
    }
    return known;
}

// An identity as stat writes it (numbers, colons and points): it goes into a command line.
bool WellFormed(const std::string& identity) {
    return !identity.empty() && identity.size() < 128 &&
           std::all_of(identity.begin(), identity.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == ':' || c == '.'; });
}

constexpr std::string_view kFileLine = "file ";

}  // namespace

CheckedPrograms::CheckedPrograms(std::string version)
    : version_(std::move(version)), known_(ReadKnown(version_)) {}

std::string CheckedPrograms::Identity(const std::string& login) const {
    const auto found = known_.find(Digest(login));
    return found != known_.end() && WellFormed(found->second) ? found->second : std::string();
}

void CheckedPrograms::Remember(const std::string& login, const std::string& identity) {
    if (WellFormed(identity)) {
        remembered_[Digest(login)] = identity;
    }
}

void CheckedPrograms::Save() const {
    if (remembered_.empty()) {
        return;
    }
    std::map<std::string, std::string> programs = ReadKnown(version_);
    for (const auto& [login, identity] : remembered_) {
        programs[login] = identity;
    }
    const std::string path = FilePath();
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return;
    }
    close(fd);
    std::ofstream out(temporary, std::ios::trunc);
    out << json{{"version", version_}, {"programs", programs}}.dump() << '\n';
    out.close();
    if (!out) {
        fs::remove(temporary, error);
        return;
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
    }
}

std::string CheckedPrograms::CheckCommand(const std::string& known) {
    // POSIX sh whatever the login's shell is. An ELF file (a compiled program) is told by its
    // first four bytes.
    const std::string script =
        "p=$(command -v tidewell-convert) && "
        "i=$(stat -L -c %d:%i:%s:%.9Y:%.9Z -- \"$p\" 2>/dev/null) && "
        "[ \"$(head -c 4 -- \"$p\" 2>/dev/null)\" = \"$(printf \"\\177ELF\")\" ] && "
        "echo \"" +
        std::string(kFileLine) + "$i\" && [ \"$i\" = \"" + (WellFormed(known) ? known : "") +
        "\" ] || exec tidewell-convert --version";
    return "sh -c " + ShellQuote(script);
}

CheckedPrograms::Answer CheckedPrograms::Read(const std::string& output, const std::string& known) {
    Answer answer;
    std::string_view rest = output;
    if (rest.starts_with(kFileLine)) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        const std::string identity(Trim(rest.substr(kFileLine.size(), end - kFileLine.size())));
        answer.identity = WellFormed(identity) ? identity : std::string();
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    answer.version = std::string(Trim(rest.substr(0, rest.find('\n'))));
    answer.known = answer.version.empty() && !answer.identity.empty() && answer.identity == known;
    return answer;
}

}  // namespace tw::segments
