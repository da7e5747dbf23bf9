// AviFileWriter: a RIFF AVI file holding one uncompressed video stream, every sample a key frame.
// Past 1 GiB the file continues in OpenDML (AVI 2.0) 'AVIX' parts with a two-level index, so long
// recordings stay readable; the first part keeps an 'idx1' for AVI 1.0 readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/durable_file.h"
#include "platform/system/unique_fd.h"

// The 40-byte BITMAPINFOHEADER stored as the stream format ('strf'). A positive height means
// bottom-up rows.
struct BitmapInfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 16;
    std::uint32_t compression = 0;  // BI_RGB
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};

class AviFileWriter {
public:
    // A first part and each 'AVIX' part stay within this many bytes.
    static constexpr std::uint64_t kRiffLimit = std::uint64_t(1) << 30;
    // Entries reserved for the super index, one per part: 32 TiB of frames, more than the largest
    // disk holds, for 512 KiB of header (less than one 640 x 480 frame).
    static constexpr std::uint32_t kSuperIndexEntries = 32768;
    // The largest width or height of a frame: the format's sides are signed 16-bit values to many
    // readers. A recording checks its frame size against this before it takes a frame.
    static constexpr std::uint32_t kMaxSide = 0x7fff;

    AviFileWriter() = default;
    // With other limits than the defaults above, so that a test reaches them with a few frames.
    AviFileWriter(std::uint64_t riffLimit, std::uint32_t superIndexEntries)
        : m_riffLimit(riffLimit), m_superIndexEntries(superIndexEntries) {}
    ~AviFileWriter();
    AviFileWriter(const AviFileWriter&) = delete;
    AviFileWriter& operator=(const AviFileWriter&) = delete;

    // Creates the file, never replacing one: false (errno EEXIST) when a file of that name exists,
    // false as well when it cannot be created or one is open already.
    bool create(const std::string& path);
    // Gives the created file its one video stream and writes provisional headers. False when no
    // file was created, the stream exists already, or the arguments are unusable (no pixels, a
    // side above kMaxSide, rate 0); the file stays created then, and close() leaves it empty.
    bool createStream(std::uint32_t width, std::uint32_t height, std::uint32_t framesPerSecond,
                      const BitmapInfoHeader& format);
    // Appends one key-frame sample. False without a stream, on a write error (a full disk), or when
    // the file would need more parts than the super index holds. After either failure every
    // further frame is refused as well, and close() reports the file Truncated.
    bool writeFrame(const std::uint8_t* data, std::uint32_t size);

    enum class Closed {
        Complete,   // every frame appended is in the file
        Truncated,  // a write failed: the file holds, readable, the frames written before it
        Failed,     // nothing was open, the file had no stream, or it could not be finished
    };
    // Writes the indexes and final headers, flushes the file to the disk and closes it. When a
    // write fails, its own closing writes included, it cuts the file back after a whole frame and
    // writes the closing parts again, dropping frames from the end until they fit. The destructor
    // closes an open file as well.
    Closed close();
    // After close(): the frames a reader finds in the closed file, all appended frames for
    // Complete, the ones kept for Truncated, 0 for Failed. 0 before close().
    std::uint32_t framesInFile() const { return m_framesInFile; }

    bool isOpen() const { return m_fd.isOpen(); }
    // The open file as the system knows it, whatever its name.
    std::optional<FileId> fileId() const { return fileIdOf(m_fd.get()); }
    bool hasStream() const { return m_partCount > 0; }

private:
    struct IndexEntry {
        std::uint64_t offset;  // file position of the sample's chunk header
        std::uint32_t size;    // sample bytes without the chunk header
        std::uint64_t end() const { return offset + 8 + size + (size & 1); }
    };
    struct SuperEntry {
        std::uint64_t offset;  // file position of the part's 'ix00' chunk
        std::uint32_t size;    // bytes of that chunk including its header
        std::uint32_t duration;
    };

    std::vector<std::uint8_t> headerBytes() const;
    std::uint32_t superIndexBytes() const { return 24 + 16 * m_superIndexEntries; }
    void beginPart();
    void endPart(bool morePartsFollow);
    bool finish();
    bool salvage();
    bool keepMost(const std::vector<IndexEntry>& appended, std::size_t whole, std::size_t least);
    bool finishKeeping(const std::vector<IndexEntry>& appended, std::size_t kept);
    bool reopenPreviousPart();
    void put(const void* data, std::size_t size);
    void flush();
    void writeOut(const void* data, std::size_t size);
    void patch32(std::uint64_t position, std::uint32_t value);

    std::uint64_t m_riffLimit = kRiffLimit;
    std::uint32_t m_superIndexEntries = kSuperIndexEntries;
    UniqueFd m_fd;
    // Small writes gather here; frame data goes to the file directly.
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_committed = 0;      // bytes on disk: the file's start up to the first failed write
    std::uint64_t m_writebackFrom = 0;  // bytes before this were handed to the disk's writeback
    bool m_failed = false;
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::uint32_t m_framesPerSecond = 1;
    BitmapInfoHeader m_format;
    std::uint64_t m_position = 0;  // bytes appended, on disk or in the buffer
    std::uint64_t m_riffStart = 0;
    std::uint64_t m_moviStart = 0;  // position of the 'LIST' header of the current part's 'movi'
    std::uint64_t m_firstMoviStart = 0;
    std::uint32_t m_partCount = 0;
    std::uint32_t m_firstPartFrames = 0;
    std::uint32_t m_framesBeforePart = 0;  // frames in the parts before the current one
    std::uint32_t m_totalFrames = 0;
    std::uint32_t m_framesInFile = 0;
    std::uint32_t m_maxSampleSize = 0;
    std::vector<IndexEntry> m_partIndex;   // samples of the current part
    std::vector<SuperEntry> m_superIndex;  // the parts ended so far
};
