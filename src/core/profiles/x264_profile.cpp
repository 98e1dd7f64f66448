#include "profiles/x264_profile.h"

#include "engine/convert_options.h"

namespace tw {

namespace {

enum class RateControl { Common, Common2 };

// One row of the preset table; an empty optional is an option the preset leaves alone.
struct PresetRow {
    const char* partitions;
    const char* meMethod;
    const char* subq;
    const char* meRange;
    const char* g;
    RateControl rateControl;
    const char* bf;
    const char* refs;
    const char* directpred;
    const char* trellis;
    const char* cqp;
    const char* flags2;
    const char* wpredp;
};

constexpr RateControl kCommon = RateControl::Common;
constexpr RateControl kCommon2 = RateControl::Common2;

// Rows in TPreset order; nullptr = not set by that preset.
constexpr PresetRow kPresets[kPresetCount] = {
    // basic
    {"+parti8x8+parti4x4+partp8x8+partb8x8", "hex", "7", "16", "250", kCommon, "3", "3", "1", "1",
     nullptr, "+mixed_refs+wpred+dct8x8+fastpskip+mbtree", "2"},
    // FastFirstPass
    {"-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8", "dia", "2", "16", "250", kCommon, "3", "1",
     "3", "0", nullptr, "-bpyramid-wpred-mixed_refs-dct8x8+fastpskip+mbtree", "2"},
    // SlowFirstPass
    {"+parti8x8+parti4x4+partp8x8+partb8x8", "hex", "6", "16", "250", kCommon2, "3", "1", "3", "0",
     nullptr, "+wpred+dct8x8+fastpskip+mbtree", "2"},
    // Common
    {"+parti8x8+parti4x4+partp8x8+partb8x8", "hex", "6", "16", "250", kCommon, "3", "2", "3", "0",
     nullptr, "+wpred+dct8x8+fastpskip+mbtree", "2"},
    // HighQuality
    {"+parti8x8+parti4x4+partp8x8+partb8x8", "umh", "8", "16", "250", kCommon2, "3", "4", "3", "1",
     nullptr, "+wpred+mixed_refs+dct8x8+fastpskip+mbtree", "2"},
    // Best
    {"+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8", "tesa", "10", "24", "250", kCommon2, "3",
     "16", "3", "2", nullptr, "+wpred+mixed_refs+dct8x8-fastpskip+mbtree", "2"},
    // LosslessFast
    {"-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8", "hex", "3", "16", "250", kCommon, nullptr,
     nullptr, "1", nullptr, "0", "+fastpskip+mbtree", "0"},
    // LosslessMedium
    {"-parti8x8+parti4x4+partp8x8+partp4x4-partb8x8", "hex", "5", "16", "250", kCommon, nullptr,
     nullptr, "1", nullptr, "0", "+fastpskip+mbtree", "2"},
    // LosslessSlow
    {"+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8", "umh", "6", "16", "250", kCommon, nullptr,
     "2", "1", nullptr, "0", "+dct8x8+fastpskip+mbtree", "2"},
    // LosslessSlower
    {"+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8", "umh", "8", "16", "250", kCommon, nullptr,
     "4", "1", nullptr, "0", "+mixed_refs+dct8x8+fastpskip+mbtree", "2"},
    // LosslessMax
    {"+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8", "esa", "8", "16", "250", kCommon, nullptr,
     "16", "1", nullptr, "0", "+mixed_refs+dct8x8+fastpskip+mbtree", "2"},
};

}  // namespace

TAVX264Profile::TAVX264Profile() : TAVProfile("H264 Profile", ".mp4") {}

const PropertyTable& TAVX264Profile::Properties() const {
    using T = TAVX264Profile;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .String("Description", &T::Description, &T::SetDescription)
            .String("Extension", &T::Extension, &T::SetExtension)
            .String("Category", &T::Category, &T::SetCategory)
            .Enum(
                "preset", &T::preset, &T::Setpreset,
                {"basic", "FastFirstPass", "SlowFirstPass", "Common", "HighQuality", "Best",
                 "LosslessFast", "LosslessMedium", "LosslessSlow", "LosslessSlower", "LosslessMax"})
            .Build();
    return table;
}

std::vector<std::pair<std::string, std::string>> X264PresetOptions(TPreset preset) {
    std::vector<std::pair<std::string, std::string>> lines;
    const int ordinal = static_cast<int>(preset);
    if (ordinal < 0 || ordinal >= kPresetCount) {
        return lines;
    }
    const PresetRow& row = kPresets[ordinal];
    auto add = [&lines](const char* name, const char* value) {
        if (value) {
            lines.emplace_back(name, value);
        }
    };
    add("coder", "1");
    add("flags", "+loop");
    add("cmp", "+chroma");
    add("partitions", row.partitions);
    add("me_method", row.meMethod);
    add("subq", row.subq);
    add("me_range", row.meRange);
    add("g", row.g);
    add("keyint_min", "25");
    add("sc_threshold", "40");
    add("i_qfactor", "0.71");
    add("b_strategy", row.rateControl == kCommon2 ? "2" : "1");
    add("qcomp", "0.6");
    add("qmin", "10");
    add("qmax", "51");
    add("qdiff", "4");
    add("bf", row.bf);
    add("refs", row.refs);
    add("directpred", row.directpred);
    add("trellis", row.trellis);
    add("cqp", row.cqp);
    add("flags2", row.flags2);
    add("wpredp", row.wpredp);
    return lines;
}

bool TAVX264Profile::ApplyTo(TAVConvertOptions& options) const {
    for (const auto& [name, value] : X264PresetOptions(preset_)) {
        options.SetCodecOption(name, value);
    }
    return true;
}

}  // namespace tw
