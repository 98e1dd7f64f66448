#include "engine/sync_rules.h"

#include <algorithm>
#include <cmath>

namespace tw::engine {

AudioSyncDecision DecideAudioSync(int method, double delta, int encoderRate, int decoderRate,
                                  bool atStart, double driftThreshold) {
    AudioSyncDecision decision;
    if (method == 0 || std::fabs(delta) <= 50) {
        return decision;
    }
    if (!atStart && std::fabs(delta) <= encoderRate * driftThreshold) {
        if (method > 1) {
            decision.action = AudioSyncDecision::Action::Compensate;
            decision.samples = std::clamp<int64_t>(std::llround(delta), -method, method);
        }
        return decision;
    }
    const double inputDelta = delta * decoderRate / encoderRate;
    decision.action =
        inputDelta < 0 ? AudioSyncDecision::Action::Drop : AudioSyncDecision::Action::Pad;
    decision.samples = std::llround(std::fabs(inputDelta));
    return decision;
}

int64_t DecideVideoFrames(int method, double syncInput, int64_t* syncPosition, bool firstPicture) {
    const double vdelta = syncInput - static_cast<double>(*syncPosition);
    if (method == 0) {
        *syncPosition = std::llrint(syncInput);
        return 1;
    }
    if (vdelta < -1.1) {
        return 0;
    }
    if (method == 2) {
        if (vdelta <= -0.6) {
            return 0;
        }
        if (vdelta > 0.6) {
            *syncPosition = std::llrint(syncInput);
        }
        return 1;
    }
    // Rounded like the rest of the frame arithmetic: halves to even.
    if (firstPicture && vdelta > 0.5) {
        return std::llrint(vdelta) + 1;
    }
    return vdelta > 1.1 ? std::llrint(vdelta) : 1;
}

}  // namespace tw::engine
