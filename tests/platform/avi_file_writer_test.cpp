#include "platform/avi/avi_file_writer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "fakes/media_probe.h"
#include "fakes/raw_avi.h"
#include "fakes/small_disk.h"
#include "platform/avi/avi_file_reader.h"

namespace {

std::uint32_t u32(const Bytes& b, std::size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | std::uint32_t(b.at(at + 3)) << 24;
}
std::uint16_t u16(const Bytes& b, std::size_t at) { return std::uint16_t(b.at(at) | b.at(at + 1) << 8); }
std::uint64_t u64(const Bytes& b, std::size_t at) { return u32(b, at) | std::uint64_t(u32(b, at + 4)) << 32; }
std::string fcc(const Bytes& b, std::size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

Bytes readBytes(const QString& path, qint64 offset = 0, qint64 count = -1) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset)) return {};
    const QByteArray data = count < 0 ? file.readAll() : file.read(count);
    return Bytes(data.begin(), data.end());
}

// RIFF walk: chunk id -> offset of its data (first occurrence, LIST/RIFF bodies entered).
void walk(const Bytes& b, std::size_t begin, std::size_t end, std::map<std::string, std::size_t>& found) {
    for (std::size_t p = begin; p + 8 <= end && p + 8 <= b.size();) {
        const std::string id = fcc(b, p);
        const std::size_t size = u32(b, p + 4);
        if (id == "LIST" || id == "RIFF") {
            found.emplace(fcc(b, p + 8), p + 12);
            walk(b, p + 12, std::min(p + 8 + size, end), found);
        } else {
            found.emplace(id, p + 8);
        }
        p += 8 + size + (size & 1);
    }
}

BitmapInfoHeader formatFor(int width, int height, int bits) {
    BitmapInfoHeader f;
    f.width = width;
    f.height = height;
    f.bitCount = std::uint16_t(bits);
    return f;
}

// readAviContents finds want in the file at path; nullopt: the file is not whole.
void expectContents(const QString& path, const std::optional<AviContents>& want) {
    const std::optional<AviContents> got = readAviContents(path.toStdString());
    ASSERT_EQ(got.has_value(), want.has_value());
    if (!want) return;
    EXPECT_EQ(std::tie(got->frames, got->width, got->height, got->bitCount),
              std::tie(want->frames, want->width, want->height, want->bitCount));
}

// Pixel (x, y) of frame i as the bytes the reader hands back for it (rgb555le or bgr24).
void expectedPixel(int x, int y, int i, int bits, std::uint8_t* out) {
    if (bits == 16) {
        const std::uint16_t v = std::uint16_t(((x + 3 * i) & 31) << 10 | (y & 31) << 5 | ((x + y + i) & 31));
        out[0] = std::uint8_t(v);
        out[1] = std::uint8_t(v >> 8);
    } else {
        out[0] = std::uint8_t(x + i);
        out[1] = std::uint8_t(y);
        out[2] = std::uint8_t(x ^ y);
    }
}

Bytes sample(int width, int height, int i, int bits) {
    return dibSample(width, height, bits,
                     [&](int x, int y, std::uint8_t* out) { expectedPixel(x, y, i, bits, out); });
}

// ffmpeg decodes exactly frames frames from the file, frame i being sample(.., i, ..).
void expectFrames(const QString& path, int width, int height, int bits, int frames) {
    const QByteArray decoded = runTool("ffmpeg", {"-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt",
                                                  bits == 16 ? "rgb555le" : "bgr24", "-"});
    const int bpp = bits / 8;
    ASSERT_EQ(decoded.size(), qsizetype(frames) * width * height * bpp);
    std::size_t mismatches = 0;
    std::uint8_t want[3];
    for (int i = 0; i < frames; ++i)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                expectedPixel(x, y, i, bits, want);
                const char* got = decoded.constData() + ((std::size_t(i) * height + y) * width + x) * bpp;
                mismatches += std::memcmp(got, want, std::size_t(bpp)) != 0;
            }
    EXPECT_EQ(mismatches, 0u);
}

