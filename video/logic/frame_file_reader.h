// The frame files of a recording read back in order on a thread of their own, a few frames ahead of
// the caller, so that reading the disk and converting the pictures overlap.
#pragma once

#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

#include "video/logic/frame_queue.h"

class FrameFileReader {
public:
    // Reads the files pathOf(1) to pathOf(count) into at most `ahead` buffers.
    FrameFileReader(std::function<QString(std::int32_t)> pathOf, std::int32_t count, std::size_t ahead);
    // Stops reading ahead and ends the thread.
    ~FrameFileReader();
    FrameFileReader(const FrameFileReader&) = delete;
    FrameFileReader& operator=(const FrameFileReader&) = delete;

    // The next frame, waiting until it is read; valid until the next call. Null when the file was
    // missing or unreadable (no frame after it is read) or every frame was handed out.
    const QImage* next();

private:
    void run();

    std::function<QString(std::int32_t)> m_pathOf;
    const std::int32_t m_count;
    FrameQueue m_queue;
    std::optional<std::size_t> m_current;
    std::thread m_thread;
};
