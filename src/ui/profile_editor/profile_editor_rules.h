#pragma once

// The profile editor's decisions, free of widgets.

#include <string>

#include "util/string_list.h"

namespace tw {
class TAVProfile;
class TAVProfileList;
}  // namespace tw

namespace tw::ui::profile_editor {

// The categories the editor offers: the catalogue's, without "Images" (image sequences have
// nothing to edit).
TStringList EditorCategories(const TAVProfileList& profiles);

// The category a new profile joins: the selected one, unless that lists only profiles of the
// other kind (audio-only profiles for a new video profile, video profiles for a new audio one);
// then the first category of the editor that lists profiles of the new one's kind.
std::string CategoryForNewProfile(const TAVProfileList& profiles, const std::string& selected,
                                  bool video);

// The profile the editor hands back when it closes: the current one while it exists; else the
// profile it was opened on, if that still exists; else the first profile listed under a
// category. Never null while the catalogue holds a profile.
TAVProfile* ProfileToHandBack(const TAVProfileList& profiles, const TAVProfile* current,
                              const TAVProfile* openedOn);

}  // namespace tw::ui::profile_editor