TEST(AviFileWriter, HeadersIndexAndPixelsReadBackByRiffWalkAndFfmpeg) {
    constexpr int kHeight = 240;
    constexpr std::uint32_t kRate = 15;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (int frames : {0, 1, 100}) {
        for (int bits : {16, 24}) {
            for (int width : {320, 321}) {
                SCOPED_TRACE(testing::Message() << frames << " frames, " << bits << " bits, width " << width);
                const QString path = dir.filePath(QString("f%1_%2_%3.avi").arg(frames).arg(bits).arg(width));
                const BitmapInfoHeader format = formatFor(width, kHeight, bits);
                const std::uint32_t sampleBytes = std::uint32_t(sample(width, kHeight, 0, bits).size());
                Bytes s;
                ASSERT_TRUE(
                    writeRawAvi(path, width, kHeight, bits, kRate, frames,
                                [&](int i) -> const Bytes& { return s = sample(width, kHeight, i, bits); }));
                expectContents(path, AviContents{std::uint32_t(frames), std::uint32_t(width), kHeight,
                                                 std::uint16_t(bits)});
                const Bytes b = readBytes(path);
                ASSERT_GT(b.size(), 12u);
                EXPECT_EQ(fcc(b, 0), "RIFF");
                EXPECT_EQ(u32(b, 4), b.size() - 8);
                EXPECT_EQ(fcc(b, 8), "AVI ");
                std::map<std::string, std::size_t> at;
                walk(b, 0, b.size(), at);
                for (const char* id : {"hdrl", "avih", "strl", "strh", "strf", "strn", "movi", "idx1"})
                    ASSERT_TRUE(at.count(id)) << id;
                EXPECT_FALSE(at.count("indx") || at.count("odml") || at.count("AVIX"));
                const std::uint32_t buffer = frames ? sampleBytes : 0;

                const std::size_t avih = at["avih"];
                EXPECT_EQ(u32(b, avih - 4), 56u);
                EXPECT_EQ(u32(b, avih), 1000000 / kRate);
                EXPECT_EQ(u32(b, avih + 12) & 0x10, 0x10u);  // AVIF_HASINDEX
                const std::uint32_t avihFields[] = {std::uint32_t(frames), 0,      1, buffer,
                                                    std::uint32_t(width),  kHeight};
                for (int k = 0; k < 6; ++k)
                    EXPECT_EQ(u32(b, avih + 16 + 4 * k), avihFields[k]) << "avih " << k;

                const std::size_t strh = at["strh"];
                EXPECT_EQ(fcc(b, strh), "vids");
                const std::uint32_t strhFields[] = {0,      0,     0, 0, 1, kRate, 0, std::uint32_t(frames),
                                                    buffer, 10000, 0};
                // handler, flags, priority+language, initial, scale, rate, start, length, buffer, quality,
                // sample
                for (int k = 0; k < 11; ++k)
                    EXPECT_EQ(u32(b, strh + 4 + 4 * k), strhFields[k]) << "strh " << k;
                const std::uint16_t rect[] = {0, 0, std::uint16_t(width), kHeight};
                for (int k = 0; k < 4; ++k) EXPECT_EQ(u16(b, strh + 48 + 2 * k), rect[k]);

                const std::size_t strf = at["strf"];
                ASSERT_EQ(u32(b, strf - 4), 40u);
                EXPECT_EQ(0, std::memcmp(&b[strf], &format, 40));  // the struct has no padding
                EXPECT_EQ(u32(b, at["strn"] - 4), 6u);
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[at["strn"]]), 6),
                          std::string("VIDEO\0", 6));

                const std::size_t idx1 = at["idx1"];
                ASSERT_EQ(u32(b, idx1 - 4), 16u * frames);
                const std::size_t moviCode = at["movi"] - 4;
                for (int i = 0; i < frames; ++i) {
                    const std::size_t e = idx1 + 16 * std::size_t(i);
                    EXPECT_EQ(fcc(b, e), "00db");
                    EXPECT_EQ(u32(b, e + 4), 0x10u);
                    EXPECT_EQ(u32(b, e + 12), sampleBytes);
                    const std::size_t chunk = moviCode + u32(b, e + 8);
                    ASSERT_EQ(fcc(b, chunk), "00db");
                    ASSERT_EQ(u32(b, chunk + 4), sampleBytes);
                }

                auto p = probeVideo(path);
                EXPECT_EQ(p["codec_name"], "rawvideo");
                EXPECT_EQ(p["pix_fmt"], bits == 16 ? "rgb555le" : "bgr24");
                EXPECT_EQ(p["width"], std::to_string(width));
                EXPECT_EQ(p["height"], std::to_string(kHeight));
                EXPECT_EQ(p["r_frame_rate"], std::to_string(kRate) + "/1");
                // ffprobe prints N/A for a stream from which it read nothing.
                EXPECT_EQ(p["nb_read_frames"], frames ? std::to_string(frames) : "N/A");
                if (frames == 0) continue;

                expectFrames(path, width, kHeight, bits, frames);
            }
        }
    }
}

