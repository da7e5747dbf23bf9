#pragma once

#include <cstdint>
#include <optional>

#include "platform/system/mm_clock.h"

// The monotonic counter, or a time the test sets.
class SettableClock final : public MmClock {
public:
    std::uint32_t timeGetTime() override { return now ? *now : real.timeGetTime(); }
    std::optional<std::uint32_t> now;
    MonotonicMmClock real;
};
