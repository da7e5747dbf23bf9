#include "video/logic/recording_clock.h"

void RecordingClock::start(std::uint32_t now) {
    *this = RecordingClock{};
    resume(now);
}

void RecordingClock::pause(std::uint32_t now) {
    if (running) {
        RecordStopTime = now;
        // Unsigned arithmetic: a stretch across the counter's wrap still counts its true length.
        RecordedTime += RecordStopTime - RecordStartTime;
    }
    running = false;
    RecordStopTime = 0;
    RecordStartTime = 0;
}

void RecordingClock::resume(std::uint32_t now) {
    if (running) return;
    RecordStartTime = now;
    running = true;
}

std::uint32_t RecordingClock::elapsed(std::uint32_t now) const {
    return RecordedTime + (running ? now - RecordStartTime : 0);
}

std::int64_t achievedFrameRate(std::int32_t frameCount, std::uint32_t recordedMs) {
    if (recordedMs == 0) return 1;
    return std::int64_t(frameCount) * 1000 / std::int64_t(recordedMs);
}
