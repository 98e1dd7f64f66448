#include "desktop/player_launcher.h"

#include "desktop/desktop_services.h"

namespace tw::ui {

namespace {

PlayerHook& Installed() {
    static PlayerHook hook;
    return hook;
}

}  // namespace

bool HasPlayer() {
    return static_cast<bool>(Installed());
}

PlayerHook InstallPlayer(PlayerHook hook) {
    PlayerHook previous = std::move(Installed());
    Installed() = std::move(hook);
    return previous;
}

void StartPlayer() {
    if (HasPlayer()) {
        Installed()(QString());
    }
}

void OpenInPlayer(const QString& file) {
    if (HasPlayer()) {
        Installed()(file);
    } else {
        OpenDocument(file);
    }
}

}  // namespace tw::ui
