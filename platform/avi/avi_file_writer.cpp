#include "platform/avi/avi_file_writer.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/system/whole_transfer.h"

namespace {

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyframe = 0x10;
constexpr std::uint8_t kIndexOfIndexes = 0;
constexpr std::uint8_t kIndexOfChunks = 1;
constexpr std::size_t kWriteBufferBytes = 1u << 20;
constexpr std::uint32_t kDmlhBytes = 248;
constexpr std::uint32_t kOdmlListBytes = 4 + 8 + kDmlhBytes;
constexpr std::uint32_t kStdIndexHeaderBytes = 8 + 24;
constexpr std::uint32_t kIdx1EntryBytes = 16;
constexpr std::uint32_t kStdIndexEntryBytes = 8;

constexpr std::uint32_t fourCc(const char (&code)[5]) {
    return std::uint32_t(std::uint8_t(code[0])) | std::uint32_t(std::uint8_t(code[1])) << 8 |
           std::uint32_t(std::uint8_t(code[2])) << 16 | std::uint32_t(std::uint8_t(code[3])) << 24;
}

// Little-endian serialisation, so the file is the same whatever the host's byte order.
class Bytes {
public:
    std::vector<std::uint8_t> data;
    void u8(std::uint8_t v) { data.push_back(v); }
    void u16(std::uint16_t v) {
        u8(std::uint8_t(v));
        u8(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(std::uint16_t(v));
        u16(std::uint16_t(v >> 16));
    }
    void u64(std::uint64_t v) {
        u32(std::uint32_t(v));
        u32(std::uint32_t(v >> 32));
    }
    void fcc(const char (&code)[5]) { u32(fourCc(code)); }
    void zeros(std::size_t n) { data.insert(data.end(), n, 0); }
    void set32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) data[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    }
};

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

}  // namespace

AviFileWriter::~AviFileWriter() {
    if (isOpen()) close();
}

bool AviFileWriter::create(const std::string& path) {
    if (isOpen()) return false;
    m_fd = UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!m_fd.isOpen()) return false;
    m_buffer.clear();
    m_buffer.reserve(kWriteBufferBytes);
    m_failed = false;
    m_position = m_committed = m_writebackFrom = 0;
    m_partCount = 0;
    m_firstPartFrames = m_framesBeforePart = m_totalFrames = m_maxSampleSize = m_framesInFile = 0;
    m_partIndex.clear();
    m_superIndex.clear();
    return true;
}

bool AviFileWriter::createStream(std::uint32_t width, std::uint32_t height, std::uint32_t framesPerSecond,
                                 const BitmapInfoHeader& format) {
    if (!isOpen() || hasStream() || framesPerSecond == 0 || width == 0 || height == 0 || width > kMaxSide ||
        height > kMaxSide)
        return false;
    m_width = width;
    m_height = height;
    m_framesPerSecond = framesPerSecond;
    m_format = format;
    beginPart();
    // A disk without room for the headers fails here, before any frame is taken.
    flush();
    return !m_failed;
}

bool AviFileWriter::writeFrame(const std::uint8_t* data, std::uint32_t size) {
    if (!isOpen() || !hasStream() || m_failed) return false;
    const std::uint64_t chunkBytes = 8 + std::uint64_t(size) + (size & 1);
    const std::uint64_t entries = m_partIndex.size() + 1;
    std::uint64_t projected =
        m_position - m_riffStart + chunkBytes + kStdIndexHeaderBytes + entries * kStdIndexEntryBytes;
    if (m_partCount == 1) projected += 8 + entries * kIdx1EntryBytes;
    if (projected > m_riffLimit && !m_partIndex.empty()) {
        if (m_superIndex.size() + 2 > m_superIndexEntries) {
            // No entry left for another part: the frames so far stay, and close() says the rest
            // is missing.
            flush();
            m_failed = true;
            return false;
        }
        endPart(true);
        // A finished part is whole on disk, so that a salvage can step back into it.
        flush();
        if (m_failed) return false;
        beginPart();
    }
    Bytes header;
    header.fcc("00db");
    header.u32(size);
    m_partIndex.push_back({m_position, size});
    put(header.data.data(), header.data.size());
    put(data, size);
    if (size & 1) put("", 1);  // RIFF chunks start on even positions
    if (m_partCount == 1) ++m_firstPartFrames;
    ++m_totalFrames;
    if (size > m_maxSampleSize) m_maxSampleSize = size;
    return !m_failed;
}

