// The frame files of a recording read back in order on a thread of their own, a few frames ahead of
// the caller, and made ready there for the AVI file, so that reading and converting the pictures
// overlap with writing them.
#pragma once

#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "video/logic/frame_queue.h"

class FrameFileReader {
public:
    // Turns a picture into the bytes its file wants; called on the reader's thread.
    using Prepare = std::function<void(const QImage& picture, std::vector<std::uint8_t>& sample)>;

    // Reads the files pathOf(1) to pathOf(count) into at most `ahead` buffers, each followed by prepare.
    FrameFileReader(std::function<QString(std::int32_t)> pathOf, std::int32_t count, std::size_t ahead,
                    Prepare prepare = {});
    // Stops reading ahead and ends the thread.
    ~FrameFileReader();
    FrameFileReader(const FrameFileReader&) = delete;
    FrameFileReader& operator=(const FrameFileReader&) = delete;

    // The next frame (its picture and prepared sample), waiting until it is read; valid until the next
    // call. Null when the file was missing or unreadable (no frame after it is read) or every frame
    // was handed out.
    const FrameQueue::Slot* next();

private:
    void run();

    std::function<QString(std::int32_t)> m_pathOf;
    const std::int32_t m_count;
    Prepare m_prepare;
    FrameQueue m_queue;
    std::optional<std::size_t> m_current;
    std::thread m_thread;
};
