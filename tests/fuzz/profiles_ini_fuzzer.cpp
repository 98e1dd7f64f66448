// The user-profile file: any bytes either load or fail with the loader's error (the catalogue
// then unchanged); loaded profiles apply to an options tree, and saving them gives a file that
// loads back to the same profiles.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/convert_options.h"
#include "fuzz_support.h"
#include "profiles/profile_catalogue.h"
#include "util/av_error.h"
#include "util/ini_file.h"

namespace fs = std::filesystem;

namespace {

fs::path Scratch(const char* name) {
    static const fs::path folder = [] {
        const fs::path f =
            fs::temp_directory_path() / ("tw-fuzz-profiles-" + std::to_string(getpid()));
        fs::create_directories(f);
        return f;
    }();
    return folder / name;
}

std::string SavedText(const tw::TAVProfileList& list, const fs::path& file) {
    std::error_code ignored;
    fs::remove(file, ignored);
    tw::SaveUserProfiles(list, file);
    return tw::TIniFile(file).Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tw::fuzz::QuietProcess();
    const std::string_view text = tw::fuzz::AsText(data, size);

    // The INI reader alone: every section and key it lists can be read.
    const tw::TIniFile ini = tw::TIniFile::FromText(text);
    for (const std::string& section : ini.ReadSections()) {
        for (const std::string& key : ini.ReadSection(section)) {
            TW_FUZZ_CHECK(ini.ValueExists(section, key), section + "/" + key);
        }
    }

    const fs::path file = Scratch("Profiles.ini");
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    auto list = tw::CreateBuiltInCatalogue();
    const int builtIn = list->Count();
    try {
        tw::LoadUserProfiles(*list, file);
    } catch (const tw::EAVError&) {
        TW_FUZZ_CHECK(list->Count() == builtIn, "a refused file changed the catalogue");
        return 0;
    }
    for (int i = 0; i < list->Count(); ++i) {
        tw::TAVConvertOptions options;
        list->Items(i).ApplyTo(options);
    }
    const std::string first = SavedText(*list, Scratch("first.ini"));
    auto reloaded = tw::CreateBuiltInCatalogue();
    tw::LoadUserProfiles(*reloaded, Scratch("first.ini"));
    TW_FUZZ_CHECK(SavedText(*reloaded, Scratch("second.ini")) == first, first);
    return 0;
}
