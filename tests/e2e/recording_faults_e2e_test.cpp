// The built program recording through faults: killed at chosen moments and started again, a
// second copy in the same folder, a frame too large for an AVI file. After each, every frame is in
// a readable AVI file or still on disk as a frame file, and the user was told.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <functional>
#include <optional>
#include <string>

#include "fakes/media_probe.h"
#include "fakes/small_disk.h"
#include "fakes/test_files.h"
#include "fakes/tray_host.h"
#include "platform/avi/avi_file_writer.h"
#include "platform/system/file_lock.h"
#include "platform/system/text_encoding.h"
#include "program_run.h"
#include "video/logic/frame_file.h"

namespace {

const QString kRecordingCaption = QStringLiteral("Kadrel1.02 動画保存>録画中");

class RecordingFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tray.start()) << "trayer is needed for this test";
        // The program's boxes bear its name; the test's own window must not.
        program.desktop.backdrop.setWindowTitle(QStringLiteral("backdrop"));
    }
    // A window of the title is mapped and has the keyboard.
    bool titled(const QString& title, int timeoutMs = 30000) { return x.waitForKeyboard(title, timeoutMs); }
    bool startProgram(KillPoint killAt = {}) { return program.start(false, killAt); }
    QStringList frameFiles() const {
        return QDir(run.folder()).entryList({QStringLiteral("kadrel00AVISAVE*")}, QDir::Files);
    }
    QString movie(int n) const { return run.file(QStringLiteral("動画保存%1.avi").arg(n)); }
    int framesIn(const QString& avi) {
        return QFile::exists(avi) ? std::stoi("0" + probeVideo(avi)["nb_read_frames"]) : 0;
    }
    // Frames written whole: as large as the first.
    int wholeFrameFiles() const {
        const qint64 size = QFileInfo(run.file(QStringLiteral("kadrel00AVISAVE1.bmp"))).size();
        int whole = 0;
        for (const QString& name : frameFiles()) whole += QFileInfo(run.file(name)).size() == size;
        return whole;
    }
    // A run at 30 frames a second that stops by itself after frames frames, into saveFolder (the
    // program's by default).
    bool configure(int frames, const QString& saveFolder = QString()) {
        QByteArray ini = "[image]\r\nframe=30\r\nfb=" + QByteArray::number(frames) + "\r\nfbable=1\r\n";
        if (!saveFolder.isEmpty()) ini += "[File]\r\nDirectory=" + toShiftJis(saveFolder).value() + "\r\n";
        return writeFile(run.file(QStringLiteral("kadrel.ini")), ini);
    }
    // The box open now, by its title, or nothing.
    QString openBox() {
        for (const QString& title :
             {QStringLiteral("Kadrel"), QStringLiteral("警告"), QStringLiteral("ビデオの圧縮")})
            if (!x.findWindows(title).empty()) return title;
        return {};
    }
    // The run is over: the frame shows its caption again and has let go of the frame folder, which
    // it holds until its codec dialog is over; any report follows at once.
    bool idle() {
        return !x.findWindows(kStartCaption).empty() &&
               FileLock::tryLock(run.folder(), FileLock::Mode::Exclusive).has_value();
    }
    // Answers every box until the frame is idle again: OK to messages and warnings, cancel to the
    // codec dialog. The titles of the boxes, in order.
    QStringList answerUntilIdle() {
        QStringList seen;
        for (const QDeadlineTimer limit(60000); !limit.hasExpired();) {
            const bool wasIdle = idle();
            QString title;
            if (!waitUntil([&] { return !(title = openBox()).isEmpty(); }, wasIdle ? 500 : 100)) {
                if (wasIdle) break;
                continue;
            }
            x.waitForKeyboard(title);
            seen << title;
            sendKeys({title == QStringLiteral("ビデオの圧縮") ? "Escape" : "Return"});
            waitUntil([&] { return x.findWindows(title).empty(); });
        }
        return seen;
    }
    void kill() { run.kill(); }

    TrayHost tray;
    ProgramOnBackdrop program;
    ProgramRun& run = program.run;
    OtherClient& x = program.x;
};

}  // namespace

