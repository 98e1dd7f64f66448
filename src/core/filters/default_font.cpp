#include "filters/default_font.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace tw::filters {

namespace {

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

std::string ResolveDefaultFontFile() {
    // The renderer's own choice when it has no font file: the family "Sans".
    const PatternPtr wanted(FcNameParse(reinterpret_cast<const FcChar8*>("Sans")));
    if (!wanted || !FcConfigSubstitute(nullptr, wanted.get(), FcMatchPattern)) {
        return {};
    }
    FcDefaultSubstitute(wanted.get());
    FcResult result = FcResultNoMatch;
    const PatternPtr found(FcFontMatch(nullptr, wanted.get(), &result));
    FcChar8* file = nullptr;
    if (!found || FcPatternGetString(found.get(), FC_FILE, 0, &file) != FcResultMatch || !file) {
        return {};
    }
    return reinterpret_cast<const char*>(file);
}

}  // namespace

std::string DefaultFontFile() {
    // Resolving reads the font configuration; the installed fonts do not change meanwhile.
    static const std::string file = ResolveDefaultFontFile();
    return file;
}

}  // namespace tw::filters
