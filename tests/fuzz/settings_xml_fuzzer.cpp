// The settings text of a stored task: any bytes either read or fail with the reader's error, and
// what was read is written in a form that reads back to the very same settings.

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
    const std::string written = tw::WriteSettingsXml(settings);
    tw::TConversionSettings again;
    try {
        tw::ReadSettingsXml(written, again);
    } catch (const tw::EAVError& e) {
        tw::fuzz::Broken("written settings read back", e.what());
    }
    TW_FUZZ_CHECK(tw::WriteSettingsXml(again) == written, written);
    return 0;
}
