#include "profiles/x264_profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/convert_options.h"

namespace tw {
namespace {

// The columns of one preset as the table gives them; "" = not set.
struct Row {
    TPreset preset;
    std::string partitions, meMethod, subq, meRange, g;
    bool common2;
    std::string bf, refs, directpred, trellis, cqp, flags2, wpredp;
};

TStringList ExpectedLines(const Row& r) {
    TStringList lines = {"coder=1", "flags=+loop", "cmp=+chroma"};
    auto add = [&lines](const std::string& name, const std::string& value) {
        if (!value.empty()) {
            lines.push_back(name + "=" + value);
        }
    };
    add("partitions", r.partitions);
    add("me_method", r.meMethod);
    add("subq", r.subq);
    add("me_range", r.meRange);
    add("g", r.g);
    for (const char* line : {"keyint_min=25", "sc_threshold=40", "i_qfactor=0.71"}) {
        lines.push_back(line);
    }
    lines.push_back(r.common2 ? "b_strategy=2" : "b_strategy=1");
    for (const char* line : {"qcomp=0.6", "qmin=10", "qmax=51", "qdiff=4"}) {
        lines.push_back(line);
    }
    add("bf", r.bf);
    add("refs", r.refs);
    add("directpred", r.directpred);
    add("trellis", r.trellis);
    add("cqp", r.cqp);
    add("flags2", r.flags2);
    add("wpredp", r.wpredp);
    return lines;
}

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        {TPreset::basic, "+parti8x8+parti4x4+partp8x8+partb8x8", "hex", "7", "16", "250", false,
         "3", "3", "1", "1", "", "+mixed_refs+wpred+dct8x8+fastpskip+mbtree", "2"},
        {TPreset::FastFirstPass, "-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8", "dia", "2", "16",
         "250", false, "3", "1", "3", "0", "", "-bpyramid-wpred-mixed_refs-dct8x8+fastpskip+mbtree",
         "2"},
        {TPreset::SlowFirstPass, "+parti8x8+parti4x4+partp8x8+partb8x8", "hex", "6", "16", "250",
         true, "3", "1", "3", "0", "", "+wpred+dct8x8+fastpskip+mbtree", "2"},
        {TPreset::Common, "+parti8x8+parti4x4+partp8x8+partb8x8", "hex", "6", "16", "250", false,
         "3", "2", "3", "0", "", "+wpred+dct8x8+fastpskip+mbtree", "2"},
        {TPreset::HighQuality, "+parti8x8+parti4x4+partp8x8+partb8x8", "umh", "8", "16", "250",
         true, "3", "4", "3", "1", "", "+wpred+mixed_refs+dct8x8+fastpskip+mbtree", "2"},
        {TPreset::Best, "+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8", "tesa", "10", "24", "250",
         true, "3", "16", "3", "2", "", "+wpred+mixed_refs+dct8x8-fastpskip+mbtree", "2"},
        {TPreset::LosslessFast, "-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8", "hex", "3", "16",
         "250", false, "", "", "1", "", "0", "+fastpskip+mbtree", "0"},
        {TPreset::LosslessMedium, "-parti8x8+parti4x4+partp8x8+partp4x4-partb8x8", "hex", "5", "16",
         "250", false, "", "", "1", "", "0", "+fastpskip+mbtree", "2"},
        {TPreset::LosslessSlow, "+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8", "umh", "6", "16",
         "250", false, "", "2", "1", "", "0", "+dct8x8+fastpskip+mbtree", "2"},
        {TPreset::LosslessSlower, "+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8", "umh", "8", "16",
         "250", false, "", "4", "1", "", "0", "+mixed_refs+dct8x8+fastpskip+mbtree", "2"},
        {TPreset::LosslessMax, "+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8", "esa", "8", "16",
         "250", false, "", "16", "1", "", "0", "+mixed_refs+dct8x8+fastpskip+mbtree", "2"},
    };
    return rows;
}

TEST(X264Profile, EveryPresetSetsItsColumnsInOrder) {
    ASSERT_EQ(Rows().size(), static_cast<size_t>(kPresetCount));
    for (const Row& row : Rows()) {
        TAVX264Profile profile;
        profile.Setpreset(row.preset);
        TAVConvertOptions options;
        EXPECT_TRUE(profile.ApplyTo(options));
        EXPECT_EQ(options.CodecOptions(), ExpectedLines(row)) << static_cast<int>(row.preset);
    }
}

TEST(X264Profile, PresetsReplaceValuesOfEarlierPresetsInPlace) {
    // A lossless preset over a normal one: the lines the lossless preset leaves alone (bf,
    // trellis) keep the earlier values, the others take the new ones where they stand.
    TAVConvertOptions options;
    TAVX264Profile profile;
    profile.Setpreset(TPreset::HighQuality);
    profile.ApplyTo(options);
    const size_t count = options.CodecOptions().size();
    profile.Setpreset(TPreset::LosslessMax);
    profile.ApplyTo(options);
    const TStringList& lines = options.CodecOptions();
    ASSERT_EQ(lines.size(), count + 1);  // cqp is new
    EXPECT_EQ(lines[4], "me_method=esa");
    EXPECT_EQ(lines[11], "b_strategy=1");
    EXPECT_EQ(lines[16], "bf=3");
    EXPECT_EQ(lines[19], "trellis=1");
    EXPECT_EQ(lines.back(), "cqp=0");
}

TEST(X264Profile, PresetOutsideTheEnumerationSetsNothing) {
    TAVX264Profile profile;
    profile.Setpreset(static_cast<TPreset>(11));
    TAVConvertOptions options;
    options.SetCodecOptions({"keep=1"});
    EXPECT_TRUE(profile.ApplyTo(options));
    EXPECT_EQ(options.CodecOptions(), (TStringList{"keep=1"}));
}

}  // namespace
}  // namespace tw
