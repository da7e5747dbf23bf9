#include "video/logic/frame_timer.h"

#include <algorithm>

int frameTimerIntervalMs(std::uint8_t recordRate) {
    constexpr int kDefaultIntervalMs = 100;
    return recordRate == 0 ? kDefaultIntervalMs : 1000 / recordRate;
}

std::int32_t framesForTick(std::int32_t framesWritten, std::uint32_t recordedMs, int intervalMs) {
    const std::int64_t due = std::int64_t(recordedMs / std::uint32_t(intervalMs));
    return std::int32_t(std::max<std::int64_t>(1, due - framesWritten));
}