TEST(AviFileWriter, CreateFailsCleanlyAndAStreamlessFileTakesNoFrames) {
    QTemporaryDir dir;
    AviFileWriter writer;
    const std::uint8_t byte[2] = {};
    EXPECT_FALSE(writer.create(dir.filePath("missing/x.avi").toStdString()));
    EXPECT_FALSE(writer.isOpen());
    EXPECT_FALSE(writer.createStream(8, 8, 30, formatFor(8, 8, 16)));
    EXPECT_EQ(writer.close(), AviFileWriter::Closed::Failed);
    ASSERT_TRUE(writer.create(dir.filePath("x.avi").toStdString()));
    EXPECT_FALSE(writer.createStream(8, 8, 0, formatFor(8, 8, 16)));
    EXPECT_FALSE(writer.createStream(0, 8, 30, formatFor(0, 8, 16)));
    EXPECT_FALSE(writer.writeFrame(byte, 2));
    EXPECT_EQ(writer.close(), AviFileWriter::Closed::Failed);
    EXPECT_EQ(QFileInfo(dir.filePath("x.avi")).size(), 0);
}

// Past 1 GiB: a second RIFF 'AVIX', a super index over one standard index per part, dmlh with the
// total. Takes a few seconds and ~1.2 GB of temporary disk, removed by the temporary folder.
TEST(AviFileWriter, OpenDmlPastOneGibKeepsEveryFrameReadable) {
    constexpr int kWidth = 1920, kHeight = 1080, kFrames = 300;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("big.avi");
    Bytes frame = sample(kWidth, kHeight, 0, 16);
    ASSERT_TRUE(writeRawAvi(path, kWidth, kHeight, 16, 30, kFrames, [&](int i) -> const Bytes& {
        frame[0] = std::uint8_t(i);  // the last row's first pixel tells the frames apart
        frame[1] = std::uint8_t(i >> 8 & 0x7f);
        return frame;
    }));
    expectContents(path, AviContents{kFrames, kWidth, kHeight, 16});
    const qint64 fileSize = QFileInfo(path).size();
    std::vector<std::uint64_t> riffs;
    for (qint64 p = 0; p < fileSize;) {
        const Bytes h = readBytes(path, p, 12);
        ASSERT_EQ(h.size(), 12u);
        EXPECT_EQ(fcc(h, 8), riffs.empty() ? "AVI " : "AVIX");
        EXPECT_LE(u32(h, 4), AviFileWriter::kRiffLimit);
        riffs.push_back(std::uint64_t(p));
        p += 8 + u32(h, 4);
    }
    ASSERT_GE(riffs.size(), 2u);
    const Bytes b = readBytes(path, 0, 1 << 20);
    std::map<std::string, std::size_t> at;
    walk(b, 12, b.size(), at);
    ASSERT_TRUE(at.count("indx") && at.count("dmlh") && at.count("avih"));
    EXPECT_EQ(u32(b, at["dmlh"]), std::uint32_t(kFrames));
    const std::size_t indx = at["indx"];
    EXPECT_EQ(b[indx + 3], 0);  // AVI_INDEX_OF_INDEXES
    ASSERT_EQ(u32(b, indx + 4), riffs.size());
    std::uint32_t total = 0;
    for (std::size_t k = 0; k < riffs.size(); ++k) {
        const std::uint64_t offset = u64(b, indx + 24 + 16 * k);
        const Bytes ix = readBytes(path, qint64(offset), 32);
        EXPECT_EQ(fcc(ix, 0), "ix00");
        EXPECT_EQ(u32(b, indx + 32 + 16 * k), u32(ix, 4) + 8);
        EXPECT_EQ(ix[11], 1);  // AVI_INDEX_OF_CHUNKS
        EXPECT_EQ(u32(ix, 12), u32(b, indx + 36 + 16 * k));
        EXPECT_GE(offset, riffs[k]);
        // The part's last entry leads, from the index's base, to the data of a '00db' chunk.
        const std::uint32_t entries = u32(ix, 12);
        ASSERT_GT(entries, 0u);
        const Bytes entry = readBytes(path, qint64(offset + 32 + 8 * (entries - 1)), 8);
        const Bytes chunk = readBytes(path, qint64(u64(ix, 20) + u32(entry, 0) - 8), 8);
        EXPECT_EQ(fcc(chunk, 0), "00db");
        EXPECT_EQ(u32(chunk, 4), frame.size());
        EXPECT_EQ(u32(entry, 4), frame.size());  // bit 31 clear: a key frame
        total += u32(b, indx + 36 + 16 * k);
    }
    EXPECT_EQ(total, std::uint32_t(kFrames));
    EXPECT_EQ(u32(b, at["avih"] + 16), u32(b, indx + 36));  // avih counts the first part

    EXPECT_EQ(probeVideo(path)["nb_read_frames"], std::to_string(kFrames));
    const QString last = dir.filePath("last.raw");
    runTool("ffmpeg", {"-v", "error", "-i", path, "-vf", "select=eq(n\\,299)", "-vsync", "0", "-frames:v",
                       "1", "-f", "rawvideo", "-pix_fmt", "rgb555le", last});
    const Bytes decoded = readBytes(last);
    ASSERT_EQ(decoded.size(), std::size_t(kWidth) * kHeight * 2);
    const std::size_t lastRow = std::size_t(kHeight - 1) * kWidth * 2;
    EXPECT_EQ(decoded[lastRow], frame[0]);
    EXPECT_EQ(decoded[lastRow + 1], frame[1]);
    EXPECT_EQ(0, std::memcmp(decoded.data() + lastRow + 2, frame.data() + 2, kWidth * 2 - 2));
}

