// The recording's rules: names, the clock, the achieved rate, the states, the frame files, the
// threads that write and read them, and what a killed run leaves.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "fakes/raw_avi.h"
#include "fakes/test_files.h"
#include "video/logic/assembly_record.h"
#include "video/logic/avi_names.h"
#include "video/logic/frame_file.h"
#include "video/logic/frame_file_reader.h"
#include "video/logic/frame_file_writer.h"
#include "video/logic/frame_size.h"
#include "video/logic/frame_timer.h"
#include "video/logic/kept_frames.h"
#include "video/logic/recording_clock.h"
#include "video/logic/recording_state.h"

TEST(RecordingNames, MovieNumberFillsTheFirstGapAndFrameNamesHaveNoLeadingZeros) {
    struct Case {
        std::vector<int> present;
        int expected;
    } const cases[] = {{{}, 1}, {{1, 2}, 3}, {{1, 3}, 2}, {{2}, 1}};
    for (const Case& c : cases) {
        QTemporaryDir dir;
        for (int n : c.present) writeFile(movieFilePath(dir.path(), QStringLiteral("動画保存"), n), "x");
        // Other formats under the same number do not count.
        writeFile(dir.filePath(QStringLiteral("動画保存%1.bmp").arg(c.expected)), "x");
        EXPECT_EQ(firstFreeMovieNumber(dir.path(), QStringLiteral("動画保存")), c.expected) << c.expected;
    }
    EXPECT_EQ(movieFilePath(QStringLiteral("/shots"), QStringLiteral("動画保存"), 12),
              QStringLiteral("/shots/動画保存12.avi"));
    for (auto [n, name] :
         {std::pair(1, "kadrel00AVISAVE1.bmp"), {9, "kadrel00AVISAVE9.bmp"}, {10, "kadrel00AVISAVE10.bmp"}})
        EXPECT_EQ(frameFilePath(QStringLiteral("/prog/"), n), QStringLiteral("/prog/") + QLatin1String(name));
}

TEST(RecordingClock, SumsRunningStretchesModuloTwoToThe32) {
    struct Step {
        char action;  // s start, p pause, r resume
        std::uint32_t now;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::uint32_t recorded;
    } const cases[] = {
        {"one stretch", {{'s', 1000}, {'p', 11000}}, 10000},
        {"pause twice", {{'s', 1000}, {'p', 3000}, {'p', 9000}}, 2000},
        {"resume while running", {{'s', 1000}, {'r', 5000}, {'p', 7000}}, 6000},
        {"two stretches", {{'s', 0}, {'p', 100}, {'r', 900}, {'p', 1000}}, 200},
        {"across the wrap", {{'s', 0xffffff00u}, {'p', 0x100}}, 0x200},
        {"start clears the last run", {{'s', 5}, {'p', 50}, {'s', 60}, {'p', 70}}, 10},
    };
    for (const Case& c : cases) {
        RecordingClock clock;
        for (const Step& step : c.steps) {
            if (step.action == 's') clock.start(step.now);
            if (step.action == 'p') clock.pause(step.now);
            if (step.action == 'r') clock.resume(step.now);
        }
        EXPECT_EQ(clock.RecordedTime, c.recorded) << c.name;
        EXPECT_EQ(clock.elapsed(0x12345678u), c.recorded) << c.name;  // stopped, whatever the time
        EXPECT_EQ(std::tuple(clock.RecordStartTime, clock.RecordStopTime), std::tuple(0u, 0u)) << c.name;
    }
}

