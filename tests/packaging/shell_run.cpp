#include "shell_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <sstream>

namespace tw::test {

ShellResult RunBash(const std::string& script, const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) {
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv = {const_cast<char*>("bash"), const_cast<char*>("-c"),
                                   const_cast<char*>(script.c_str()), const_cast<char*>("bash")};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execvp("bash", argv.data());
        _exit(127);
    }
    close(out[1]);
    ShellResult result;
    std::array<char, 4096> buffer;
    ssize_t n;
    while ((n = read(out[0], buffer.data(), buffer.size())) > 0) {
        result.output.append(buffer.data(), static_cast<size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::set<std::string> HelpOptions(const std::string& program) {
    const ShellResult help = RunBash("\"$1\" --help", {program});
    EXPECT_EQ(help.exitCode, 0) << help.output;
    // An option line starts with two blanks and the option: "  -v, --verbose   text" or
    // "  --profile NAME   text"; the lines that go on an option's text are indented further.
    std::set<std::string> options;
    for (const std::string& line : Lines(help.output)) {
        if (line.rfind("  -", 0) != 0) {
            continue;
        }
        const std::string names = line.substr(2, line.find("  ", 2) - 2);
        std::istringstream parts(names);
        for (std::string part; std::getline(parts, part, ',');) {
            const size_t start = part.find('-');
            options.insert(part.substr(start, part.find(' ', start) - start));
        }
    }
    return options;
}

std::string SourcePath(const std::string& relative) {
    return std::string(TW_SOURCE_DIR) + "/" + relative;
}

void InstallBuild(const std::string& destDir, const std::string& prefix) {
    const ShellResult install = RunBash("DESTDIR=\"$3\" \"$1\" --install \"$2\" --prefix \"$4\"",
                                        {TW_CMAKE, TW_BUILD_DIR, destDir, prefix});
    ASSERT_EQ(install.exitCode, 0) << install.output;
}

}  // namespace tw::test
