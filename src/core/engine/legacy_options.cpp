#include "engine/legacy_options.h"

#include <map>
#include <utility>

namespace tw::engine {

namespace {

using Scope = TranslatedOption::Scope;

// "+a-b+c" (or a bare "a") as signed words in order.
std::vector<std::pair<bool, std::string>> FlagWords(const std::string& value) {
    std::vector<std::pair<bool, std::string>> words;
    bool on = true;
    std::string word;
    const auto flush = [&] {
        if (!word.empty()) {
            words.emplace_back(on, word);
            word.clear();
        }
    };
    for (const char c : value) {
        if (c == '+' || c == '-') {
            flush();
            on = c == '+';
        } else {
            word += c;
        }
    }
    flush();
    return words;
}

// Built by appending: GCC 12 takes `const char* + std::string` for an overlapping copy when it
// inlines it at -O2 and above (a false -Wrestrict).
std::string Signed(bool on, const std::string& word) {
    std::string text(1, on ? '+' : '-');
    text += word;
    return text;
}

// Words of the old "flags" that are private options of particular encoders now.
void TranslateFlags(const std::string& value, std::vector<TranslatedOption>* out) {
    static const std::map<std::string, std::string> kPrivateSwitches = {
        {"scan_offset", "scan_offset"},
        {"aic", "aic"},
        {"umv", "umv"},
        {"obmc", "obmc"},
        {"alt", "alternate_scan"},
        {"part", "data_partitioning"},
    };
    static const std::map<std::string, std::string> kMpegVideoFlags = {
        {"mv0", "mv0"}, {"naq", "naq"}, {"cbp", "cbp_rd"}, {"qprd", "qp_rd"}};
    const bool setsAll = !value.empty() && value[0] != '+' && value[0] != '-';
    std::string generic;
    std::string mpegVideo;
    for (const auto& [on, word] : FlagWords(value)) {
        if (word == "loop") {
            // The deblocking filter is on by default in libx264; only turning it off says more.
            if (!on) {
                out->push_back({"x264-params", "deblock=0", Scope::VideoEncoder});
            }
        } else if (const auto p = kPrivateSwitches.find(word); p != kPrivateSwitches.end()) {
            out->push_back({p->second, on ? "1" : "0", Scope::VideoEncoder});
        } else if (const auto m = kMpegVideoFlags.find(word); m != kMpegVideoFlags.end()) {
            mpegVideo += Signed(on, m->second);
        } else {
            generic += setsAll && generic.empty() ? word : Signed(on, word);
        }
    }
    if (!generic.empty()) {
        out->push_back({"flags", generic, Scope::Generic});
    }
    if (!mpegVideo.empty()) {
        out->push_back({"mpv_flags", mpegVideo, Scope::VideoEncoder});
    }
}

// The old "flags2" words of the H.264 presets are libx264 switches now.
void TranslateFlags2(const std::string& value, std::vector<TranslatedOption>* out) {
    static const std::map<std::string, std::string> kX264Switches = {
        {"mixed_refs", "mixed-refs"}, {"wpred", "weightb"}, {"dct8x8", "8x8dct"},
        {"fastpskip", "fast-pskip"},  {"mbtree", "mbtree"},
    };
    std::string generic;
    for (const auto& [on, word] : FlagWords(value)) {
        if (const auto x = kX264Switches.find(word); x != kX264Switches.end()) {
            out->push_back({x->second, on ? "1" : "0", Scope::VideoEncoder});
        } else if (word == "bpyramid") {
            out->push_back({"b-pyramid", on ? "normal" : "none", Scope::VideoEncoder});
        } else {
            generic += Signed(on, word);
        }
    }
    if (!generic.empty()) {
        out->push_back({"flags2", generic, Scope::Generic});
    }
}

// The old partition flag words as libx264's list ("i8x8,i4x4,p8x8,b8x8").
std::string X264Partitions(const std::string& value) {
    static const std::pair<const char*, const char*> kNames[] = {{"parti4x4", "i4x4"},
                                                                 {"parti8x8", "i8x8"},
                                                                 {"partp4x4", "p4x4"},
                                                                 {"partp8x8", "p8x8"},
                                                                 {"partb8x8", "b8x8"}};
    std::map<std::string, bool> chosen;
    for (const auto& [on, word] : FlagWords(value)) {
        chosen[word] = on;
    }
    std::string list;
    for (const auto& [old, now] : kNames) {
        if (chosen[old]) {
            if (!list.empty()) {
                list += ',';
            }
            list += now;
        }
    }
    return list.empty() ? "none" : list;
}

}  // namespace

std::vector<TranslatedOption> TranslateLegacyOption(const std::string& name,
                                                    const std::string& value) {
    std::vector<TranslatedOption> out;
    if (name == "flags") {
        TranslateFlags(value, &out);
    } else if (name == "flags2") {
        TranslateFlags2(value, &out);
    } else if (name == "partitions") {
        out.push_back({"partitions", X264Partitions(value), Scope::VideoEncoder});
    } else if (name == "me_method") {
        out.push_back({"motion-est", value, Scope::VideoEncoder});
    } else if (name == "directpred") {
        out.push_back({"direct-pred", value, Scope::VideoEncoder});
    } else if (name == "cqp") {
        out.push_back({"qp", value, Scope::VideoEncoder});
    } else if (name == "coder" || name == "b_strategy" || name == "sc_threshold" ||
               name == "wpredp") {
        out.push_back({name, value, Scope::VideoEncoder});
    } else if (name == "muxrate") {
        out.push_back({name, value, Scope::Muxer});
    } else {
        out.push_back({name, value, Scope::Generic});
    }
    return out;
}

}  // namespace tw::engine
