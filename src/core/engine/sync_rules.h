#pragma once

// The decisions that keep an output stream in step with its sync source, apart from the
// buffers they act on, so that they can be checked on their own.

#include <cstdint>

namespace tw::engine {

struct AudioSyncDecision {
    enum class Action { None, Compensate, Drop, Pad };
    Action action = Action::None;
    // Compensate: samples to stretch (+) or squeeze (-) over one second of output.
    // Drop / Pad: input samples to cut from the front of the chunk / silence to put before it.
    int64_t samples = 0;
};

// delta: how far the output lags its sync source, in encoder samples (positive: behind).
// A drift beyond 50 samples is corrected: within the tolerance (threshold seconds) once the
// stream is past its start, by resampler compensation (methods above 1 only); otherwise by
// dropping or padding input samples.
AudioSyncDecision DecideAudioSync(int method, double delta, int encoderRate, int decoderRate,
                                  bool atStart, double driftThreshold);

// How many times a picture is written to hold the output frame rate. syncInput is the sync
// source's time in encoder ticks; syncPosition the output's position in ticks, which method 0
// (pass time stamps through) and method 2 (variable rate, past 0.6 of a frame) move. A first
// picture that comes late at a held rate also fills the ticks before it, so that it and all
// that follow stand at their own times.
int64_t DecideVideoFrames(int method, double syncInput, int64_t* syncPosition,
                          bool firstPicture = false);

}  // namespace tw::engine
