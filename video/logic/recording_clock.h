// The recording clock: the time of a run is the sum of its running stretches, read from a 32-bit
// millisecond counter that may wrap round (differences are taken modulo 2^32).
#pragma once

#include <cstdint>

struct RecordingClock {
    std::uint32_t RecordStartTime = 0;  // counter when the running stretch began
    std::uint32_t RecordStopTime = 0;   // counter when the last stretch ended; 0 between uses
    std::uint32_t RecordedTime = 0;     // sum of the finished stretches
    // Whether a stretch runs. Kept apart from RecordStartTime, as the counter itself may read 0.
    bool running = false;

    // A new run: everything back to 0, then the first stretch begins at now.
    void start(std::uint32_t now);
    // Ends the running stretch at now and adds it; nothing happens when none runs (pausing twice,
    // or stopping a paused run).
    void pause(std::uint32_t now);
    // Begins a stretch at now unless one runs already (resuming a running recording changes nothing).
    void resume(std::uint32_t now);
    // The time recorded by now: the finished stretches and the running one.
    std::uint32_t elapsed(std::uint32_t now) const;
};

// The frame rate a run achieved: frameCount * 1000 div recordedMs, rounded down, in 64 bits so
// that no count overflows. A clock of 0 ms (a stop in the start's millisecond) gives 1.
std::int64_t achievedFrameRate(std::int32_t frameCount, std::uint32_t recordedMs);