struct Written {
    int accepted = 0;  // frames writeFrame took, all before the first it refused
    AviFileWriter::Closed closed = AviFileWriter::Closed::Failed;
    std::uint32_t inFile = 0;
};

// Writes frames 16-bit samples until the end, the writer refusing from some frame on, calls
// beforeClose, and closes.
Written writeUntilRefused(
    AviFileWriter& writer, const QString& path, int width, int height, int frames,
    const std::function<void()>& beforeClose = [] {}) {
    Written w;
    if (writer.create(path.toStdString()) &&
        writer.createStream(width, height, 30, formatFor(width, height, 16))) {
        bool refused = false;
        for (int i = 0; i < frames; ++i) {
            const Bytes s = sample(width, height, i, 16);
            const bool took = writer.writeFrame(s.data(), std::uint32_t(s.size()));
            EXPECT_FALSE(took && refused) << "frame " << i << " taken after a refused one";
            refused = refused || !took;
            w.accepted += took && !refused;
        }
    }
    beforeClose();
    w.closed = writer.close();
    w.inFile = writer.framesInFile();
    return w;
}

// The disk fills at a frame, at the index after the last frame, before the headers, or with the
// blocks ext4 keeps for root free to the writer though no room is reported: the frames that fit
// stay, as many as leave room for the index, and a reader finds exactly them.
TEST(AviFileWriter, AFullDiskKeepsTheWholeFramesThatLeaveRoomForTheIndex) {
    constexpr int kSide = 512;  // frames of 512 KiB go to the disk unbuffered, as they come
    constexpr qint64 kChunk = 8 + kSide * kSide * 2;
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty.avi");
    Bytes none;
    ASSERT_TRUE(writeRawAvi(empty, kSide, kSide, 16, 30, 0, [&](int) -> const Bytes& { return none; }));
    const qint64 moviEnd = QFileInfo(empty).size() - 8;  // without the empty 'idx1'
    const auto pages = [](qint64 bytes) { return (bytes + 4095) / 4096 * 4096; };
    enum Fill { None, All, AsUser };
    const struct {
        const char* what;
        SmallDisk::Kind kind;
        qint64 diskBytes;
        int frames;
        Fill fill;
    } rows[] = {
        {"too small for the frames", SmallDisk::Kind::Tmpfs, pages(moviEnd + 5 * kChunk + kChunk / 2), 12,
         None},
        // 257 entries of 'idx1' take more than the part of a page after the last frame.
        {"too small only for the index", SmallDisk::Kind::Tmpfs, pages(moviEnd + 257 * kChunk), 257, None},
        {"full from the start", SmallDisk::Kind::Tmpfs, 1 << 20, 4, All},
        {"ext4 with only the blocks kept for root free", SmallDisk::Kind::Ext4WithReserve, 16 << 20, 20,
         AsUser},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SmallDisk disk(row.diskBytes, row.kind);
        REQUIRE_SMALL_DISK(disk);
        if (row.fill == All) disk.fill();
        if (row.fill == AsUser) {
            ASSERT_TRUE(disk.fillAsUser());
        }
        const QString path = disk.filePath("clip.avi");
        AviFileWriter writer;
        const Written w = writeUntilRefused(writer, path, kSide, kSide, row.frames);
        EXPECT_LT(w.inFile, std::uint32_t(row.frames));
        if (row.fill == All) {
            EXPECT_EQ(w.closed, AviFileWriter::Closed::Failed);
            EXPECT_EQ(w.inFile, 0u);
            expectContents(path, std::nullopt);
            continue;
        }
        EXPECT_EQ(w.closed, AviFileWriter::Closed::Truncated);
        EXPECT_GT(w.inFile, 0u);
        EXPECT_GE(w.inFile + 1, std::uint32_t(w.accepted));  // one frame's room is ample for 'idx1'
        EXPECT_LE(w.inFile, std::uint32_t(w.accepted));
        const Bytes head = readBytes(path, 0, 8);
        EXPECT_EQ(u32(head, 4), QFileInfo(path).size() - 8);
        EXPECT_EQ(probeVideo(path)["nb_read_frames"], std::to_string(w.inFile));
        expectContents(path, AviContents{w.inFile, kSide, kSide, 16});
        expectFrames(path, kSide, kSide, 16, int(w.inFile));
    }
}

