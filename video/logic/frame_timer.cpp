#include "video/logic/frame_timer.h"

int frameTimerIntervalMs(std::uint8_t recordRate) {
    constexpr int kDefaultIntervalMs = 100;
    return recordRate == 0 ? kDefaultIntervalMs : 1000 / recordRate;
}
