#include "video/logic/frame_queue.h"

#include <algorithm>

FrameQueue::FrameQueue(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1)) {
    // Slots never move once made: the other side may be filling one while another is added.
    m_slots.reserve(m_capacity);
}

std::optional<std::size_t> FrameQueue::takeFree() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_closed || !m_free.empty() || m_slots.size() < m_capacity; });
    if (m_closed) return std::nullopt;
    if (m_free.empty()) {
        m_slots.emplace_back();
        return m_slots.size() - 1;
    }
    const std::size_t slot = m_free.back();
    m_free.pop_back();
    return slot;
}

bool FrameQueue::hasFree() {
    std::lock_guard lock(m_mutex);
    return !m_free.empty() || m_slots.size() < m_capacity;
}

void FrameQueue::put(std::size_t slot) {
    {
        std::lock_guard lock(m_mutex);
        m_queued.push_back(slot);
    }
    m_changed.notify_all();
}

void FrameQueue::putBackUnused(std::size_t slot) {
    {
        std::lock_guard lock(m_mutex);
        m_free.push_back(slot);
    }
    m_changed.notify_all();
}

std::optional<std::size_t> FrameQueue::takeQueued() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_closed || !m_queued.empty(); });
    if (m_queued.empty()) return std::nullopt;
    const std::size_t slot = m_queued.front();
    m_queued.pop_front();
    ++m_consuming;
    return slot;
}

void FrameQueue::giveBack(std::size_t slot) {
    {
        std::lock_guard lock(m_mutex);
        m_free.push_back(slot);
        --m_consuming;
    }
    m_changed.notify_all();
}

void FrameQueue::close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_changed.notify_all();
}

bool FrameQueue::waitUntilEmpty(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_queued.empty() && m_consuming == 0; });
}

std::size_t FrameQueue::queued() {
    std::lock_guard lock(m_mutex);
    return m_queued.size();
}
