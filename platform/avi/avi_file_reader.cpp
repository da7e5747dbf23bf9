#include "platform/avi/avi_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/system/unique_fd.h"
#include "platform/system/whole_transfer.h"

namespace {

// Indexes are read this many bytes at a time, whatever size the file claims for them.
constexpr std::uint64_t kBlockBytes = 64 * 1024;

constexpr std::uint32_t fourCc(const char (&code)[5]) {
    return std::uint32_t(std::uint8_t(code[0])) | std::uint32_t(std::uint8_t(code[1])) << 8 |
           std::uint32_t(std::uint8_t(code[2])) << 16 | std::uint32_t(std::uint8_t(code[3])) << 24;
}

std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(le16(p)) | std::uint32_t(le16(p + 2)) << 16;
}
std::uint64_t le64(const std::uint8_t* p) { return le32(p) | std::uint64_t(le32(p + 4)) << 32; }

struct File {
    int fd;
    std::uint64_t size;  // from fstat: every claimed size and position is checked against it

    // All of n bytes at position at; false past the end of the file or on a read error.
    bool read(std::uint64_t at, std::uint8_t* data, std::size_t n) const {
        return at <= size && size - at >= n && preadWhole(fd, data, n, at);
    }
};

struct Chunk {
    std::uint32_t id = 0;
    std::uint64_t data = 0;  // position of the data, after the 8-byte header
    std::uint32_t size = 0;
    std::uint64_t end() const { return data + size + (size & 1); }
};

// The chunk whose header is at position at, when the whole chunk lies before end.
std::optional<Chunk> chunkAt(const File& file, std::uint64_t at, std::uint64_t end) {
    std::uint8_t header[8];
    if (at > end || end - at < 8 || !file.read(at, header, 8)) return std::nullopt;
    const Chunk chunk{le32(header), at + 8, le32(header + 4)};
    if (chunk.end() > end) return std::nullopt;
    return chunk;
}

// The chunk whose header is at position at, when the whole chunk lies in the body of list.
std::optional<Chunk> chunkIn(const File& file, std::uint64_t at, const Chunk& list) {
    return at >= list.data + 4 ? chunkAt(file, at, list.data + list.size) : std::nullopt;
}

// The form type of a RIFF or LIST chunk; 0 for one too short to have it.
std::uint32_t listType(const File& file, const Chunk& list) {
    std::uint8_t type[4];
    return list.size >= 4 && file.read(list.data, type, 4) ? le32(type) : 0;
}

// Calls each(chunk) for the chunks of a list's body in order; false when one overruns the list or
// each returns false.
template <typename Each>
bool forEachChunk(const File& file, const Chunk& list, Each each) {
    for (std::uint64_t at = list.data + 4; at < list.data + list.size;) {
        const std::optional<Chunk> chunk = chunkIn(file, at, list);
        if (!chunk || !each(*chunk)) return false;
        at = chunk->end();
    }
    return true;
}

// Calls each(entry) for count entries of entryBytes bytes from position at, a block at a time.
template <typename Each>
bool forEachEntry(const File& file, std::uint64_t at, std::uint64_t count, std::size_t entryBytes,
                  Each each) {
    if (count > file.size / entryBytes) return false;
    const std::uint64_t perBlock = kBlockBytes / entryBytes;
    std::vector<std::uint8_t> block(std::size_t(std::min(count, perBlock) * entryBytes));
    for (std::uint64_t done = 0; done < count;) {
        const std::size_t n = std::size_t(std::min(count - done, perBlock));
        if (!file.read(at + done * entryBytes, block.data(), n * entryBytes)) return false;
        for (std::size_t i = 0; i < n; ++i)
            if (!each(&block[i * entryBytes])) return false;
        done += n;
    }
    return true;
}

// What the 'hdrl' list says about the frames and their format.
struct Headers {
    std::optional<std::uint32_t> avihFrames, strhFrames, dmlhFrames;
    std::optional<AviContents> format;
    std::optional<Chunk> superIndex;  // 'indx', there once the file has 'AVIX' parts
};

// False when a chunk overruns its list, is too short for its fields, or there is not one video stream.
bool readHeaders(const File& file, const Chunk& hdrl, Headers& h) {
    std::uint8_t b[56];
    const auto stream = [&](const Chunk& c) {
        if (c.id == fourCc("strh")) {
            if (h.strhFrames || c.size < 56 || !file.read(c.data, b, 56) || le32(b) != fourCc("vids"))
                return false;
            h.strhFrames = le32(b + 32);
        } else if (c.id == fourCc("strf")) {
            if (h.format || c.size < 40 || !file.read(c.data, b, 40)) return false;
            const auto width = std::int32_t(le32(b + 4)), height = std::int32_t(le32(b + 8));
            if (width < 0) return false;
            // Negative for top-down rows; unsigned arithmetic keeps INT32_MIN defined.
            const std::uint32_t rows = height < 0 ? 0u - std::uint32_t(height) : std::uint32_t(height);
            h.format = AviContents{0, std::uint32_t(width), rows, le16(b + 14)};
        } else if (c.id == fourCc("indx")) {
            h.superIndex = c;
        }
        return true;
    };
    const auto odml = [&](const Chunk& c) {
        if (c.id != fourCc("dmlh")) return true;
        if (c.size < 4 || !file.read(c.data, b, 4)) return false;
        h.dmlhFrames = le32(b);
        return true;
    };
    return forEachChunk(file, hdrl, [&](const Chunk& c) {
        if (c.id == fourCc("avih")) {
            if (c.size < 56 || !file.read(c.data, b, 56) || le32(b + 24) != 1) return false;
            h.avihFrames = le32(b + 16);
            return true;
        }
        if (c.id != fourCc("LIST")) return true;
        const std::uint32_t type = listType(file, c);
        if (type == fourCc("strl")) return forEachChunk(file, c, stream);
        if (type == fourCc("odml")) return forEachChunk(file, c, odml);
        return true;
    });
}

}  // namespace

