#include "platform/avi/avi_file.h"

namespace {

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyframe = 0x10;
constexpr std::uint8_t kIndexOfIndexes = 0;
constexpr std::uint8_t kIndexOfChunks = 1;
constexpr std::size_t kWriteBufferBytes = 8u << 20;
constexpr std::uint32_t kSuperIndexBytes = 24 + 16 * AviFileWriter::kSuperIndexEntries;
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

}  // namespace

AviFileWriter::~AviFileWriter() {
    if (isOpen()) close();
}

bool AviFileWriter::create(const std::string& path) {
    if (isOpen()) return false;
    // A large stream buffer turns the many small header and chunk writes into few big ones.
    m_streamBuffer.assign(kWriteBufferBytes, 0);
    m_file.rdbuf()->pubsetbuf(m_streamBuffer.data(), std::streamsize(m_streamBuffer.size()));
    m_file.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!m_file.is_open()) {
        m_file.clear();
        return false;
    }
    m_failed = false;
    m_position = 0;
    m_partCount = 0;
    m_firstPartFrames = m_totalFrames = m_maxSampleSize = 0;
    m_partIndex.clear();
    m_superIndex.clear();
    return true;
}

bool AviFileWriter::createStream(std::uint32_t width, std::uint32_t height, std::uint32_t framesPerSecond,
                                 const BitmapInfoHeader& format) {
    if (!isOpen() || hasStream() || framesPerSecond == 0 || width == 0 || height == 0 || width > 0x7fff ||
        height > 0x7fff)
        return false;
    m_width = width;
    m_height = height;
    m_framesPerSecond = framesPerSecond;
    m_format = format;
    beginPart();
    return !m_failed;
}

bool AviFileWriter::writeFrame(const std::uint8_t* data, std::uint32_t size) {
    if (!isOpen() || !hasStream() || m_failed) return false;
    const std::uint64_t chunkBytes = 8 + std::uint64_t(size) + (size & 1);
    const std::uint64_t entries = m_partIndex.size() + 1;
    std::uint64_t projected =
        m_position - m_riffStart + chunkBytes + kStdIndexHeaderBytes + entries * kStdIndexEntryBytes;
    if (m_partCount == 1) projected += 8 + entries * kIdx1EntryBytes;
    if (projected > kRiffLimit && !m_partIndex.empty()) {
        if (m_superIndex.size() + 1 >= kSuperIndexEntries) return false;
        endPart(true);
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

bool AviFileWriter::close() {
    if (!isOpen()) return false;
    const bool streamed = hasStream();
    if (streamed) {
        endPart(false);
        const std::vector<std::uint8_t> headers = headerBytes();
        m_file.seekp(12);
        m_file.write(reinterpret_cast<const char*>(headers.data()), std::streamsize(headers.size()));
    }
    m_file.close();  // flushes; a failed flush or close sets failbit
    const bool ok = streamed && !m_failed && !m_file.fail();
    m_partCount = 0;
    m_file.clear();
    m_streamBuffer.clear();
    m_streamBuffer.shrink_to_fit();
    return ok;
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
        b.u32(kSuperIndexBytes);
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
        b.zeros(16 * (kSuperIndexEntries - m_superIndex.size()));
    } else {
        b.fcc("JUNK");
        b.u32(kSuperIndexBytes);
        b.zeros(kSuperIndexBytes);
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
    m_file.write(static_cast<const char*>(data), std::streamsize(size));
    if (!m_file.good()) m_failed = true;
    m_position += size;
}

void AviFileWriter::patch32(std::uint64_t position, std::uint32_t value) {
    Bytes b;
    b.u32(value);
    m_file.seekp(std::streamoff(position));
    m_file.write(reinterpret_cast<const char*>(b.data.data()), 4);
    m_file.seekp(std::streamoff(m_position));
    if (!m_file.good()) m_failed = true;
}
