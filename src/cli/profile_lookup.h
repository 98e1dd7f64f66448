#pragma once

#include <string>
#include <vector>

#include "profiles/profile_list.h"

namespace tw::cli {

// The built-in catalogue with the user's own profiles beside it. A user-profile file that
// cannot be read is reported on stderr and left out.
std::unique_ptr<TAVProfileList> LoadProfiles();

// The descriptions nearest to name (by edits, ignoring case), best first.
std::vector<std::string> NearestProfileNames(const TAVProfileList& list, const std::string& name,
                                             size_t count);

// One line per profile, grouped under its category, in catalogue order.
std::string ProfileListing(const TAVProfileList& list);

}  // namespace tw::cli
