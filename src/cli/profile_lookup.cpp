#include "profile_lookup.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "profiles/profile_catalogue.h"
#include "tasks/configuration.h"
#include "util/av_error.h"

namespace tw::cli {

namespace {

std::string Lower(const std::string& text) {
    std::string out = text;
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::unique_ptr<TAVProfileList> LoadProfiles() {
    auto list = CreateBuiltInCatalogue();
    try {
        LoadUserProfiles(*list, UserProfileFileName(TAVConfiguration::ConfigFolder()));
    } catch (const EAVError& e) {
        std::fprintf(stderr, "tidewell-convert: your own profiles were not loaded: %s\n", e.what());
    }
    return list;
}

std::vector<std::string> NearestProfileNames(const TAVProfileList& list, const std::string& name,
                                             size_t count) {
    // Names that hold what was typed come first ("ipod" means the IPod profiles, however far
    // their whole names are from it), then the rest by how few edits reach them.
    struct Scored {
        bool holdsName;
        size_t distance;
        std::string description;
    };
    std::vector<Scored> scored;
    const std::string wanted = Lower(name);
    for (int i = 0; i < list.Count(); ++i) {
        const std::string& description = list.Items(i).Description();
        const std::string lower = Lower(description);
        scored.push_back({!wanted.empty() && lower.find(wanted) != std::string::npos,
                          EditDistance(wanted, lower), description});
    }
    std::stable_sort(scored.begin(), scored.end(), [](const Scored& a, const Scored& b) {
        return a.holdsName != b.holdsName ? a.holdsName : a.distance < b.distance;
    });
    std::vector<std::string> names;
    for (size_t i = 0; i < scored.size() && i < count; ++i) {
        names.push_back(scored[i].description);
    }
    return names;
}

std::string ProfileListing(const TAVProfileList& list) {
    std::string text;
    for (const std::string& category : list.Categories()) {
        const auto profiles = list.ProfilesInCategory(category);
        if (profiles.empty()) {
            continue;
        }
        text += category + "\n";
        for (const TAVProfile* profile : profiles) {
            text += "  " + profile->Description() + "\n";
        }
    }
    std::string others;
    for (const TAVProfile* profile : list.ProfilesInNoCategory()) {
        others += "  " + profile->Description() + "\n";
    }
    if (!others.empty()) {
        text += "Other\n" + others;
    }
    return text;
}

}  // namespace tw::cli
