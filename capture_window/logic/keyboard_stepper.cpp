#include "capture_window/logic/keyboard_stepper.h"

int KeyboardStepper::step(StepDirection direction, std::uint32_t nowMs) {
    if (m_lastStepMs && std::uint32_t(nowMs - *m_lastStepMs) >= kPauseMs) reset();
    m_lastStepMs = nowMs;
    if (m_direction == direction) return 10;
    m_direction = StepDirection::None;
    if (m_count <= 4) ++m_count;  // any count above 4 acts alike; never let it overflow
    if (m_count > 4) m_direction = direction;
    return 1;
}

void KeyboardStepper::reset() {
    m_direction = StepDirection::None;
    m_count = 3;
}

StepChange stepChange(StepDirection direction, int n) {
    switch (direction) {
        case StepDirection::Up:
            return {0, -n, 0};
        case StepDirection::Left:
            return {-n, 0, 0};
        case StepDirection::Down:
            return {0, n, 0};
        case StepDirection::Right:
            return {n, 0, 0};
        case StepDirection::Larger:
            return {0, 0, n};
        case StepDirection::Smaller:
            return {0, 0, -n};
        case StepDirection::None:
            break;
    }
    return {};
}
