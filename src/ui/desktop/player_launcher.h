#pragma once

// Where converted files are played. The program's own player window plugs in here; until one
// is installed, files open with the desktop's default application and the player cannot be
// started on its own. UI thread only.

#include <QString>
#include <functional>

namespace tw::ui {

// Opens the player window, with file loaded when it is not empty.
using PlayerHook = std::function<void(const QString& file)>;

bool HasPlayer();
// Installs the player for the rest of the process (an empty hook removes it). Returns the
// previous one.
PlayerHook InstallPlayer(PlayerHook hook);

// The program's player without a file; does nothing without one.
void StartPlayer();
// The file in the program's player, else with the desktop's default application.
void OpenInPlayer(const QString& file);

}  // namespace tw::ui
