#include "shell/status_icons.h"

#include "app/icons.h"

namespace tw::ui {

QIcon TaskStatusIcon(int imageIndex) {
    static const char* const kNames[] = {"media-playback-start", "media-playback-pause",
                                         "media-playback-stop", "emblem-default"};
    if (imageIndex < 0 || imageIndex >= 4) {
        return {};
    }
    return ThemeIcon(QString::fromLatin1(kNames[imageIndex]));
}

QIcon NodeIcon(int imageIndex) {
    switch (imageIndex) {
        case 0:
            return ThemeIcon(QStringLiteral("view-refresh"));
        case 1:
            return ThemeIcon(QStringLiteral("folder"));
        default:
            return {};
    }
}

}  // namespace tw::ui
