#include "desktop/player_launcher.h"

#include "preview/player_window.h"

namespace tw::ui {

void StartPlayer() { OpenPlayerWindow(QString()); }

void OpenInPlayer(const QString& file) { OpenPlayerWindow(file); }

}  // namespace tw::ui
