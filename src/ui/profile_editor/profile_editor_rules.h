#pragma once

// The profile editor's decisions, free of widgets.

#include "util/string_list.h"

namespace tw {
class TAVProfile;
class TAVProfileList;
}  // namespace tw

namespace tw::ui::profile_editor {

// The categories the editor offers: the catalogue's, without "Images" (image sequences have
// nothing to edit).
TStringList EditorCategories(const TAVProfileList& profiles);

// The profile the editor hands back when it closes: the current one while it exists; else the
// profile it was opened on, if that still exists; else the first profile listed under a
// category. Never null while the catalogue holds a profile.
TAVProfile* ProfileToHandBack(const TAVProfileList& profiles, const TAVProfile* current,
                              const TAVProfile* openedOn);

}  // namespace tw::ui::profile_editor