TEST(RecordingClock, AchievedRateRoundsDownAndAZeroClockGivesOne) {
    struct Case {
        std::int32_t frames;
        std::uint32_t ms;
        std::int64_t rate;
    } const cases[] = {{100, 10000, 10}, {95, 10000, 9}, {400, 10000, 40},         {0, 10000, 0},
                       {7, 0, 1},        {0, 0, 1},      {3000000, 100000, 30000}, {1, 0xffffffffu, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(achievedFrameRate(c.frames, c.ms), c.rate) << c.frames << "/" << c.ms;
}

TEST(RecordingState, EachStateTakesOnlyItsCommands) {
    using S = RecordingState;
    using C = RecordingCommand;
    const C commands[] = {C::Start, C::Pause, C::Resume, C::TrayPress, C::Stop, C::Finished, C::Recover};
    // Rows: Idle, Recording, Paused, Assembling; columns in the order of commands; nullopt = refused.
    const std::optional<S> none;
    const std::optional<S> table[4][7] = {
        {S::Recording, none, none, none, none, none, S::Assembling},
        {none, S::Paused, S::Recording, S::Paused, S::Assembling, none, none},
        {none, S::Paused, S::Recording, S::Paused, S::Assembling, none, none},
        {none, none, none, none, none, S::Idle, none},
    };
    for (int s = 0; s < 4; ++s)
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(nextState(S(s), commands[c]), table[s][c]) << "state " << s << " command " << c;
}

TEST(FrameFile, Writes32BitBmpThatOthersReadAndReadsItBackIntoTheSameMemory) {
    QTemporaryDir dir;
    QImage frame(321, 7, QImage::Format_RGB32);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) frame.setPixel(x, y, qRgb(x & 255, y * 30, (x * y) & 255));
    const QString path = dir.filePath(QStringLiteral("kadrel00AVISAVE1.bmp"));
    ASSERT_TRUE(writeFrameBmp(frame, path));
    const QByteArray bytes = fileBytes(path);
    ASSERT_EQ(bytes.size(), 54 + 321 * 4 * 7);
    EXPECT_EQ(bytes.mid(28, 2), QByteArray("\x20\x00", 2));  // 32 bits a pixel
    EXPECT_EQ(QImageReader(path).read().convertToFormat(QImage::Format_RGB32), frame);

    QImage back(321, 7, QImage::Format_RGB32);
    const uchar* memory = back.constBits();
    ASSERT_TRUE(readFrameBmp(path, back));
    EXPECT_EQ(back, frame);
    EXPECT_EQ(back.constBits(), memory);

    // Rows in whole disk blocks in aligned memory go to the disk directly, pixels one page in.
    uchar* aligned = static_cast<uchar*>(std::aligned_alloc(4096, 128 * 4 * 8));
    QImage blocks(
        aligned, 128, 8, 128 * 4, QImage::Format_RGB32, [](void* p) { std::free(p); }, aligned);
    blocks.fill(qRgb(10, 200, 30));
    blocks.setPixel(127, 0, qRgb(1, 2, 3));
    const QString direct = dir.filePath(QStringLiteral("direct.bmp"));
    ASSERT_TRUE(writeFrameBmp(blocks, direct));
    EXPECT_EQ(fileBytes(direct).size(), 4096 + 128 * 4 * 8);
    EXPECT_EQ(QImageReader(direct).read().convertToFormat(QImage::Format_RGB32), blocks);
    QImage directBack;
    ASSERT_TRUE(readFrameBmp(direct, directBack));
    EXPECT_EQ(directBack, blocks);

    // Rows already in the file's order (the picture upside down, as the writer's queue keeps it): in
    // one piece, direct where the whole fills disk blocks (100 x 64), through the cache where not.
    for (const int height : {64, 3}) {
        QImage picture(100, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < 100; ++x) picture.setPixel(x, y, qRgb(x, y, 7));
        auto* memory = static_cast<uchar*>(std::aligned_alloc(4096, 4096 * 8));
        QImage upsideDown(memory, 100, height, 400, QImage::Format_RGB32, std::free, memory);
        for (int y = 0; y < height; ++y)
            std::memcpy(upsideDown.scanLine(height - 1 - y), picture.constScanLine(y), 400);
        const QString file = dir.filePath(QStringLiteral("rows%1.bmp").arg(height));
        ASSERT_TRUE(writeFrameBmp(upsideDown, file, false, RowOrder::File)) << height;
        EXPECT_EQ(fileBytes(file).size(), (height == 64 ? 4096 : 54) + 400 * height) << height;
        QImage read;
        ASSERT_TRUE(readFrameBmp(file, read)) << height;
        EXPECT_EQ(read, picture) << height;
    }

    // Truncated, another depth, missing: nothing read.
    writeFile(dir.filePath(QStringLiteral("short.bmp")), bytes.left(bytes.size() - 1));
    QImage(4, 4, QImage::Format_RGB888).save(dir.filePath(QStringLiteral("rgb24.bmp")));
    for (const char* name : {"short.bmp", "rgb24.bmp", "missing.bmp"}) {
        EXPECT_FALSE(readFrameBmp(dir.filePath(QLatin1String(name)), back)) << name;
        EXPECT_TRUE(back.isNull()) << name;
    }
    // A file that cannot be created: false and nothing left.
    EXPECT_FALSE(writeFrameBmp(frame, dir.filePath(QStringLiteral("no/such/folder/f.bmp"))));
    EXPECT_FALSE(writeFrameBmp(QImage(), dir.filePath(QStringLiteral("empty.bmp"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("empty.bmp"))));
}

// Sides up to the AVI writer's limit pass; one pixel more, or a frame past the largest picture, is
// refused with its cause.
TEST(RecordingFrameSize, TheWritersLimitIsCheckedAtTheStart) {
    struct Case {
        QSize source;
        int percent;
        QSize size;         // when allowed
        const char* cause;  // the start of the refusal's second line
    } const cases[] = {
        {{3392, 10}, 966, {32767, 97}, ""},
        {{3392, 10}, 1000, {}, "動画の幅と高さは 32767 ピクセルまでです (この拡大率では 33920 × 100)."},
        {{30000, 30000}, 100, {}, "画像が大きすぎます (30000 × 30000)."},
        {{420, 360}, 0, {}, "拡大率が 0 %"}};
    for (const Case& c : cases) {
        const FrameSizeCheck check = recordingFrameSize(c.source, c.percent);
        EXPECT_EQ(check.size, c.size) << c.percent;
        if (*c.cause) {
            EXPECT_TRUE(check.problem.startsWith(QString::fromUtf8(c.cause))) << check.problem.toStdString();
        }
        EXPECT_EQ(check.problem.isEmpty(), *c.cause == 0);
    }
}

// Frames queue up behind a slow first write; the write when more than half the queue waits goes
// through the page cache; a failure discards the frames behind it, refuses new ones until it is
// taken (once), and frames queued when the writer goes are still written.
TEST(FrameFileWriter, WritesInOrderAndAFailureDiscardsTheFramesBehindIt) {
    const QImage frame(16, 4, QImage::Format_RGB32);
    std::mutex mutex;
    std::vector<std::pair<int, bool>> written;
    std::atomic<bool> firstMayFinish = false;
    bool failThird = true;
    auto writer =
        std::make_unique<FrameFileWriter>(std::size_t(16 * 4 * 4), std::size_t(6 * 16 * 4 * 4),
                                          [&](const QImage&, const QString& path, bool throughPageCache) {
                                              const int number = path.toInt();
                                              while (number == 1 && !firstMayFinish)
                                                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                              if (number == 3 && failThird) return ENOSPC;
                                              std::lock_guard lock(mutex);
                                              written.emplace_back(number, throughPageCache);
                                              return 0;
                                          });
    EXPECT_EQ(writer->capacity(), 6u);
    for (int n = 1; n <= 6; ++n) ASSERT_TRUE(writer->submit(frame, n, QString::number(n)));
    firstMayFinish = true;
    while (!writer->waitUntilWritten(std::chrono::milliseconds(10))) {
    }
    EXPECT_FALSE(writer->submit(frame, 7, QStringLiteral("7")));
    const std::optional<FrameFileWriter::Failure> failure = writer->takeFailure();
    ASSERT_TRUE(failure);
    EXPECT_EQ(std::tuple(failure->number, failure->path, failure->error),
              std::tuple(3, QStringLiteral("3"), ENOSPC));
    EXPECT_FALSE(writer->takeFailure());
    failThird = false;
    ASSERT_TRUE(writer->submit(frame, 3, QStringLiteral("3")));
    writer.reset();
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(std::tuple(written[0].first, written[1], written[2]),
              std::tuple(1, std::pair(2, true), std::pair(3, false)));
}

TEST(FrameFileReader, ReadsAndPreparesInOrderStopsAtAMissingFileAndEndsWhileWaitingForRoom) {
    QTemporaryDir dir;
    const auto path = [&](std::int32_t n) { return frameFilePath(dir.path() + QLatin1Char('/'), n); };
    for (int n : {1, 2, 4}) {
        QImage frame(8, 2, QImage::Format_RGB32);
        frame.fill(qRgb(n, 0, 0));
        ASSERT_TRUE(writeFrameBmp(frame, path(n)));
    }
    {
        FrameFileReader reader(path, 4, 2, [](const QImage& picture, std::vector<std::uint8_t>& sample) {
            sample.assign(1, std::uint8_t(qRed(picture.pixel(0, 0))));
        });
        for (int n : {1, 2}) {
            const FrameQueue::Slot* frame = reader.next();
            ASSERT_TRUE(frame) << n;
            EXPECT_EQ(std::tuple(qRed(frame->image.pixel(0, 0)), frame->sample),
                      std::tuple(n, std::vector<std::uint8_t>{std::uint8_t(n)}));
        }
        EXPECT_FALSE(reader.next());
        EXPECT_FALSE(reader.next());
    }
    FrameFileReader unread(path, 4, 1);  // goes with its thread waiting for room
}

TEST(FrameTimer, DividesASecondByTheRateAndSurvivesZero) {
    const std::pair<int, int> cases[] = {{10, 100}, {3, 333}, {100, 10}, {255, 3}, {0, 100}};
    for (const auto& [rate, interval] : cases) EXPECT_EQ(frameTimerIntervalMs(std::uint8_t(rate)), interval);
}

TEST(FrameTimer, ALateTickWritesTheTicksItMissedAndAtLeastItsOwn) {
    // Clock started, now, frames written, frames the tick writes: on time, held up for 200 ms, a clock
    // that stands still, 288 ms across the counter's wrap.
    const std::array<std::uint32_t, 4> cases[] = {
        {1000, 1033, 0, 1}, {1000, 1300, 3, 6}, {1000, 1000, 5, 1}, {0xfffffff0u, 0x110, 1, 7}};
    for (const auto& [start, now, written, frames] : cases) {
        RecordingClock clock;
        clock.start(start);
        EXPECT_EQ(framesForTick(std::int32_t(written), clock.elapsed(now), 33), std::int32_t(frames)) << now;
    }
}

TEST(AssemblyRecord, ReadsBackEveryStageAndNoSingleChangedByte) {
    AssemblyRecord record;
    record.frameSize = QSize(210, 180);
    EXPECT_EQ(parseRecord(recordText(record)), record);
    record.stage = AssemblyRecord::Stage::Creating;
    record.movie = QStringLiteral("/shots/動画保存1.avi");
    record.frames = 50;
    EXPECT_EQ(parseRecord(recordText(record)), record);
    record.stage = AssemblyRecord::Stage::Writing;
    record.movie = QStringLiteral("/shots/two\nlines %/動画保存1.avi");
    record.movieId = FileId{2049, 1234567};
    const QByteArray text = recordText(record);
    EXPECT_EQ(parseRecord(text + QByteArray(4000, '\n')), record);
    // A torn or damaged record is none.
    for (qsizetype i = 0; i < text.size() - 1; ++i) {
        QByteArray damaged = text;
        damaged[i] = char(damaged[i] ^ 0x01);
        EXPECT_FALSE(parseRecord(damaged)) << i;
    }
    EXPECT_FALSE(parseRecord(text.first(text.size() / 2)));
    EXPECT_FALSE(parseRecord(QByteArray(4096, '\xff')));
}

namespace {

QImage colouredFrame(int n) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(n * 20, 255 - n * 20, 128));
    return image;
}

}  // namespace

