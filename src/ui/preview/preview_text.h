#pragma once

// Texts and pictures the preview frame and the player window share.

#include <QIcon>
#include <QString>

#include "preview/preview_graph.h"

namespace tw::ui {

// A span in milliseconds written in the user's long time format, on a 24-hour clock and without
// a time zone (which a span does not have).
QString LongTimeText(int64_t milliseconds);

// "Position: %s Duration: %s", and a word that no sound is heard when the source has sound but
// no device plays it.
QString StatusLineText(int64_t positionMs, int64_t durationMs, bool soundMissing);

// The play button's picture for a state: play while stopped or paused, pause while running.
QIcon PlayIcon(preview::GraphState state);

}  // namespace tw::ui