AviFileWriter::Closed AviFileWriter::close() {
    if (!isOpen()) return Closed::Failed;
    Closed result = Closed::Failed;
    if (hasStream()) {
        if (!m_failed && finish())
            result = Closed::Complete;
        else if (salvage())
            result = Closed::Truncated;
    }
    if (!m_fd.close()) result = Closed::Failed;
    m_framesInFile = result == Closed::Failed ? 0 : m_totalFrames;
    m_partCount = 0;
    m_buffer = {};
    return result;
}

// Ends the current part after its frames in m_partIndex, writes the final headers and makes the
// file durable. On a failure the super index loses the entry it gained, so that it can be tried
// again with fewer frames.
bool AviFileWriter::finish() {
    const std::size_t finishedParts = m_superIndex.size();
    endPart(false);
    flush();
    if (!m_failed) {
        const std::vector<std::uint8_t> headers = headerBytes();
        m_failed =
            !pwriteWhole(m_fd.get(), headers.data(), headers.size(), 12) || ::fdatasync(m_fd.get()) != 0;
    }
    if (m_failed) m_superIndex.resize(finishedParts);
    return !m_failed;
}

// After a failed write: keeps the frames whose chunks are whole on disk, and drops more from the
// end for as long as the closing writes fail. Nothing measures the room left: only the writes
// tell, whatever the file system keeps back for whom.
bool AviFileWriter::salvage() {
    m_superIndex.resize(m_partCount - 1);  // drop the entry of a part that failed while ending
    for (;;) {
        const std::vector<IndexEntry> appended = m_partIndex;
        std::size_t whole = 0;
        while (whole < appended.size() && appended[whole].end() <= m_committed) ++whole;
        // An 'AVIX' part without frames is dropped rather than closed.
        const std::size_t least = m_partCount > 1 ? 1 : 0;
        if (m_committed >= m_moviStart + 12 && whole >= least && keepMost(appended, whole, least))
            return true;
        if (!reopenPreviousPart()) return false;
    }
}

// Finds the most frames, between least and whole, that the closing writes succeed with: first
// all, then fewer by steps that double, then halving the gap between the last failure and the
// last success. The file is left closed with the largest count that succeeded.
bool AviFileWriter::keepMost(const std::vector<IndexEntry>& appended, std::size_t whole, std::size_t least) {
    for (std::size_t top = whole;;) {
        std::size_t kept = top;
        std::size_t failed = top + 1;
        for (std::size_t step = 1; !finishKeeping(appended, kept); step *= 2) {
            if (kept == least) return false;
            failed = kept;
            kept = kept - least > step ? kept - step : least;
        }
        std::size_t last = kept;
        while (failed - kept > 1) {
            last = kept + (failed - kept) / 2;
            if (finishKeeping(appended, last))
                kept = last;
            else
                failed = last;
        }
        // The last try failed above a success: write that success again.
        if (last == kept || finishKeeping(appended, kept)) return true;
        if (kept == least) return false;
        top = kept - 1;
    }
}

// Cuts the file after the first kept frames of the current part and closes it with them.
bool AviFileWriter::finishKeeping(const std::vector<IndexEntry>& appended, std::size_t kept) {
    m_partIndex.assign(appended.begin(), appended.begin() + std::ptrdiff_t(kept));
    const std::uint64_t end = kept == 0 ? m_moviStart + 12 : appended[kept - 1].end();
    m_buffer.clear();
    m_failed = ::ftruncate(m_fd.get(), off_t(end)) != 0 || ::lseek(m_fd.get(), off_t(end), SEEK_SET) < 0;
    m_position = m_committed = end;
    m_totalFrames = m_framesBeforePart + std::uint32_t(kept);
    if (m_partCount == 1) m_firstPartFrames = std::uint32_t(kept);
    return !m_failed && finish();
}

// Drops the current part and makes the one before it current again, its frames read back from
// that part's standard index, which is whole on disk. False in the first part or on a read error.
bool AviFileWriter::reopenPreviousPart() {
    if (m_partCount < 2 || m_superIndex.empty()) return false;
    const SuperEntry previous = m_superIndex.back();
    std::vector<std::uint8_t> ix(previous.size);
    if (previous.size < kStdIndexHeaderBytes ||
        !preadWhole(m_fd.get(), ix.data(), ix.size(), previous.offset))
        return false;
    const std::uint32_t entries = le32(&ix[12]);
    const std::uint64_t base = le32(&ix[20]) | std::uint64_t(le32(&ix[24])) << 32;
    if (le32(&ix[0]) != fourCc("ix00") || entries != previous.duration ||
        kStdIndexHeaderBytes + std::uint64_t(kStdIndexEntryBytes) * entries > ix.size())
        return false;
    m_partIndex.clear();
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint8_t* e = &ix[kStdIndexHeaderBytes + kStdIndexEntryBytes * i];
        m_partIndex.push_back({base + le32(e) - 8, le32(e + 4) & 0x7fffffffu});
    }
    m_committed = m_riffStart;  // everything before the dropped part is on disk
    m_superIndex.pop_back();
    --m_partCount;
    m_riffStart = base;
    m_moviStart = m_partCount == 1 ? m_firstMoviStart : base + 12;
    m_framesBeforePart -= entries;
    m_totalFrames = m_framesBeforePart + entries;
    if (m_partCount == 1) m_firstPartFrames = entries;
    return true;
}