// Frames 1 to 6 of 64 x 48 as a killed run leaves them, with its record or an earlier version's note,
// and the movie file it names: only frames a whole movie file of this run holds ever go.
TEST(KeptFrames, TheRecordAndTheMovieFileDecideAndNothingGoesOnTheWordOfAFile) {
    enum class Movie { None, Whole, CutShort, Empty, Other };
    enum class Note { Record, Earlier, Junk };
    using S = AssemblyRecord::Stage;
    // outcome: m the movie file stays, u the record is reported as ignored, f the movie file is
    // removed as unfinished.
    struct Row {
        const char* name;
        Note note;
        S stage;
        Movie movie;
        const char* recordedMovie;  // the file the record names, when not the movie
        std::int32_t frames;
        const char* kept;
        const char* outcome;
    } const rows[] = {
        {"whole, 4 of 6 in it", Note::Record, S::Writing, Movie::Whole, "", 6, "56", "m"},
        {"a huge count", Note::Record, S::Writing, Movie::Whole, "", 2147483647, "56", "m"},
        {"cut short", Note::Record, S::Writing, Movie::CutShort, "", 6, "123456", "f"},
        {"another file took the name", Note::Record, S::Writing, Movie::Other, "", 6, "123456", "mu"},
        {"created empty", Note::Record, S::Creating, Movie::Empty, "", 6, "123456", "f"},
        {"another's file", Note::Record, S::Creating, Movie::Whole, "", 6, "123456", "m"},
        {"outside the save folder", Note::Record, S::Writing, Movie::Whole, "/tmp/動画保存1.avi", 6, "123456",
         "mu"},
        {"not a movie's name", Note::Record, S::Writing, Movie::Whole, "kadrel00AVISAVE6.bmp", 6, "123456",
         "mu"},
        {"earlier note", Note::Earlier, S::Writing, Movie::Whole, "", 6, "56", "m"},
        {"earlier note, any file", Note::Earlier, S::Writing, Movie::None, "/etc/passwd", 5, "123456", "u"},
        {"earlier note, damaged movie", Note::Earlier, S::Writing, Movie::CutShort, "", 6, "123456", "mu"},
        {"binary junk", Note::Junk, S::Writing, Movie::Whole, "", 6, "123456", "mu"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString frames = dir.filePath(QStringLiteral("frames/"));
        const MovieFolder movies{dir.filePath(QStringLiteral("save")), QStringLiteral("動画保存")};
        ASSERT_TRUE(QDir().mkpath(frames) && QDir().mkpath(movies.saveDirectory));
        for (int n = 1; n <= 6; ++n) ASSERT_TRUE(writeFrameBmp(colouredFrame(n), frameFilePath(frames, n)));
        const QString movie = movieFilePath(movies.saveDirectory, movies.prefix, 1);
        const Bytes sample = dibSample(64, 48, 16, [](int, int, std::uint8_t* out) { out[0] = out[1] = 7; });
        const bool written =
            row.movie == Movie::Whole || row.movie == Movie::CutShort || row.movie == Movie::Other;
        ASSERT_TRUE(!written ||
                    writeRawAvi(movie, 64, 48, 16, 10, 4, [&](int) -> const Bytes& { return sample; }));
        ASSERT_TRUE(row.movie != Movie::CutShort || QFile::resize(movie, QFileInfo(movie).size() - 100));
        ASSERT_TRUE(row.movie != Movie::Empty || writeFile(movie, ""));
        std::optional<FileId> id = fileIdOf(movie);
        if (row.movie == Movie::Other) {
            ASSERT_TRUE(QFile::rename(movie, movie + "~") && QFile::copy(movie + "~", movie));
        }
        AssemblyRecord record{row.stage, QSize(64, 48), movie, row.frames, id};
        if (*row.recordedMovie)
            record.movie = QDir::isAbsolutePath(QString::fromUtf8(row.recordedMovie))
                               ? QString::fromUtf8(row.recordedMovie)
                               : frames + QString::fromUtf8(row.recordedMovie);
        const QByteArray earlier = QByteArray::number(row.frames) + '\n' + record.movie.toUtf8();
        QByteArray junk(5000, '\0');
        for (int i = 0; i < junk.size(); ++i) junk[i] = char(i * 7919);
        const QString notePath =
            row.note == Note::Earlier ? earlierNotePath(frames) : assemblyRecordPath(frames);
        ASSERT_TRUE(writeFile(notePath, row.note == Note::Record    ? recordText(record)
                                        : row.note == Note::Earlier ? earlier
                                                                    : junk));

        const SettledFrames settled = settleKeptFrames(frames, movies);
        QList<std::int32_t> kept;
        for (const char* n = row.kept; *n; ++n) kept << *n - '0';
        const QString outcome = QString::fromLatin1(row.outcome);
        EXPECT_EQ(frameFileNumbers(frames), kept);
        EXPECT_EQ(QFile::exists(movie), outcome.contains('m'));
        EXPECT_EQ(!settled.untrustedRecord.isEmpty(), outcome.contains('u'));
        EXPECT_EQ(settled.unfinishedMovie, outcome.contains('f') ? movie : QString());
        EXPECT_FALSE(QFile::exists(notePath));
        EXPECT_EQ(settled.frameSize, QSize(64, 48));
        EXPECT_TRUE(QFile::exists(QStringLiteral("/etc/passwd")));
    }
}
