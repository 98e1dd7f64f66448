#include "profile_editor/profile_editor_rules.h"

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