// One moment per row: the program is killed there, then started again, its boxes answered as a user
// would ("はい" to make kept frames into a file, no codec). Afterwards every frame recorded is in
// the one AVI file 動画保存1.avi, which is whole: none in a second file, none left behind, no empty
// or unreadable AVI file, no record.
TEST_F(RecordingFaults, AKillAtAnyMomentLosesNoFrameAndTheNextStartMakesNoSecondAvi) {
    enum class Kill { Recording, Other };
    enum File { None, Movie, Record };
    struct Row {
        const char* name;
        Kill when;
        KillPoint at;
        File on;               // the file the kill's system call is counted on
        bool compress;         // the first encoder is chosen in the codec dialog
        bool frameDiskFull;    // the frame folder's disk fills up during the stop box
        int framesLeftAtKill;  // frame files the kill leaves, -1 when not known
    } const rows[] = {
        {"recording", Kill::Recording, {}, None, false, false, -1},
        {"the record before the movie file is made", Kill::Other, {"pwrite64", 2}, Record, false, false, 6},
        {"the record of the movie file made", Kill::Other, {"pwrite64", 3}, Record, false, false, 6},
        {"the movie file's frames", Kill::Other, {"write", 2}, Movie, false, false, 6},
        {"the movie file's flush", Kill::Other, {"fdatasync", 1}, Movie, false, false, 6},
        {"the deletion", Kill::Other, {"unlink", 3}, None, false, false, 4},
        {"the re-compression's rename", Kill::Other, {"rename", 1}, None, true, false, 0},
        // Last: the program moves onto the disk, which goes with the row.
        {"the deletion, the frame disk full", Kill::Other, {"unlink", 3}, None, false, true, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<SmallDisk> frameDisk;
        if (row.frameDiskFull) {
            frameDisk.emplace(64 << 20);
            REQUIRE_SMALL_DISK(*frameDisk);
            ASSERT_TRUE(run.moveTo(frameDisk->path()));
        }
        QTemporaryDir saveFolder;
        for (const QString& name : frameFiles()) QFile::remove(run.file(name));
        int recorded = row.when == Kill::Recording ? 100 : 6;
        ASSERT_TRUE(configure(recorded, saveFolder.path()));
        const QString movie1 = saveFolder.filePath(QStringLiteral("動画保存1.avi"));
        KillPoint killAt = row.at;
        if (row.on == Movie) killAt.path = movie1;
        if (row.on == Record) killAt.path = run.file(QStringLiteral(".kadrel00AVISAVE.record"));
        ASSERT_TRUE(startProgram(killAt));
        ASSERT_TRUE(sendKeys({"ctrl+f"}));
        if (row.when == Kill::Recording) {
            ASSERT_TRUE(waitUntil([&] { return frameFiles().size() >= 6; }));
            kill();
            recorded = wholeFrameFiles();
        } else {
            ASSERT_TRUE(titled(QStringLiteral("Kadrel")));  // the stop box at the frame limit
            if (frameDisk) frameDisk->fill();
            ASSERT_TRUE(sendKeys({"Return"}));
            if (row.compress) {
                ASSERT_TRUE(titled(QStringLiteral("ビデオの圧縮")));
                ASSERT_TRUE(sendKeys({"Down", "Return"}));  // the first encoder
            }
            ASSERT_TRUE(waitUntil([&] { return run.process().state() == QProcess::NotRunning; }, 30000));
            if (row.framesLeftAtKill >= 0) {
                EXPECT_EQ(frameFiles().size(), row.framesLeftAtKill);
            }
            EXPECT_EQ(QFile::exists(saveFolder.filePath(QStringLiteral("動画保存1_.avi"))), row.compress);
        }

        // The next start settles what the kill left, and asks about frames in no file.
        ASSERT_TRUE(startProgram());
        answerUntilIdle();
        EXPECT_EQ(framesIn(movie1), recorded);
        EXPECT_TRUE(frameFiles().isEmpty()) << frameFiles().join(' ').toStdString();
        EXPECT_EQ(QDir(saveFolder.path()).entryList(QDir::Files),
                  QStringList{QStringLiteral("動画保存1.avi")});
        EXPECT_FALSE(QFile::exists(run.file(QStringLiteral(".kadrel00AVISAVE.record"))));
        kill();
    }
}

// What a damaged folder holds at the start: frames claiming 60000 x 60000 pixels (in a sparse file
// of that length) and 0x7fffffff x 0x7fffffff, a frame file of junk and a record of binary junk. The start
// asks at once, its memory stays small, and the whole frames become the movie; the others stay, renamed.
TEST_F(RecordingFaults, DamagedLeftoversNeitherHoldUpTheStartNorGrowItsMemory) {
    for (int n = 1; n <= 3; ++n) {
        QImage frame(64, 48, QImage::Format_RGB32);
        frame.fill(qRgb(n * 60, 0, 0));
        ASSERT_TRUE(writeFrameBmp(frame, run.file(QStringLiteral("kadrel00AVISAVE%1.bmp").arg(n))));
    }
    for (const auto& [n, side] : {std::pair(4, 60000u), std::pair(5, 0x7fffffffu)}) {
        QByteArray header = fileBytes(run.file(QStringLiteral("kadrel00AVISAVE1.bmp"))).left(54);
        qToLittleEndian(side, header.data() + 18);
        qToLittleEndian(side, header.data() + 22);
        QFile file(run.file(QStringLiteral("kadrel00AVISAVE%1.bmp").arg(n)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(header) == 54 &&
                    file.resize(54 + (side > 65535 ? qint64(1) << 34 : qint64(side) * 4 * side)));
    }
    ASSERT_TRUE(writeFile(run.file(QStringLiteral("kadrel00AVISAVE6.bmp")), "junk"));
    QByteArray junk(4096, '\0');
    for (qsizetype i = 0; i < junk.size(); ++i) junk[i] = char(i * 7919 >> 3);
    ASSERT_TRUE(writeFile(run.file(QStringLiteral(".kadrel00AVISAVE.record")), junk));
    ASSERT_TRUE(startProgram());
    ASSERT_TRUE(titled(QStringLiteral("Kadrel")));
    answerUntilIdle();
    QFile status(QStringLiteral("/proc/%1/status").arg(run.process().processId()));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QByteArray text = status.readAll();
    const qsizetype peak = text.indexOf("VmHWM:");
    EXPECT_LT(text.mid(peak + 6, text.indexOf("kB", peak) - peak - 6).trimmed().toLongLong(), 512 * 1024);
    EXPECT_EQ(framesIn(movie(1)), 3);
    EXPECT_EQ(frameFiles(), QStringList({"kadrel00AVISAVE4.bmp.bad", "kadrel00AVISAVE5.bmp.bad",
                                         "kadrel00AVISAVE6.bmp.bad"}));
}

// Under strace: the movie file's name is flushed with its folder before the first frame file goes;
// the compressed file is flushed before it takes the movie's name, and that name after.
TEST_F(RecordingFaults, EveryStepIsOnTheDiskBeforeTheNextUndoesWhatCameBefore) {
    QTemporaryDir saveFolder;
    const QString log = saveFolder.filePath(QStringLiteral("trace"));
    ASSERT_TRUE(configure(6, saveFolder.path()));
    run.traceWith({"-qq", "-f", "-x", "-y", "-e", "trace=fdatasync,fsync,rename,unlink", "-o", log});
    ASSERT_TRUE(startProgram());
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_TRUE(titled(QStringLiteral("Kadrel")));
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(titled(QStringLiteral("ビデオの圧縮")));
    ASSERT_TRUE(sendKeys({"Down", "Return"}));  // the first encoder
    const QString movie1 = saveFolder.filePath(QStringLiteral("動画保存1.avi"));
    const QString compressed = saveFolder.filePath(QStringLiteral("動画保存1_.avi"));
    ASSERT_TRUE(waitUntil([&] { return idle() && !QFile::exists(compressed); }));
    kill();
    // strace writes bytes outside ASCII as \xNN.
    const QStringList calls =
        QString::fromUtf8(QByteArray::fromPercentEncoding(fileBytes(log).replace("\\x", "%"))).split('\n');
    // The first call from line `from` on that matches the pattern, whose %1 stands for a file.
    const auto find = [&](const QString& pattern, const QString& file, qsizetype from = 0) {
        const QRegularExpression call(pattern.arg(QRegularExpression::escape(file)));
        for (qsizetype i = std::max<qsizetype>(from, 0); i < calls.size(); ++i)
            if (call.match(calls[i]).hasMatch()) return i;
        return qsizetype(-1);
    };
    const QString flushOf = QStringLiteral(R"(fsync\(\d+<%1>\)\s+= 0)");
    const qsizetype firstDeletion =
        find(QStringLiteral(R"(unlink\("%1"\))"), run.file("kadrel00AVISAVE1.bmp"));
    const qsizetype renamed = find(QStringLiteral(R"(rename\("%1", ")"), compressed);
    EXPECT_GE(find(flushOf, saveFolder.path()), 0);
    EXPECT_LT(find(flushOf, saveFolder.path()), firstDeletion);
    EXPECT_GE(find(QStringLiteral(R"(fdatasync\(\d+<%1>\)\s+= 0)"), compressed), 0);
    EXPECT_LT(find(QStringLiteral(R"(fdatasync\(\d+<%1>\)\s+= 0)"), compressed), renamed);
    EXPECT_GT(find(flushOf, saveFolder.path(), renamed), renamed);
}

// The first copy records; the second, started in the same folder, is refused and writes nothing.
TEST_F(RecordingFaults, ASecondCopyInTheFolderIsRefusedAndTheFirstCopysRecordingIsWhole) {
    ASSERT_TRUE(startProgram());
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_TRUE(waitUntil([&] { return !x.findWindows(kRecordingCaption).empty(); }));
    ASSERT_TRUE(waitUntil([&] { return frameFiles().size() >= 3; }));
    QProcess second;
    second.setWorkingDirectory(run.folder());
    second.start(run.exe(), {});
    // Its start says first that the first copy holds the hot key that brings the frame to the front.
    ASSERT_TRUE(titled(QStringLiteral("Kadrel")));
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(titled(kStartCaption));
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_TRUE(titled(QStringLiteral("Kadrel")));  // the refusal
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(waitUntil([&] { return x.findWindows(QStringLiteral("Kadrel")).empty(); }));
    EXPECT_EQ(x.findWindows(kRecordingCaption).size(), 1u);
    second.kill();
    second.waitForFinished(3000);

    ASSERT_TRUE(sendKeys({"ctrl+F3"}));
    ASSERT_TRUE(titled(QStringLiteral("Kadrel")));
    const int recorded = int(frameFiles().size());
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(titled(QStringLiteral("ビデオの圧縮")));
    ASSERT_TRUE(sendKeys({"Escape"}));
    ASSERT_TRUE(titled(kStartCaption));
    EXPECT_EQ(framesIn(movie(1)), recorded);
    EXPECT_FALSE(QFile::exists(movie(2)));
    EXPECT_TRUE(frameFiles().isEmpty());
}

// Frames that the AVI file could not hold are refused at the start, with the cause.
TEST_F(RecordingFaults, AFrameTooLargeForTheAviOrAScaleOfZeroIsRefusedAtTheStart) {
    for (const char* percent : {"10000", "0"}) {
        SCOPED_TRACE(percent);
        ASSERT_TRUE(writeFile(run.file(QStringLiteral("kadrel.ini")),
                              QByteArray("[image]\r\npower=") + percent + "\r\n"));
        ASSERT_TRUE(startProgram());
        ASSERT_TRUE(sendKeys({"ctrl+f"}));
        ASSERT_TRUE(titled(QStringLiteral("Kadrel")));
        EXPECT_TRUE(frameFiles().isEmpty());
        ASSERT_TRUE(sendKeys({"Return"}));
        ASSERT_TRUE(waitUntil([&] { return x.findWindows(QStringLiteral("Kadrel")).empty(); }));
        EXPECT_TRUE(holdsFor([&] { return x.findWindows(kRecordingCaption).empty(); }, 500));
        EXPECT_TRUE(frameFiles().isEmpty());
        EXPECT_FALSE(QFile::exists(movie(1)));
        kill();
    }
}

// A save folder that is gone stops the start before its first frame and opens the chooser: Escape
// there records nothing and makes no folder; the folder chosen there gets the movie.
TEST_F(RecordingFaults, AMissingSaveFolderIsAskedForAndNeverMadeAgain) {
    const QString gone = run.file(QStringLiteral("写真")), chosen = run.file(QStringLiteral("movies"));
    ASSERT_TRUE(QDir().mkpath(chosen) && configure(3, gone) && startProgram());
    for (const QStringList& keys : {QStringList{"Escape"}, QStringList{"Right", "Down", "Down", "Return"}}) {
        ASSERT_TRUE(titled(kStartCaption) && frameFiles().isEmpty());
        ASSERT_TRUE(sendKeys({"ctrl+f"}) && titled(QStringLiteral("Kadrel")));  // the folder named
        ASSERT_TRUE(sendKeys({"Return"}) && titled(QStringLiteral("保存先設定")));
        for (const QString& key : keys) {
            waitForFolderRead();
            ASSERT_TRUE(sendKeys({key}));
        }
    }
    ASSERT_TRUE(titled(QStringLiteral("Kadrel")));  // the stop box, at the frame limit
    EXPECT_EQ(answerUntilIdle(), QStringList({"Kadrel", "ビデオの圧縮"}));
    EXPECT_EQ(framesIn(chosen + QStringLiteral("/動画保存1.avi")), 3);
    EXPECT_FALSE(QFileInfo::exists(gone));
}

// The frames that end the AVI file's data exactly where a page of a tmpfs ends, so that the frames
// fit but not the index after them: the frame count and the disk's size in bytes.
std::pair<int, qint64> framesThatLeaveNoRoomForTheIndex() {
    QTemporaryDir dir;
    BitmapInfoHeader format;
    format.width = 420;
    format.height = 360;
    AviFileWriter empty;
    const std::string path = dir.filePath(QStringLiteral("empty.avi")).toStdString();
    if (!empty.create(path) || !empty.createStream(420, 360, 10, format) ||
        empty.close() != AviFileWriter::Closed::Complete)
        return {0, 0};
    const qint64 headers = QFileInfo(QString::fromStdString(path)).size() - 8;  // less the empty 'idx1'
    for (int frames = 3; frames < 100; ++frames) {
        const qint64 data = headers + frames * (8 + 420 * 360 * 2);
        const qint64 room = (4096 - data % 4096) % 4096;
        if (room < 8 + 16 * frames) return {frames, data + room};
    }
    return {0, 0};
}

// The AVI file's disk too small for the frames, too small only for the index, full from the start,
// an ext4 volume with only the blocks kept for root free, or the save folder removed during the
// run, which is not made again: the frames that are not in the closed file stay as frame files,
// and one box says so.
TEST_F(RecordingFaults, AFullAviDiskKeepsEveryFrameNotInTheFile) {
    constexpr qint64 kHeaders = 540 * 1024;  // with the index of a long recording
    constexpr qint64 kFrameChunk = 8 + 420 * 360 * 2;
    const auto [indexFrames, indexDisk] = framesThatLeaveNoRoomForTheIndex();
    ASSERT_GT(indexFrames, 0);
    enum class Fill { None, Full, AsUser, FolderRemoved };
    struct Row {
        const char* name;
        SmallDisk::Kind kind;
        qint64 bytes;
        Fill fill;
        int frames;
        bool someInTheFile;
    } const rows[] = {
        {"too small for the frames", SmallDisk::Kind::Tmpfs, kHeaders + 4 * kFrameChunk, Fill::None, 8, true},
        {"too small for the index", SmallDisk::Kind::Tmpfs, indexDisk, Fill::None, indexFrames, true},
        {"full from the start", SmallDisk::Kind::Tmpfs, kHeaders + 4 * kFrameChunk, Fill::Full, 8, false},
        {"ext4, only root's blocks", SmallDisk::Kind::Ext4WithReserve, 4 << 20, Fill::AsUser, 8, true},
        {"the save folder removed", SmallDisk::Kind::Tmpfs, kHeaders, Fill::FolderRemoved, 8, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SmallDisk disk(row.bytes, row.kind);
        REQUIRE_SMALL_DISK(disk);
        if (row.fill == Fill::Full) disk.fill();
        if (row.fill == Fill::AsUser) {
            ASSERT_TRUE(disk.fillAsUser());
        }
        const QString folder =
            row.fill == Fill::FolderRemoved ? disk.filePath(QStringLiteral("写真")) : disk.path();
        ASSERT_TRUE(QDir().mkpath(folder));
        for (const QString& name : frameFiles()) QFile::remove(run.file(name));
        ASSERT_TRUE(configure(row.frames, folder));
        ASSERT_TRUE(startProgram());
        ASSERT_TRUE(sendKeys({"ctrl+f"}));
        ASSERT_TRUE(titled(QStringLiteral("Kadrel")));  // the stop box, at the frame limit
        ASSERT_EQ(frameFiles().size(), row.frames);
        // The stop box waits while the folder goes.
        ASSERT_TRUE(row.fill != Fill::FolderRemoved || QDir(folder).removeRecursively());
        const auto stopBox = x.findWindows(QStringLiteral("Kadrel"));  // gone before the next is counted
        ASSERT_TRUE(sendKeys({"Return"}) && waitUntil([&] { return x.findWindows("Kadrel") != stopBox; }));
        const QStringList seen = answerUntilIdle();
        EXPECT_EQ(seen.count(QStringLiteral("Kadrel")), 1) << seen.join(' ').toStdString();  // the report
        EXPECT_FALSE(seen.contains(QStringLiteral("ビデオの圧縮")));
        const int inAvi = framesIn(folder + QStringLiteral("/動画保存1.avi"));
        EXPECT_EQ(inAvi > 0, row.someInTheFile) << inAvi;
        EXPECT_EQ(inAvi + frameFiles().size(), row.frames);
        EXPECT_EQ(QFileInfo::exists(folder), row.fill != Fill::FolderRemoved);
        kill();
    }
}