// 'hdrl' list as it stands now. It has the same size at open and at close, so close rewrites it
// in place: the super index and the 'odml' list are JUNK until the file needs OpenDML.
std::vector<std::uint8_t> AviFileWriter::headerBytes() const {
    const bool openDml = m_partCount > 1;
    const std::uint32_t usPerFrame = 1000000 / m_framesPerSecond;
    Bytes b;
    b.fcc("LIST");
    const std::size_t hdrlSize = b.data.size();
    b.u32(0);
    b.fcc("hdrl");

    b.fcc("avih");
    b.u32(56);
    b.u32(usPerFrame);
    b.u32(std::uint32_t(std::uint64_t(m_maxSampleSize) * m_framesPerSecond));
    b.u32(0);  // padding granularity
    b.u32(kAvifHasIndex);
    b.u32(m_firstPartFrames);  // OpenDML: frames of the first part; dmlh holds the total
    b.u32(0);                  // initial frames
    b.u32(1);                  // streams
    b.u32(m_maxSampleSize);
    b.u32(m_width);
    b.u32(m_height);
    b.zeros(16);

    b.fcc("LIST");
    const std::size_t strlSize = b.data.size();
    b.u32(0);
    b.fcc("strl");
    b.fcc("strh");
    b.u32(56);
    b.fcc("vids");
    b.u32(0);  // handler
    b.u32(0);  // flags
    b.u16(0);  // priority
    b.u16(0);  // language
    b.u32(0);  // initial frames
    b.u32(1);  // scale
    b.u32(m_framesPerSecond);
    b.u32(0);  // start
    b.u32(m_totalFrames);
    b.u32(m_maxSampleSize);
    b.u32(10000);  // quality
    b.u32(0);      // sample size: varies per sample
    b.u16(0);
    b.u16(0);
    b.u16(std::uint16_t(m_width));
    b.u16(std::uint16_t(m_height));

    b.fcc("strf");
    b.u32(40);
    b.u32(m_format.size);
    b.u32(std::uint32_t(m_format.width));
    b.u32(std::uint32_t(m_format.height));
    b.u16(m_format.planes);
    b.u16(m_format.bitCount);
    b.u32(m_format.compression);
    b.u32(m_format.sizeImage);
    b.u32(std::uint32_t(m_format.xPelsPerMeter));
    b.u32(std::uint32_t(m_format.yPelsPerMeter));
    b.u32(m_format.clrUsed);
    b.u32(m_format.clrImportant);

    b.fcc("strn");
    b.u32(6);
    for (char c : {'V', 'I', 'D', 'E', 'O', '\0'}) b.u8(std::uint8_t(c));

    if (openDml) {
        b.fcc("indx");
        b.u32(superIndexBytes());
        b.u16(4);  // longs per entry
        b.u8(0);   // sub-type
        b.u8(kIndexOfIndexes);
        b.u32(std::uint32_t(m_superIndex.size()));
        b.fcc("00db");
        b.zeros(12);
        for (const SuperEntry& e : m_superIndex) {
            b.u64(e.offset);
            b.u32(e.size);
            b.u32(e.duration);
        }
        b.zeros(16 * (m_superIndexEntries - m_superIndex.size()));
    } else {
        b.fcc("JUNK");
        b.u32(superIndexBytes());
        b.zeros(superIndexBytes());
    }
    b.set32(strlSize, std::uint32_t(b.data.size() - strlSize - 4));

    if (openDml) {
        b.fcc("LIST");
        b.u32(kOdmlListBytes);
        b.fcc("odml");
        b.fcc("dmlh");
        b.u32(kDmlhBytes);
        b.u32(m_totalFrames);
        b.zeros(kDmlhBytes - 4);
    } else {
        b.fcc("JUNK");
        b.u32(kOdmlListBytes);
        b.zeros(kOdmlListBytes);
    }
    b.set32(hdrlSize, std::uint32_t(b.data.size() - hdrlSize - 4));
    return b.data;
}

