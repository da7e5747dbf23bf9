#pragma once

#include <cstdint>

// The capture-window flags and counters that every window of the program reads and sets.
struct CaptureState {
    bool WholeScreen = false;
    bool IntervalMode = false;
    bool IntervalWindowed = false;
    bool Recording = false;
    std::int32_t LastClientWidth = 0;
    std::int32_t LastClientHeight = 0;
    std::int32_t DesignatedNumber = 1;
    std::int32_t IntervalNumber = 1;

    // The frame's commands are refused and its menu button is out of the shape.
    bool busy() const { return IntervalMode || Recording; }
};
