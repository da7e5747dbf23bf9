#include "video/logic/frame_file_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "video/logic/frame_file.h"

namespace {

// An image in page-aligned memory: rows in whole disk blocks can then go to the disk directly.
QImage alignedImage(QSize size, QImage::Format format) {
    constexpr std::size_t kPage = 4096;
    const std::size_t bytes = std::size_t(size.width()) * 4 * std::size_t(size.height());
    void* memory = std::aligned_alloc(kPage, (bytes + kPage - 1) / kPage * kPage);
    if (!memory) return QImage();
    return QImage(static_cast<uchar*>(memory), size.width(), size.height(), qsizetype(size.width()) * 4,
                  format, std::free, memory);
}

// Copies the pixels into target, reusing its memory when the size and format match.
void copyInto(const QImage& image, QImage& target) {
    const QImage::Format format =
        image.format() == QImage::Format_ARGB32 ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const QImage source = image.format() == format ? image : image.convertToFormat(format);
    if (target.size() != source.size() || target.format() != format) {
        target = QImage();
        target = alignedImage(source.size(), format);
    }
    if (target.isNull()) return;
    // Upside down, in the file's order: the frame then goes to the disk in one piece.
    const std::size_t rowBytes = std::size_t(source.width()) * 4;
    const int last = source.height() - 1;
    for (int y = 0; y <= last; ++y) std::memcpy(target.scanLine(last - y), source.constScanLine(y), rowBytes);
}

}  // namespace

std::size_t FrameFileWriter::defaultBudgetBytes() {
    constexpr std::size_t kMost = std::size_t(1) << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageBytes = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageBytes <= 0) return kMost;
    return std::min(kMost, std::size_t(pages) * std::size_t(pageBytes) / 8);
}

int FrameFileWriter::writeBmp(const QImage& image, const QString& path, bool throughPageCache) {
    errno = 0;
    if (writeFrameBmp(image, path, throughPageCache, RowOrder::File)) return 0;
    return errno != 0 ? errno : EIO;
}

FrameFileWriter::FrameFileWriter(std::size_t frameBytes, std::size_t budgetBytes, WriteFile write,
                                 std::function<void()> failed)
    : m_queue(budgetBytes / std::max<std::size_t>(frameBytes, 1)),
      m_write(std::move(write)),
      m_failed(std::move(failed)),
      m_thread([this] { run(); }) {}

FrameFileWriter::~FrameFileWriter() {
    m_queue.close();
    m_thread.join();
}

bool FrameFileWriter::submit(const QImage& image, std::int32_t number, const QString& path) {
    if (m_discarding) return false;
    const std::optional<std::size_t> slot = m_queue.takeFree();
    if (!slot) return false;
    // A failure may have come while this waited for room: the frame would only be discarded.
    if (m_discarding) {
        m_queue.putBackUnused(*slot);
        return false;
    }
    FrameQueue::Slot& frame = m_queue[*slot];
    copyInto(image, frame.image);
    frame.number = number;
    frame.path = path;
    frame.ok = !frame.image.isNull();
    m_queue.put(*slot);
    return true;
}

void FrameFileWriter::run() {
    while (const std::optional<std::size_t> slot = m_queue.takeQueued()) {
        FrameQueue::Slot& frame = m_queue[*slot];
        if (!m_discarding) {
            // Straight to the disk costs the least CPU time; a disk that falls behind gets help from
            // the system's cache, which takes the frames at once while it has room.
            const bool behind = m_queue.queued() * 2 > m_queue.capacity();
            const int error = frame.ok ? m_write(frame.image, frame.path, behind) : ENOMEM;
            if (error != 0) {
                {
                    std::lock_guard lock(m_failureMutex);
                    m_failure = Failure{frame.number, frame.path, error};
                }
                // Every frame queued behind this one goes unwritten: the files on disk stay one unbroken run.
                m_discarding = true;
                if (m_failed) m_failed();
            }
        }
        m_queue.giveBack(*slot);
    }
}

bool FrameFileWriter::waitUntilWritten(std::chrono::milliseconds timeout) {
    return m_queue.waitUntilEmpty(timeout);
}

std::optional<FrameFileWriter::Failure> FrameFileWriter::takeFailure() {
    if (!m_discarding) return std::nullopt;
    // Discarding takes no time; nothing new is queued meanwhile, as submit refuses.
    while (!m_queue.waitUntilEmpty(std::chrono::milliseconds(100))) {
    }
    std::lock_guard lock(m_failureMutex);
    std::optional<Failure> failure = std::move(m_failure);
    m_failure.reset();
    m_discarding = false;
    return failure;
}
