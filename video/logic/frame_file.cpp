#include "video/logic/frame_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/logic/bmp_header.h"
#include "platform/avi/avi_file_writer.h"
#include "platform/system/file_replace.h"
#include "platform/system/unique_fd.h"

namespace {

constexpr std::size_t kFileHeader = 14;
// Direct transfers (O_DIRECT) need file offsets, lengths and memory addresses in whole blocks of the
// device; 512 bytes is the common block, and a volume that wants more refuses the transfer, which
// then goes through the page cache instead. Such files keep their pixels one page into the file.
constexpr std::size_t kDirectBlock = 512;
constexpr std::size_t kDirectPixelOffset = 4096;
constexpr std::size_t kInfoHeader = 40;

std::uint32_t get16(const std::uint8_t* at) { return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8; }
std::uint32_t get32(const std::uint8_t* at) { return get16(at) | get16(at + 2) << 16; }

// One vectored read or write of the pieces at the given file offset, in as many calls as the
// system needs (short transfers, at most IOV_MAX pieces a call, interrupted calls).
using Transfer = std::function<ssize_t(const iovec*, int, off_t)>;
bool transferAll(std::vector<iovec> pieces, off_t offset, const Transfer& transfer) {
    std::size_t first = 0;
    while (first < pieces.size()) {
        if (pieces[first].iov_len == 0) {
            ++first;
            continue;
        }
        const int count = int(std::min<std::size_t>(pieces.size() - first, IOV_MAX));
        const ssize_t done = transfer(pieces.data() + first, count, offset);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        offset += done;
        for (std::size_t left = std::size_t(done); left > 0;) {
            iovec& piece = pieces[first];
            const std::size_t step = std::min(left, piece.iov_len);
            piece.iov_base = static_cast<char*>(piece.iov_base) + step;
            piece.iov_len -= step;
            left -= step;
            if (piece.iov_len == 0) ++first;
        }
    }
    return true;
}

// Row y of the picture (top row 0) as one piece; bottom-up files list the rows from the last one.
std::vector<iovec> rowPieces(uchar* bits, qsizetype bytesPerLine, int height, std::size_t rowBytes,
                             bool bottomUp) {
    std::vector<iovec> pieces;
    pieces.reserve(std::size_t(height) + 1);
    for (int i = 0; i < height; ++i) {
        const int y = bottomUp ? height - 1 - i : i;
        pieces.push_back({bits + y * bytesPerLine, rowBytes});
    }
    return pieces;
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using AlignedBytes = std::unique_ptr<std::uint8_t[], FreeDeleter>;
AlignedBytes alignedBytes(std::size_t size) {
    return AlignedBytes(static_cast<std::uint8_t*>(std::aligned_alloc(kDirectPixelOffset, size)));
}

bool blockAligned(const void* address, std::size_t a, std::size_t b) {
    return reinterpret_cast<std::uintptr_t>(address) % kDirectBlock == 0 && a % kDirectBlock == 0 &&
           b % kDirectBlock == 0;
}

// Writes the header block and the pixels to a new file at path; direct goes past the page cache.
// False with errno set when a step fails; EINVAL from a direct open or write means the volume refuses
// direct transfers.
bool writeFile(const QByteArray& name, std::vector<iovec> pixels, const std::uint8_t* header,
               std::size_t headerBytes, bool direct) {
    UniqueFd file(
        ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (direct ? O_DIRECT : 0), 0644));
    if (!file.isOpen()) return false;
    pixels.insert(pixels.begin(), iovec{const_cast<std::uint8_t*>(header), headerBytes});
    const int fd = file.get();
    const bool ok =
        transferAll(std::move(pixels), 0, [fd](const iovec* v, int n, off_t) { return ::writev(fd, v, n); });
    const int error = errno;
    const bool closed = file.close();
    errno = ok ? errno : error;
    return ok && closed;
}

// Removes what a failed write left; false, with the failure's errno kept for the caller.
bool removeAfterFailure(const QByteArray& name) {
    const int error = errno;
    removePartialFile(name);
    errno = error;
    return false;
}

}  // namespace

