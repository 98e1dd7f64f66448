#pragma once

// PreviewGraph decides what is shown and heard when: it takes pictures and sound from the
// player's source, runs the presentation clock, shows each picture when its time comes (a
// picture whose successor is already due is dropped), hands sound to a sound device or, without
// one, drops it as its time passes, and carries out seeks.
//
// States: inactive → active and stopped → running ⇄ paused → stopped → inactive. After a
// seek or an activation the clock waits at the new position until the first picture (or, for a
// source without pictures, the first sound) is there.
//
// Everything runs on the owner's thread (the user interface): the owner calls Advance when the
// time Advance asked for has passed, and, with a sound device, ReadSound and SoundBuffered as the
// device drains.

#include <cstdint>

#include "preview/av_player.h"
#include "preview/presentation_clock.h"

namespace tw::preview {

enum class GraphState { Stopped, Paused, Running };

class PreviewGraph {
public:
    PreviewGraph();
    explicit PreviewGraph(PresentationClock::TimeSource now);

    TAVPlayer& Player() { return player_; }
    const TAVPlayer& Player() const { return player_; }

    bool Active() const { return active_; }
    // Starts taking from the player's source, stopped at the source's start position. False
    // when the player has no source.
    bool Activate();
    // Stops and no longer takes from the source; the source stays open.
    void Deactivate();
    // Deactivates and closes the player's source.
    void Clear();

    GraphState State() const { return state_; }
    // Running from the end of the source starts again at its beginning.
    void Run();
    void Pause();
    void Stop();

    // Positions in 100-ns units. The current one follows the clock and stays within
    // [0, stop position].
    int64_t CurrentPosition() const;
    int64_t StopPosition() const;
    // Moves to position (absolute); the stop stays. Nothing happens while inactive.
    void SetStart(int64_t position);

    struct Step {
        SamplePtr picture;         // to show now, or null
        double waitSeconds = 0.0;  // when to call Advance again at the latest
        bool reachedEnd = false;   // the source just played to its end; the graph paused
    };
    Step Advance();

    // The sound. Without a device (none attached, or none there) sound is dropped as its time
    // passes and the clock runs on the wall clock.
    bool HasSound() const;
    int SoundChannels() const;
    int SoundRate() const;
    void SetSoundDevice(bool attached);
    bool SoundDevice() const { return soundDevice_; }
    // Copies at most maxBytes of the sound that comes next into buffer, whole sample frames
    // only; returns the bytes copied.
    int64_t ReadSound(uint8_t* buffer, int64_t maxBytes);
    // The device still holds bufferedBytes it has not played: the clock follows what it played.
    void SoundBuffered(int64_t bufferedBytes);
    // Changes whenever the sound starts anew (activation, seek), so a device drops what it holds.
    int SoundGeneration() const { return soundGeneration_; }

    // Pictures passed over because a later one was already due.
    int64_t DroppedPictures() const { return droppedPictures_; }

private:
    TFFPushSource* Source() const;
    void StartSegment(double position);
    bool TakePicture();
    bool TakeSound();
    void DropPassedSound(double now);
    void EndPreroll();
    int BytesPerSecond() const;

    TAVPlayer player_;
    PresentationClock clock_;
    bool active_ = false;
    GraphState state_ = GraphState::Stopped;
    bool prerolling_ = false;
    bool atEnd_ = false;

    SamplePtr nextPicture_;
    bool picturesEnded_ = false;
    SamplePtr sound_;        // the block being read
    int64_t soundRead_ = 0;  // bytes of sound_ already read
    bool soundEnded_ = false;
    double soundWrittenUpTo_ = -1.0;  // media time the device has been given sound up to
    double lastStop_ = 0.0;           // the latest end of anything taken from the source
    bool soundDevice_ = false;
    int soundGeneration_ = 0;
    int64_t droppedPictures_ = 0;
};

}  // namespace tw::preview
