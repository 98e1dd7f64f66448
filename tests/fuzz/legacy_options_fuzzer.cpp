// Stored library option lines ("name=value", one a line): translated into today's options and
// set on the default contexts, whatever their words, without a fault.

#include <string>
#include <string_view>

#include "engine/convert_options.h"
#include "engine/legacy_options.h"
#include "engine/library_options.h"
#include "fuzz_support.h"
#include "media/library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tw::fuzz::QuietProcess();
    static tw::media::LibraryUse libraries;
    tw::engine::LibraryOptions options(4);
    tw::TAVConvertOptions tree;
    std::string_view text = tw::fuzz::AsText(data, size);
    int lines = 0;
    while (!text.empty() && ++lines <= 64) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const size_t eq = line.find('=');
        const std::string name(line.substr(0, eq));
        const std::string value(eq == std::string_view::npos ? "" : line.substr(eq + 1));
        tw::engine::TranslateLegacyOption(name, value);
        options.SetLibraryOption(name, value);
        tree.SetCodecOption(name, value);
    }
    return 0;
}
