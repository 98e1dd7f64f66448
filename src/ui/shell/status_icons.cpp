#include "shell/status_icons.h"

#include "app/icons.h"

namespace tw::ui {

namespace {

std::vector<QIcon> Icons(std::initializer_list<const char*> names) {
    std::vector<QIcon> icons;
    for (const char* name : names) {
        const QIcon themed = ThemeIcon(QString::fromLatin1(name));
        QIcon icon;
        for (int size : {16, 22, 24, 32, 48}) {
            const QPixmap pixmap = themed.pixmap(size);
            icon.addPixmap(pixmap, QIcon::Normal);
            icon.addPixmap(pixmap, QIcon::Selected);
        }
        icons.push_back(icon);
    }
    return icons;
}

}  // namespace

std::vector<QIcon> TaskStatusIcons() {
    return Icons({"media-playback-start", "media-playback-pause", "media-playback-stop",
                  "emblem-default", "dialog-error", "appointment-soon"});
}

std::vector<QIcon> NodeIcons() {
    return Icons({"view-refresh", "folder"});
}

}  // namespace tw::ui
