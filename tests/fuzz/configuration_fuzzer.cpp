// The configuration file as found at start-up: whatever it holds, loading ends with usable
// values and a file that reads back to them; a file that could not be read is kept aside.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "tasks/configuration.h"
#include "util/settings_xml.h"

namespace fs = std::filesystem;

namespace {

const fs::path& ConfigHome() {
    static const fs::path home = [] {
        const fs::path folder =
            fs::temp_directory_path() / ("tw-fuzz-config-" + std::to_string(getpid()));
        fs::create_directories(folder);
        setenv("TIDEWELL_CONFIG_HOME", folder.c_str(), 1);
        setenv("XDG_VIDEOS_DIR", (folder / "videos").c_str(), 1);
        return folder;
    }();
    return home;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tw::fuzz::QuietProcess();
    ConfigHome();
    const fs::path file = tw::TAVConfiguration::ConfigFileName();
    fs::create_directories(file.parent_path());
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    tw::TAVConfiguration configuration;
    configuration.SetPriorityApplier([](int, std::string*) { return true; });
    try {
        configuration.Load();
    } catch (const tw::EAVError& e) {
        tw::fuzz::Broken("a damaged configuration stops the start", e.what());
    }
    // What is on disk now (the original or the initial values written afresh) reads cleanly.
    tw::TAVConfiguration reread;
    reread.SetPriorityApplier([](int, std::string*) { return true; });
    try {
        tw::LoadSettingsXmlFile(file, reread);
    } catch (const tw::EAVError& e) {
        tw::fuzz::Broken("the configuration file after loading", e.what());
    }
    const std::string loaded = tw::WriteSettingsXml(configuration);
    TW_FUZZ_CHECK(tw::WriteSettingsXml(reread) == loaded, loaded);
    // Copies kept aside pile up otherwise.
    const std::string kept = file.filename().string() + ".bad";
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().rfind(kept, 0) == 0) {
            fs::remove_all(entry.path());
        }
    }
    return 0;
}