bool writeFrameBmp(const QImage& image, const QString& path, bool throughPageCache, RowOrder rows) {
    if (image.isNull()) return false;
    const QImage pixels = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull()) return false;
    const std::size_t rowBytes = std::size_t(pixels.width()) * 4;
    const std::uint64_t imageBytes = std::uint64_t(rowBytes) * std::uint64_t(pixels.height());
    if (kDirectPixelOffset + imageBytes > UINT32_MAX) return false;
    const auto bmpHeader = [&](std::uint8_t* header, std::uint32_t pixelOffset) {
        fillBmpHeader(header, pixels.width(), pixels.height(), 32, pixelOffset, std::uint32_t(imageBytes));
    };
    const QByteArray name = QFile::encodeName(path);
    // The pixels as the file wants them, bottom row first: one piece where the memory holds them so.
    // The rows are only read; iovec just has no const.
    auto* bits = const_cast<uchar*>(pixels.constBits());
    const bool onePiece = rows == RowOrder::File && std::size_t(pixels.bytesPerLine()) == rowBytes;
    const std::vector<iovec> pieces = onePiece ? std::vector<iovec>{{bits, std::size_t(imageBytes)}}
                                               : rowPieces(bits, pixels.bytesPerLine(), pixels.height(),
                                                           rowBytes, rows == RowOrder::Picture);

    // Pixels in whole blocks go to the disk straight from the image: no copy into the page cache, which
    // costs more than the rest of a frame.
    const bool direct = onePiece ? blockAligned(bits, std::size_t(imageBytes), std::size_t(imageBytes))
                                 : blockAligned(bits, rowBytes, std::size_t(pixels.bytesPerLine()));
    if (!throughPageCache && direct) {
        const AlignedBytes block = alignedBytes(kDirectPixelOffset);
        if (block) {
            std::memset(block.get(), 0, kDirectPixelOffset);
            bmpHeader(block.get(), kDirectPixelOffset);
            if (writeFile(name, pieces, block.get(), kDirectPixelOffset, true)) return true;
            if (errno != EINVAL) return removeAfterFailure(name);
        }
    }
    std::uint8_t header[kBmpHeaderBytes];
    bmpHeader(header, kBmpHeaderBytes);
    return writeFile(name, pieces, header, kBmpHeaderBytes, false) || removeAfterFailure(name);
}

namespace {

// The pixels of a 32-bit BI_RGB frame header within the sides an AVI frame may have: where they
// start, the picture's size and whether its rows lie bottom-up.
struct FrameLayout {
    std::uint32_t pixelOffset;
    QSize size;
    bool bottomUp;
    std::uint64_t end() const {
        return pixelOffset + std::uint64_t(size.width()) * 4 * std::uint64_t(size.height());
    }
};

std::optional<FrameLayout> frameLayout(const std::uint8_t* header) {
    const std::uint32_t infoBytes = get32(header + 14);
    const std::int32_t width = std::int32_t(get32(header + 18));
    const std::int32_t rawHeight = std::int32_t(get32(header + 22));
    // Sides within the AVI file's limit also keep every size below computed without overflow.
    const auto side = [](std::int64_t v) { return v > 0 && v <= std::int64_t(AviFileWriter::kMaxSide); };
    const std::int64_t height = rawHeight < 0 ? -std::int64_t(rawHeight) : rawHeight;
    const FrameLayout layout{get32(header + 10), QSize(width, int(height)), rawHeight > 0};
    if (get16(header) != 0x4d42 || infoBytes < kInfoHeader || infoBytes > kDirectPixelOffset ||
        get16(header + 26) != 1 || get16(header + 28) != 32 || get32(header + 30) != 0 || !side(width) ||
        !side(height) || layout.pixelOffset < kFileHeader + infoBytes ||
        layout.pixelOffset > kDirectPixelOffset)
        return std::nullopt;
    return layout;
}

}  // namespace

FrameFileCheck checkFrameFile(const QString& path, QSize expected, QSize* seen) {
    UniqueFd file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    std::uint8_t header[kBmpHeaderBytes];
    if (!file.isOpen() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return FrameFileCheck::Foreign;
    if (info.st_size == 0) return FrameFileCheck::CutShort;
    if (::pread(file.get(), header, kBmpHeaderBytes, 0) != ssize_t(kBmpHeaderBytes))
        return FrameFileCheck::Foreign;
    const std::optional<FrameLayout> layout = frameLayout(header);
    if (!layout || (expected.isValid() && layout->size != expected)) return FrameFileCheck::Foreign;
    if (seen) *seen = layout->size;
    return layout->end() <= std::uint64_t(info.st_size) ? FrameFileCheck::Whole : FrameFileCheck::CutShort;
}

bool readFrameBmp(const QString& path, QImage& image) {
    const QByteArray name = QFile::encodeName(path);
    UniqueFd file(::open(name.constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    std::uint8_t header[kBmpHeaderBytes];
    const bool read = file.isOpen() && ::fstat(file.get(), &info) == 0 &&
                      ::pread(file.get(), header, kBmpHeaderBytes, 0) == ssize_t(kBmpHeaderBytes);
    const std::optional<FrameLayout> layout = read ? frameLayout(header) : std::nullopt;
    if (!layout || layout->end() > std::uint64_t(info.st_size)) {
        image = QImage();
        return false;
    }
    const std::size_t rowBytes = std::size_t(layout->size.width()) * 4;
    if (image.size() != layout->size || image.format() != QImage::Format_RGB32 ||
        std::size_t(image.bytesPerLine()) != rowBytes)
        image = QImage(layout->size, QImage::Format_RGB32);
    if (image.isNull()) return false;
    const int fd = file.get();
    // bits() detaches the image from any other holder before the rows are overwritten.
    const bool ok = transferAll(
        rowPieces(image.bits(), image.bytesPerLine(), layout->size.height(), rowBytes, layout->bottomUp),
        layout->pixelOffset, [fd](const iovec* v, int n, off_t at) { return ::preadv(fd, v, n, at); });
    if (!ok) image = QImage();
    // A frame is read once: its pages would only crowd out what is written next.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    return ok;
}
