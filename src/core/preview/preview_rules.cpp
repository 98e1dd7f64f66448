#include "preview/preview_rules.h"

#include <cmath>

#include "util/format.h"

namespace tw::preview {

bool PlayShowsPause(GraphState state) {
    return state == GraphState::Running;
}

const char* PlayHint(GraphState state) {
    return PlayShowsPause(state) ? "Pause" : "Play";
}

std::string MarkLabel(const char* name, int64_t barPosition, int intervalMs) {
    const int64_t seconds = std::llround(static_cast<double>(barPosition) * intervalMs / 1000.0);
    return FormatPrintf("%s[%d:%d:%d]", name, static_cast<int>(seconds / 3600),
                        static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

int64_t TimeBarSeekPosition(int64_t stopPosition, int barPosition, int barMaximum) {
    if (barMaximum <= 0) {
        return 0;
    }
    return static_cast<int64_t>(static_cast<double>(stopPosition) * barPosition / barMaximum);
}

}  // namespace tw::preview
