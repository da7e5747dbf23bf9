#include "video/logic/frame_file_reader.h"

#include "video/logic/frame_file.h"

FrameFileReader::FrameFileReader(std::function<QString(std::int32_t)> pathOf, std::int32_t count,
                                 std::size_t ahead, Prepare prepare)
    : m_pathOf(std::move(pathOf)),
      m_count(count),
      m_prepare(std::move(prepare)),
      m_queue(ahead),
      m_thread([this] { run(); }) {}

FrameFileReader::~FrameFileReader() {
    m_queue.close();
    // Frees a reader waiting for room.
    if (m_current) m_queue.giveBack(*m_current);
    while (const std::optional<std::size_t> slot = m_queue.takeQueued()) m_queue.giveBack(*slot);
    m_thread.join();
}

void FrameFileReader::run() {
    for (std::int32_t i = 1; i <= m_count; ++i) {
        const std::optional<std::size_t> slot = m_queue.takeFree();
        if (!slot) return;
        FrameQueue::Slot& frame = m_queue[*slot];
        frame.number = i;
        const bool ok = readFrameBmp(m_pathOf(i), frame.image);
        if (ok && m_prepare) m_prepare(frame.image, frame.sample);
        frame.ok = ok;
        m_queue.put(*slot);
        if (!ok) break;
    }
    m_queue.close();
}

const FrameQueue::Slot* FrameFileReader::next() {
    if (m_current) m_queue.giveBack(*m_current);
    m_current = m_queue.takeQueued();
    if (!m_current) return nullptr;
    const FrameQueue::Slot& frame = m_queue[*m_current];
    return frame.ok ? &frame : nullptr;
}
