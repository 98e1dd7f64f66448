#pragma once

// Where files are played: the program's own player window, one window per call. UI thread only.

#include <QString>

namespace tw::ui {

// An empty player window; the user opens a file in it or drops one on it.
void StartPlayer();
// A player window playing file.
void OpenInPlayer(const QString& file);

}  // namespace tw::ui