// Starts a RIFF part and its 'movi' list: 'AVI ' with the headers for the first, 'AVIX' after.
void AviFileWriter::beginPart() {
    ++m_partCount;
    m_riffStart = m_position;
    m_framesBeforePart = m_totalFrames;
    Bytes b;
    b.fcc("RIFF");
    b.u32(0);
    if (m_partCount == 1) {
        b.fcc("AVI ");
        const std::vector<std::uint8_t> headers = headerBytes();
        b.data.insert(b.data.end(), headers.begin(), headers.end());
    } else {
        b.fcc("AVIX");
    }
    m_moviStart = m_position + b.data.size();
    if (m_partCount == 1) m_firstMoviStart = m_moviStart;
    b.fcc("LIST");
    b.u32(0);
    b.fcc("movi");
    put(b.data.data(), b.data.size());
    m_partIndex.clear();
}

// Closes the current part: once the file is OpenDML (more parts follow, or this is an 'AVIX'), a
// standard index of the part's samples ends its 'movi' list; the first part gets 'idx1'; then the
// part's sizes are filled in.
void AviFileWriter::endPart(bool morePartsFollow) {
    if (morePartsFollow || m_partCount > 1) {
        const std::uint32_t bytes =
            kStdIndexHeaderBytes + kStdIndexEntryBytes * std::uint32_t(m_partIndex.size());
        Bytes ix;
        ix.fcc("ix00");
        ix.u32(bytes - 8);
        ix.u16(2);  // longs per entry
        ix.u8(0);   // sub-type
        ix.u8(kIndexOfChunks);
        ix.u32(std::uint32_t(m_partIndex.size()));
        ix.fcc("00db");
        ix.u64(m_riffStart);  // base: entries are 32-bit offsets within the part
        ix.u32(0);
        for (const IndexEntry& e : m_partIndex) {
            ix.u32(std::uint32_t(e.offset + 8 - m_riffStart));  // points at the data; bit 31 clear: key frame
            ix.u32(e.size);
        }
        m_superIndex.push_back({m_position, bytes, std::uint32_t(m_partIndex.size())});
        put(ix.data.data(), ix.data.size());
    }
    patch32(m_moviStart + 4, std::uint32_t(m_position - m_moviStart - 8));
    if (m_partCount == 1) {
        Bytes idx;
        idx.fcc("idx1");
        idx.u32(kIdx1EntryBytes * std::uint32_t(m_partIndex.size()));
        for (const IndexEntry& e : m_partIndex) {
            idx.fcc("00db");
            idx.u32(kAviifKeyframe);
            idx.u32(std::uint32_t(e.offset - (m_moviStart + 8)));  // from the 'movi' code
            idx.u32(e.size);
        }
        put(idx.data.data(), idx.data.size());
    }
    patch32(m_riffStart + 4, std::uint32_t(m_position - m_riffStart - 8));
}

void AviFileWriter::put(const void* data, std::size_t size) {
    if (m_failed) return;
    m_position += size;
    if (size >= kWriteBufferBytes / 2 || m_buffer.size() + size > kWriteBufferBytes) flush();
    if (size >= kWriteBufferBytes / 2) return writeOut(data, size);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_buffer.insert(m_buffer.end(), bytes, bytes + size);
}

void AviFileWriter::flush() {
    writeOut(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
}

// Writes at the end of the file; the first error ends all writing, and m_committed tells how far
// the file got.
void AviFileWriter::writeOut(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0 && !m_failed) {
        const ssize_t written = ::write(m_fd.get(), bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            m_failed = true;
            break;
        }
        bytes += written;
        size -= std::size_t(written);
        m_committed += std::uint64_t(written);
    }
    // The disk starts on what was written while frames are still coming, so the flush at the close
    // finds little left to do.
    constexpr std::uint64_t kWritebackStep = std::uint64_t(32) << 20;
    m_writebackFrom = std::min(m_writebackFrom, m_committed);  // a salvage cut the file back
    if (m_committed >= m_writebackFrom + kWritebackStep) {
        ::sync_file_range(m_fd.get(), off_t(m_writebackFrom), off_t(m_committed - m_writebackFrom),
                          SYNC_FILE_RANGE_WRITE);
        m_writebackFrom = m_committed;
    }
}

void AviFileWriter::patch32(std::uint64_t position, std::uint32_t value) {
    if (m_failed) return;
    Bytes b;
    b.u32(value);
    if (position >= m_committed) {
        std::memcpy(m_buffer.data() + (position - m_committed), b.data.data(), 4);
    } else if (::pwrite(m_fd.get(), b.data.data(), 4, off_t(position)) != 4) {
        m_failed = true;
    }
}
