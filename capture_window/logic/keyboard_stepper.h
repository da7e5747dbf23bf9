#pragma once

#include <cstdint>
#include <optional>

// Directions of the keyboard move and resize keys.
enum class StepDirection : std::uint8_t { None = 0, Up, Left, Down, Right, Larger, Smaller };

// What one step of some pixels does to the frame: moves it, or grows it as much in width as in
// height (shrinks it, when negative).
struct StepChange {
    int dx = 0, dy = 0, grow = 0;
};
StepChange stepChange(StepDirection direction, int pixels);

// Decides how far each keyboard step goes: single pixels at first, ten pixels once the
// keys of one direction come quickly (a held key's repetition). A pause of 100 ms between
// two keys ends a burst.
class KeyboardStepper {
public:
    static constexpr std::uint32_t kPauseMs = 100;

    // Takes one step in the direction at nowMs (a millisecond clock that may wrap round) and
    // returns its size in pixels (1 or 10).
    int step(StepDirection direction, std::uint32_t nowMs);

    std::int32_t count() const { return m_count; }

private:
    void reset();

    StepDirection m_direction = StepDirection::None;
    std::int32_t m_count = 3;
    std::optional<std::uint32_t> m_lastStepMs;
};
