#pragma once

// The built-in catalogue of categories and profiles, and the user-profile file beside it.
//
// The user-profile file holds audio and video profiles in section "Profile": "ProfileCount"
// and, per profile i, the keys of SaveToIni numbered i. Once it exists it replaces the audio
// and video part of the built-in catalogue; the target and image profiles always stay.

#include <filesystem>
#include <memory>
#include <string>

#include "profiles/profile_list.h"
#include "util/string_list.h"

namespace tw {

// The categories in the order they are offered.
const TStringList& BuiltInCategories();

// Appends the 56 built-in profiles in catalogue order and sets the categories.
void FillBuiltInCatalogue(TAVProfileList& list);
// A list named "profileList" holding the built-in catalogue.
std::unique_ptr<TAVProfileList> CreateBuiltInCatalogue();

// The user-profile file: the configuration folder text (which ends without a separator)
// directly followed by "Profiles.ini".
std::filesystem::path UserProfileFileName(const std::string& configFolder);

// When file exists: frees the list's audio and video profiles and appends those of the file,
// in file order, after the target and image profiles. Returns false (and changes nothing) when
// there is no file. Throws EAVError when the file exists but cannot be read, or is not a profile
// file (no profile count, or binary bytes: it is then kept aside, see KeepAside); the list is
// then left as it was.
bool LoadUserProfiles(TAVProfileList& list, const std::filesystem::path& file);

// Writes every audio and video profile of the list, in list order, numbered from 0, and
// "ProfileCount", keeping whatever else the file holds. Creates the folder when needed.
// Throws EAVError when the file cannot be written.
void SaveUserProfiles(const TAVProfileList& list, const std::filesystem::path& file);

}  // namespace tw