std::optional<AviContents> readAviContents(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd.isOpen() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    const File file{fd.get(), std::uint64_t(st.st_size)};

    // The RIFF parts fill the file: 'AVI ', then one 'AVIX' for each further part.
    std::vector<Chunk> parts;
    for (std::uint64_t at = 0; at < file.size;) {
        const std::optional<Chunk> part = chunkAt(file, at, file.size);
        if (!part || part->id != fourCc("RIFF") ||
            listType(file, *part) != (parts.empty() ? fourCc("AVI ") : fourCc("AVIX")))
            return std::nullopt;
        parts.push_back(*part);
        at = part->end();
    }
    if (parts.empty()) return std::nullopt;

    Headers h;
    std::optional<Chunk> movi, idx1;
    const bool walked = forEachChunk(file, parts[0], [&](const Chunk& c) {
        if (c.id == fourCc("idx1")) idx1 = c;
        if (c.id != fourCc("LIST")) return true;
        const std::uint32_t type = listType(file, c);
        if (type == fourCc("movi")) movi = c;
        return type != fourCc("hdrl") || readHeaders(file, c, h);
    });
    if (!walked || !movi || !idx1 || idx1->size % 16 != 0 || !h.avihFrames || !h.strhFrames || !h.format)
        return std::nullopt;

    // Every entry leads to a '00db' chunk of the entry's size in its part's 'movi' list.
    std::optional<std::uint32_t> sampleSize;
    const auto isSample = [&](std::uint64_t at, std::uint32_t size, const Chunk& list) {
        if (sampleSize && size != *sampleSize) return false;
        sampleSize = size;
        const std::optional<Chunk> chunk = chunkIn(file, at, list);
        return chunk && chunk->id == fourCc("00db") && chunk->size == size;
    };
    // 'idx1' counts its offsets from the 'movi' code.
    const std::uint64_t firstPartFrames = idx1->size / 16;
    if (!forEachEntry(file, idx1->data, firstPartFrames, 16, [&](const std::uint8_t* e) {
            return le32(e) == fourCc("00db") && isSample(movi->data + le32(e + 8), le32(e + 12), *movi);
        }))
        return std::nullopt;

    std::uint64_t frames = firstPartFrames;
    if (h.superIndex) {
        // One super index entry per part, each leading to the part's 'ix00' at the end of its 'movi'.
        const Chunk indx = *h.superIndex;
        std::uint8_t b[24];
        if (!h.dmlhFrames || indx.size < 24 || !file.read(indx.data, b, 24) || le16(b) != 4 || b[3] != 0 ||
            le32(b + 4) != parts.size() || le32(b + 8) != fourCc("00db") ||
            (indx.size - 24) / 16 < parts.size())
            return std::nullopt;
        frames = 0;
        std::size_t k = 0;
        const bool indexed = forEachEntry(file, indx.data + 24, parts.size(), 16, [&](const std::uint8_t* e) {
            const bool first = k == 0;
            const Chunk& part = parts[k++];
            const std::optional<Chunk> list = first ? movi : chunkAt(file, part.data + 4, part.end());
            const std::uint32_t entries = le32(e + 12);
            const std::optional<Chunk> ix = list && listType(file, *list) == fourCc("movi")
                                                ? chunkIn(file, le64(e), *list)
                                                : std::nullopt;
            // Entries count from the part's start, and point at the data after the chunk header.
            const std::uint64_t base = part.data - 8;
            if (!ix || ix->id != fourCc("ix00") || std::uint64_t(ix->size) + 8 != le32(e + 8) ||
                ix->size < 24 || !file.read(ix->data, b, 24) || le16(b) != 2 || b[3] != 1 ||
                le32(b + 4) != entries || le32(b + 8) != fourCc("00db") || le64(b + 12) != base ||
                (ix->size - 24) / 8 < entries || (first && entries != firstPartFrames))
                return false;
            frames += entries;
            return forEachEntry(file, ix->data + 24, entries, 8, [&](const std::uint8_t* s) {
                return isSample(base + le32(s) - 8, le32(s + 4), *list);
            });
        });
        if (!indexed || *h.avihFrames != firstPartFrames || *h.dmlhFrames != frames) return std::nullopt;
    } else if (parts.size() != 1 || h.dmlhFrames || *h.avihFrames != frames) {
        return std::nullopt;
    }
    if (*h.strhFrames != frames) return std::nullopt;
    AviContents contents = *h.format;
    contents.frames = std::uint32_t(frames);
    return contents;
}
