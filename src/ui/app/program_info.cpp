#include "app/program_info.h"

#include <QtGlobal>

#include "util/version_text.h"

namespace tw::ui {

std::string DesktopVersionText() {
    return VersionText("tidewell-video-converter") + "Qt " + qVersion() + "\n";
}

}  // namespace tw::ui
