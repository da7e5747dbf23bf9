// Pictures handed from one thread to another in order, through a bounded set of reused buffers.
#pragma once

#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

// The producer takes a free slot, fills it and queues it; the consumer takes the oldest queued slot
// and gives it back when done with it. At most `capacity` slots ever exist, each made on first need,
// so memory grows only as far as the consumer falls behind. Taking waits while nothing is there;
// close() ends every wait.
class FrameQueue {
public:
    struct Slot {
        QImage image;
        std::vector<std::uint8_t> sample;  // the picture made ready for its file, where a reader does that
        std::int32_t number = 0;
        QString path;
        bool ok = true;  // for the producer to say the slot holds no picture
    };

    explicit FrameQueue(std::size_t capacity);
    FrameQueue(const FrameQueue&) = delete;
    FrameQueue& operator=(const FrameQueue&) = delete;

    // A slot to fill, waiting while every slot is queued or in use; nothing once closed.
    std::optional<std::size_t> takeFree();
    // Whether takeFree() would hand out a slot at once; for the only producer, that holds until it takes one.
    bool hasFree();
    void put(std::size_t slot);
    // A slot from takeFree() that the producer did not fill after all.
    void putBackUnused(std::size_t slot);
    // The oldest queued slot, waiting while none is queued; nothing once closed and empty.
    std::optional<std::size_t> takeQueued();
    void giveBack(std::size_t slot);
    // No more slots are handed out to fill; the consumer still gets what is queued.
    void close();
    // Until nothing is queued and every slot taken by the consumer is back, or timeout passes.
    bool waitUntilEmpty(std::chrono::milliseconds timeout);

    // A slot's contents belong to whichever side took it.
    Slot& operator[](std::size_t slot) { return m_slots[slot]; }
    std::size_t capacity() const { return m_capacity; }
    std::size_t queued();

private:
    const std::size_t m_capacity;
    std::vector<Slot> m_slots;
    std::vector<std::size_t> m_free;
    std::deque<std::size_t> m_queued;
    std::size_t m_consuming = 0;
    bool m_closed = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
};
