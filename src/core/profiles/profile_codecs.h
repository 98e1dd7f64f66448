#pragma once

// Which containers and codecs a user profile can name in this build of the libraries, and
// whether a profile's pair can work at all, so that the profile editor offers only what can be
// written and the wizard refuses a profile that cannot before a task starts.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/profile_tables.h"

namespace tw {
class TAVCustomAudioProfile;
}

namespace tw::profiles {

// The muxer the profile's files get: its Format's; for F_NONE the one the extension of
// targetName names, or without a target name that of the profile's Extension. nullopt when
// none does.
std::optional<std::string> ProfileMuxer(const TAVCustomAudioProfile& profile,
                                        std::string_view targetName = {});

// The formats whose muxer this build has, F_NONE first; in enumeration order.
std::vector<TCustomAVFormat> AvailableFormats();
// The encoders this build has whose codec the muxer holds, in enumeration order; without a
// muxer every encoder this build has.
std::vector<TCustomAudioEncoder> AudioEncodersFor(const std::optional<std::string>& muxer);
std::vector<TCustomVideoEncoder> VideoEncodersFor(const std::optional<std::string>& muxer);

// What keeps the profile's files from being written ("WEBM files cannot hold H264 video."), or
// the empty text when nothing does. targetName as for ProfileMuxer.
std::string ProfileProblem(const TAVCustomAudioProfile& profile, std::string_view targetName = {});

}  // namespace tw::profiles