// Parts of 24 KiB hold 5 frames of 4 KiB. A super index of 2 entries refuses the frames past the
// second part, and the file, Truncated, keeps those before; 16 entries take all 40. Disks of 1 to
// 26 pages fill anywhere in a part: in a frame, at its index, at the next part's header. The file
// holds its first frames, in order, exactly as many as it says.
TEST(AviFileWriter, AFileOfPartsKeepsItsFirstFramesWhenTheSuperIndexOrTheDiskIsFull) {
    constexpr int kWidth = 64, kHeight = 32, kFrames = 40;
    std::vector<std::pair<int, std::uint32_t>> rows = {{0, 2}, {0, 16}};  // pages (0: plenty), entries
    for (int pages = 1; pages <= 26; ++pages) rows.push_back({pages, 16});
    for (const auto& [pages, entries] : rows) {
        SCOPED_TRACE(testing::Message() << pages << " pages, " << entries << " entries");
        SmallDisk disk(pages > 0 ? pages * 4096 : 1 << 20);
        REQUIRE_SMALL_DISK(disk);
        AviFileWriter writer(24 * 1024, entries);
        const QString path = disk.filePath("clip.avi");
        const Written w = writeUntilRefused(writer, path, kWidth, kHeight, kFrames);
        EXPECT_NE(w.closed, AviFileWriter::Closed::Failed);  // a page holds the headers
        EXPECT_LE(w.inFile, std::uint32_t(w.accepted));
        if (w.closed == AviFileWriter::Closed::Complete) {
            EXPECT_EQ(w.inFile, std::uint32_t(kFrames));
        }
        if (pages == 0) {
            EXPECT_EQ(w.closed,
                      entries == 2 ? AviFileWriter::Closed::Truncated : AviFileWriter::Closed::Complete);
            EXPECT_EQ(w.inFile, std::uint32_t(w.accepted));
            EXPECT_GT(w.accepted, 5);
        }
        expectContents(path, AviContents{w.inFile, kWidth, kHeight, 16});
        expectFrames(path, kWidth, kHeight, 16, int(w.inFile));
    }
}

