#pragma once

#include <cstdint>

// Interval of the recording frame timer for a rate in frames per second (1000 div rate).
// A rate of 0 cannot come from the settings dialog but may come from a hand-edited file; it gets
// the interval of the default rate, 10 frames per second.
int frameTimerIntervalMs(std::uint8_t recordRate);

// The frames one tick writes: a frame for each tick due by recordedMs (one every intervalMs) that
// has none yet, and at least the tick's own. The timer drops the ticks it could not fire while the
// program waited for the processor or the X server; the late tick writes its picture for them too,
// so the video keeps its rate. intervalMs is frameTimerIntervalMs's, never 0.
std::int32_t framesForTick(std::int32_t framesWritten, std::uint32_t recordedMs, int intervalMs);
