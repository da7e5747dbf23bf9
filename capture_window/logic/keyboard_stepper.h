#pragma once

#include <cstdint>

// Directions of the keyboard move and resize keys.
enum class StepDirection : std::uint8_t { None = 0, Up, Left, Down, Right, Larger, Smaller };

// Decides how far each keyboard step goes: single pixels at first, ten pixels once the
// keys of one direction come quickly (a held key's repetition). reset() is the 100 ms
// timer that ends a burst.
class KeyboardStepper {
public:
    // Takes one step in the direction and returns its size in pixels (1 or 10).
    int step(StepDirection direction);
    void reset();

    std::int32_t count() const { return m_count; }

private:
    StepDirection m_direction = StepDirection::None;
    std::int32_t m_count = 3;
};
