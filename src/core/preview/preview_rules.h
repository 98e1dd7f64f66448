#pragma once

// The preview frame's rules: what the play button shows, what the selection labels say and
// where a release on the time bar seeks to.

#include <cstdint>
#include <string>

#include "preview/preview_graph.h"

namespace tw::preview {

// The time bar moves one position per tick of this many milliseconds, so positions are seconds.
inline constexpr int kTimeBarIntervalMs = 1000;

// The play button shows "play" (hint "Play") unless the graph runs ("pause", hint "Pause").
bool PlayShowsPause(GraphState state);
const char* PlayHint(GraphState state);

// "Start[h:m:s]" and the like for a bar position: hours, minutes and seconds without leading
// zeros, the seconds being position × interval / 1000, rounded.
std::string MarkLabel(const char* name, int64_t barPosition, int intervalMs = kTimeBarIntervalMs);

// The start (100-ns units) a release at barPosition asks for: that share of the stop position.
int64_t TimeBarSeekPosition(int64_t stopPosition, int barPosition, int barMaximum);

}  // namespace tw::preview
