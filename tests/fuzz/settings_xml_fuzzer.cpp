// The settings text of a stored task: any bytes either read or fail with the reader's error, and
// what the program writes reads back to the very same settings. (Not from the first text on: a
// stored zero is left out, as the form demands, and then reads back as the property's initial
// value, which for a few properties is not zero.)

#include "fuzz_support.h"
#include "tasks/conversion_settings.h"
#include "util/settings_xml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tw::fuzz::QuietProcess();
    tw::TConversionSettings settings;
    try {
        tw::ReadSettingsXml(tw::fuzz::AsText(data, size), settings);
    } catch (const tw::EAVError&) {
        return 0;
    }
    std::string written = tw::WriteSettingsXml(settings);
    for (int generation = 0; generation < 2; ++generation) {
        tw::TConversionSettings again;
        try {
            tw::ReadSettingsXml(written, again);
        } catch (const tw::EAVError& e) {
            tw::fuzz::Broken("written settings read back", e.what());
        }
        const std::string rewritten = tw::WriteSettingsXml(again);
        TW_FUZZ_CHECK(generation == 0 || rewritten == written, written + "\n" + rewritten);
        written = rewritten;
    }
    return 0;
}