// Whole files read back as written. One cut short, left with its provisional headers, or with a
// header, an index entry or a count that disagrees with the rest reads as not whole.
TEST(AviFileWriter, ItsFilesReadBackWholeAndDamagedOnesDoNot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    expectContents(dir.filePath("missing.avi"), std::nullopt);
    expectContents(dir.path(), std::nullopt);
    Bytes s;
    ASSERT_TRUE(writeRawAvi(dir.filePath("one.avi"), 33, 17, 24, 30, 7,
                            [&](int i) -> const Bytes& { return s = sample(33, 17, i, 24); }));
    ASSERT_TRUE(
        writeRawAvi(dir.filePath("empty.avi"), 8, 8, 16, 30, 0, [&](int) -> const Bytes& { return s; }));
    // Parts of 24 KiB hold 5 frames of 4 KiB: 8 parts. Before close() the headers are provisional.
    AviFileWriter writer(24 * 1024, 16);
    Bytes provisional;
    writeUntilRefused(writer, dir.filePath("parts.avi"), 64, 32, 40,
                      [&] { provisional = readBytes(dir.filePath("parts.avi")); });

    const Bytes one = readBytes(dir.filePath("one.avi")), empty = readBytes(dir.filePath("empty.avi")),
                parts = readBytes(dir.filePath("parts.avi"));
    std::map<std::string, std::size_t> at, atParts;  // data positions
    walk(one, 0, one.size(), at);
    walk(parts, 0, parts.size(), atParts);
    const std::size_t movi = at["movi"], idx1 = at["idx1"], firstIx = atParts["ix00"];
    const std::size_t lastIx = parts.size() - (24 + 8 * 5);  // the last part's 'ix00' ends the file
    const std::uint32_t sampleBytes = u32(one, idx1 + 12);
    const auto set = [](std::size_t where, std::uint32_t value) {
        return [=](Bytes& b) { std::memcpy(&b.at(where), &value, 4); };  // the test runs little-endian
    };
    const auto rename = [](std::size_t where) {
        return [=](Bytes& b) { std::memcpy(&b.at(where), "JUNK", 4); };
    };
    const auto cut = [](std::size_t size) { return [=](Bytes& b) { b.resize(size); }; };
    const AviContents oneHolds{7, 33, 17, 24};
    const struct {
        const char* what;
        const Bytes& from;
        std::function<void(Bytes&)> change;
        std::optional<AviContents> want;
    } rows[] = {
        {"first part only", one, {}, oneHolds},
        {"no frames", empty, {}, AviContents{0, 8, 8, 16}},
        {"eight parts", parts, {}, AviContents{40, 64, 32, 16}},
        {"top-down rows", one, set(at["strf"] + 8, std::uint32_t(-17)), oneHolds},
        {"empty", one, cut(0), {}},
        {"junk", one, [](Bytes& b) { b.assign(4096, 0xa5); }, {}},
        {"not AVI", one, rename(8), {}},
        {"cut in movi", one, cut(movi + 100), {}},
        {"cut in idx1", one, cut(idx1 + 20), {}},
        {"cut after the first part", parts, cut(u32(parts, 4) + 8), {}},
        {"'AVIX' parts without a super index",
         one,
         [&](Bytes& b) { b.insert(b.end(), parts.begin() + u32(parts, 4) + 8, parts.end()); },
         {}},
        {"cut in the last ix00", parts, cut(parts.size() - 4), {}},
        {"provisional headers", provisional, {}, {}},
        {"avih's frames zeroed", one, set(at["avih"] + 16, 0), {}},
        {"strh a frame short", one, set(at["strh"] + 32, 6), {}},
        {"dmlh a frame over", parts, set(atParts["dmlh"], 41), {}},
        {"a chunk header in movi overwritten", one, rename(movi), {}},
        {"a chunk longer than its entry", one, set(movi + 4, sampleBytes + 2), {}},
        {"samples of two sizes", one, [&](Bytes& b) { set(movi + 4, 2)(b), set(idx1 + 12, 2)(b); }, {}},
        {"no idx1", one, rename(idx1 - 8), {}},
        {"an idx1 entry past the end", one, set(idx1 + 8, 0x7ffffff0), {}},
        {"an ix00 entry past the end", parts, set(lastIx + 24, 0xfffffff0), {}},
        {"an ix00 entry before the file", parts, set(firstIx + 24, 4), {}},
        {"an ix00 with another base", parts, set(firstIx + 12, 8), {}},
        {"a huge idx1", one, set(idx1 - 4, 0xfffffff0), {}},
        {"a huge super index", parts, set(atParts["indx"] + 4, 0xffffffff), {}},
        {"a huge ix00", parts, set(firstIx + 4, 0x10000000), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Bytes b = row.from;
        if (row.change) row.change(b);
        QFile file(dir.filePath("changed.avi"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(reinterpret_cast<const char*>(b.data()), qint64(b.size())), qint64(b.size()));
        file.close();
        expectContents(file.fileName(), row.want);
    }
}

}  // namespace
