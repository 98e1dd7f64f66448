#pragma once

// Who the program is: its names and addresses in one place; its version is the core's
// (ProgramVersion).

#include <string>

namespace tw::ui {

inline constexpr const char* kProgramTitle = "Tidewell Video Converter";
inline constexpr const char* kSlogan = "Video and audio for every player";
// The desktop file, the icon and the metadata are named after it.
inline constexpr const char* kApplicationId = "com.tidewellsoft.VideoConverter";
inline constexpr const char* kOrganization = "TidewellSoft";
inline constexpr const char* kHomePage = "https://www.tidewellsoft.com/videoconverter/";
inline constexpr const char* kSupportMail =
    "mailto:support@tidewellsoft.com?subject=Tidewell%20Video%20Converter%20bug%20report";
inline constexpr const char* kLicence = "GNU General Public License, version 3 or later";
inline constexpr const char* kLicenceUrl = "https://www.gnu.org/licenses/gpl-3.0.html";

// What --version prints and the About box shows: the program's version and the versions of
// the media libraries and of Qt it runs on, one per line.
std::string DesktopVersionText();

}  // namespace tw::ui
