#include "profile_editor/profile_editor_rules.h"

#include "profiles/custom_audio_profile.h"
#include "profiles/profile_list.h"
#include "util/ini_file.h"

namespace tw::ui::profile_editor {

TStringList EditorCategories(const TAVProfileList& profiles) {
    TStringList categories;
    for (const std::string& category : profiles.Categories()) {
        if (!SameText(category, "Images")) {
            categories.push_back(category);
        }
    }
    return categories;
}

namespace {

struct Kinds {
    bool audioOnly = false;
    bool video = false;
};

Kinds KindsIn(const TAVProfileList& profiles, const std::string& category) {
    Kinds kinds;
    for (const TAVProfile* profile : profiles.ProfilesInCategory(category)) {
        if (dynamic_cast<const TAVCustomVideoProfile*>(profile)) {
            kinds.video = true;
        } else if (dynamic_cast<const TAVCustomAudioProfile*>(profile)) {
            kinds.audioOnly = true;
        }
    }
    return kinds;
}

}  // namespace

std::string CategoryForNewProfile(const TAVProfileList& profiles, const std::string& selected,
                                  bool video) {
    const Kinds here = KindsIn(profiles, selected);
    const bool otherKindOnly = video ? (here.audioOnly && !here.video) : here.video;
    if (!otherKindOnly) {
        return selected;
    }
    for (const std::string& category : EditorCategories(profiles)) {
        const Kinds kinds = KindsIn(profiles, category);
        if (video ? kinds.video : (kinds.audioOnly && !kinds.video)) {
            return category;
        }
    }
    return selected;
}

TAVProfile* ProfileToHandBack(const TAVProfileList& profiles, const TAVProfile* current,
                              const TAVProfile* openedOn) {
    for (const TAVProfile* candidate : {current, openedOn}) {
        if (const int index = profiles.IndexOf(candidate); candidate && index >= 0) {
            return &profiles.Items(index);
        }
    }
    for (const std::string& category : profiles.Categories()) {
        const std::vector<TAVProfile*> listed = profiles.ProfilesInCategory(category);
        if (!listed.empty()) {
            return listed.front();
        }
    }
    return profiles.Count() > 0 ? &profiles.Items(0) : nullptr;
}

}  // namespace tw::ui::profile_editor
