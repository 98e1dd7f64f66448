// The Debian packaging agrees with the build: same version, and the package's install list
// names exactly what "cmake --install" installs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "shell_run.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

std::string FirstMatch(const std::string& file, const std::regex& pattern) {
    const std::string text = ReadFileBytes(SourcePath(file));
    std::smatch match;
    return std::regex_search(text, match, pattern) ? match[1].str() : std::string();
}

TEST(DebianFiles, ChangelogAndMetadataCarryTheProjectVersion) {
    EXPECT_EQ(
        FirstMatch("debian/changelog", std::regex(R"(^tidewell-video-converter \(([^)]+)\))")),
        TW_PROJECT_VERSION)
        << "a new version needs a debian/changelog entry";
    // The newest release comes first.
    EXPECT_EQ(FirstMatch("data/com.tidewellsoft.VideoConverter.metainfo.xml",
                         std::regex(R"(<release version="([^"]+)\")")),
              TW_PROJECT_VERSION)
        << "a new version needs a <release> in the AppStream metadata";
}

#ifdef TW_UI_PATH
TEST(DebianFiles, InstallListNamesEveryInstalledFileAndNoOther) {
    TempFolder destDir;
    InstallBuild(destDir.Path().string(), "/usr");
    std::set<std::string> installed;
    for (const auto& entry : fs::recursive_directory_iterator(destDir.Path())) {
        if (!entry.is_directory()) {
            installed.insert(entry.path().lexically_relative(destDir.Path()).string());
        }
    }
    std::set<std::string> listed;
    for (const std::string& line :
         Lines(ReadFileBytes(SourcePath("debian/tidewell-video-converter.install")))) {
        listed.insert(line);
    }
    EXPECT_EQ(installed, listed);
}
#endif

}  // namespace
}  // namespace tw::test
