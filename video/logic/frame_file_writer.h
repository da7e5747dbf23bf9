// The frame files of a recording, written on a thread of their own so that the capture tick never
// waits for the disk.
#pragma once

#include <QImage>
#include <QString>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "video/logic/frame_queue.h"

class FrameFileWriter {
public:
    // Writes one frame file from a queued image, whose rows lie bottom row first (RowOrder::File);
    // 0 on success, else the errno of the failure, with no partial file left.
    // throughPageCache: the disk is behind, and the system's cache may take the frame at once.
    using WriteFile = std::function<int(const QImage& image, const QString& path, bool throughPageCache)>;
    struct Failure {
        std::int32_t number;  // the frame that could not be written; every frame before it is on disk
        QString path;
        int error;
    };

    // The memory the queued frames may take: 1 GiB, or an eighth of the machine's memory if less.
    static std::size_t defaultBudgetBytes();
    // writeFrameBmp of a queued frame, whose rows are in the file's order; its errno kept.
    static int writeBmp(const QImage& image, const QString& path, bool throughPageCache);

    // Frames of frameBytes each, queued up to budgetBytes (at least one frame). failed is called on
    // the writer's thread when a write fails.
    FrameFileWriter(std::size_t frameBytes, std::size_t budgetBytes, WriteFile write = writeBmp,
                    std::function<void()> failed = {});
    // Writes what is queued, then ends the thread.
    ~FrameFileWriter();
    FrameFileWriter(const FrameFileWriter&) = delete;
    FrameFileWriter& operator=(const FrameFileWriter&) = delete;

    // Copies image into a free buffer and queues it as frame `number` for path, waiting while the
    // budget is taken. False, queueing nothing, while a failure waits to be taken.
    bool submit(const QImage& image, std::int32_t number, const QString& path);
    // Whether submit() would find a free buffer without waiting.
    bool hasRoom() { return m_queue.hasFree(); }
    // Until every queued frame is written or discarded, or timeout passes.
    bool waitUntilWritten(std::chrono::milliseconds timeout);
    // The write that failed, once every frame queued behind it has been discarded; from then on
    // frames are written again. Nothing when no write failed since the last call.
    std::optional<Failure> takeFailure();
    // Buffers the queue may hold.
    std::size_t capacity() const { return m_queue.capacity(); }

private:
    void run();

    FrameQueue m_queue;
    WriteFile m_write;
    std::function<void()> m_failed;
    std::mutex m_failureMutex;
    std::optional<Failure> m_failure;
    std::atomic<bool> m_discarding = false;
    std::thread m_thread;
};
