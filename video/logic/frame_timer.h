#pragma once

#include <cstdint>

// Interval of the recording frame timer for a rate in frames per second (1000 div rate).
// A rate of 0 cannot come from the settings dialog but may come from a hand-edited file; it gets
// the interval of the default rate, 10 frames per second.
int frameTimerIntervalMs(std::uint8_t recordRate);
