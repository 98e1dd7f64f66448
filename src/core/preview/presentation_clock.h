#pragma once

// The clock pictures are shown by. It runs on the wall clock; while a sound device plays, the
// device's played position is the master and the clock follows it. A device that stops taking
// sound (it ran dry, or the source has none left) leaves the clock running on the wall clock
// from where the sound last was. Owner thread only.

#include <functional>

namespace tw::preview {

class PresentationClock {
public:
    // Seconds on a monotonic clock.
    using TimeSource = std::function<double()>;

    PresentationClock();
    explicit PresentationClock(TimeSource now);

    // Media seconds shown now.
    double Position() const;
    // Jumps to position (a seek, a new file).
    void Set(double position);
    void Run();
    void Pause();
    bool Running() const { return running_; }

    // The position the sound device has played up to. It becomes the clock's position when it
    // moved since the last report.
    void SyncToSound(double playedPosition);

private:
    TimeSource now_;
    double anchorPosition_ = 0.0;  // the position at anchorTime_
    double anchorTime_ = 0.0;
    double lastSound_ = -1.0;
    bool running_ = false;
};

double SteadySeconds();

}  // namespace tw::preview
