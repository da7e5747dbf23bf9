#pragma once

#include <cstdint>

// The recording clock's millisecond counter: 32 bits that wrap round about every 49.7 days, so
// callers take differences modulo 2^32. An interface so that tests can set the time.
class MmClock {
public:
    virtual ~MmClock() = default;
    virtual std::uint32_t timeGetTime() = 0;
};

// Milliseconds of the monotonic clock, cut to 32 bits: never set back, never jumps with the date.
// The timer resolution needs no request here (Qt's precise timers ask for it themselves).
class MonotonicMmClock final : public MmClock {
public:
    std::uint32_t timeGetTime() override;
};
