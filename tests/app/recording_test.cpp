// Video recording through the whole program under a tray host: real keys and clicks, real frame
// files, the AVI file read back with ffprobe and ffmpeg.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScopeGuard>
#include <array>
#include <atomic>
#include <cerrno>
#include <thread>
#include <utility>

#include "fakes/image_compare.h"
#include "fakes/media_probe.h"
#include "fakes/raw_avi.h"
#include "fakes/test_files.h"
#include "fakes/tray_host.h"
#include "platform/system/file_lock.h"
#include "platform/x11/window_stack.h"
#include "program_fixture.h"
#include "video/logic/frame_file.h"
#include "video/logic/frame_file_writer.h"
#include "video/ui/assembly_progress_window.h"
#include "video/ui/avi_assembly.h"
#include "video/ui/recording_session.h"

namespace {
const QString kStopBox = QStringLiteral("動画保存>>停止しました\nOKを押すとAVIファイル作成します");

// A picture at 50 % by nearest pixel: every other row and column, from the first.
QImage everyOther(const QImage& picture) {
    QImage half(picture.width() / 2, picture.height() / 2, QImage::Format_RGB32);
    for (int y = 0; y < half.height(); ++y)
        for (int x = 0; x < half.width(); ++x) half.setPixel(x, y, picture.pixel(2 * x, 2 * y));
    return half;
}
}  // namespace

class Recording : public ProgramTest {
protected:
    // The program over its backdrop, with the notification area above the backdrop.
    void start() {
        ProgramTest::start();
        ASSERT_TRUE(tray.start()) << "trayer is needed for this test";
        program->frame->activateWindow();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == program->frame.get(); }));
    }
    RecordingSession& rec() { return *program->recording; }
    QString movie(int n) const { return folder() + QStringLiteral("動画保存%1.avi").arg(n); }
    int frameFiles() const { return QDir(folder()).entryList({QStringLiteral("kadrel00AVISAVE*")}).size(); }
    bool buttonInShape() {
        return form().appliedShape().contains(form().menuButton->geometry().center() +
                                              ShapedFrame::clientOffset());
    }
    void waitForFrames(int count) {
        ASSERT_TRUE(waitUntil([&] { return rec().frameCount() >= count; }, 10000)) << rec().frameCount();
    }
    void waitIdle() {
        ASSERT_TRUE(waitUntil([&] { return rec().runState() == RecordingState::Idle; }, 30000));
    }
    // A button press on the tray icon, through the X server, once the tray has laid the icon out:
    // its place holds still.
    void clickTray(int button) {
        QRect place;
        waitUntil(
            [&] {
                place = rec().trayIcon().geometry();
                return !place.isEmpty() &&
                       holdsFor([&] { return rec().trayIcon().geometry() == place; }, 150);
            },
            5000);
        ASSERT_FALSE(place.isEmpty());
        const QPoint at = place.center();
        runTool("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
                            QString::number(button)});
        waitForXIdle();
    }

    TrayHost tray;
};

TEST_F(Recording, AtHalfScaleFramesAreThePictureScaledAndWholeScreenShowsTheFrameBeforeTheCodecDialog) {
    start();
    Settings& s = program->state.settings;
    s.ScalePercent = 50;
    s.FrameLimit = 3;
    program->state.live = {.alwaysOnTop = true, .printPercent = 100, .frameLimitEnabled = true};
    // The frame first: 420 x 360 at 50 % is 210 x 180, every other row and column.
    const QImage client = expectedClient();
    choose(FrameCommand::StartRecording);
    waitIdle();
    const QList<QImage> frames = decodeFrames(movie(1), 210, 180);
    ASSERT_EQ(frames.size(), 3);
    EXPECT_EQ(pixelMismatches(frames.last(), everyOther(client)), 0);

    ASSERT_TRUE(sendKeys({"ctrl+m", "ctrl+f"}));
    EXPECT_FALSE(form().isVisible());
    bool shownAtCodecDialog = false;
    codecs.whenAsked = [&] { shownAtCodecDialog = form().isVisible(); };
    waitIdle();
    EXPECT_TRUE(shownAtCodecDialog);
    EXPECT_TRUE(window_stack::isTopmost(&form()));
    const QList<QImage> decoded = decodeFrames(movie(2), 960, 540);
    ASSERT_EQ(decoded.size(), 3);
    // Below the tray host's strip, the screen is the backdrop; every other row and column is kept.
    QImage expected(960, 500, QImage::Format_RGB32);
    for (int y = 0; y < 500; ++y)
        for (int x = 0; x < 960; ++x) expected.setPixel(x, y, Backdrop::colorAt(2 * x, 2 * (y + 40)).rgb());
    EXPECT_EQ(pixelMismatches(decoded.last().copy(0, 40, 960, 500), expected), 0);
}

// The rate's arithmetic is RecordingClock's table; here the limit stops real runs (a limit of 0
// after the first frame), and the AVI file plays at the rate the clock says was achieved.
TEST_F(Recording, FrameLimitAndClockGiveTheAchievedRate) {
    start();
    form().setClientWidth(100);
    form().setClientHeight(80);
    program->state.settings.RecordRate = 100;
    program->state.live.frameLimitEnabled = true;
    struct Case {
        int limit;
        int rate;  // the clock reads 1,000 ms more at the stop
    } const cases[] = {{19, 19}, {0, 1}};
    int n = 0;
    int filesAtStop = -1;
    boxes.whileShown = [&](const QString&) { filesAtStop = frameFiles(); };
    for (const Case& c : cases) {
        program->state.settings.FrameLimit = std::uint16_t(c.limit);
        filesAtStop = -1;
        clock.now = 1000;
        choose(FrameCommand::StartRecording);
        clock.now = 2000;
        waitIdle();
        const int frames = std::max(c.limit, 1);
        EXPECT_EQ(rec().frameCount(), frames) << c.limit;
        EXPECT_EQ(filesAtStop, frames) << c.limit;
        const auto probe = probeVideo(movie(++n));
        EXPECT_EQ(probe.at("nb_read_frames"), std::to_string(frames)) << c.limit;
        EXPECT_EQ(probe.at("r_frame_rate"), std::to_string(c.rate) + "/1") << c.limit;
    }
    // Limit off: the run goes on past FrameLimit until it is stopped, a tick when the clock says five
    // are due writes five, and a stop before any tick gives an empty stream at 1 frame a second.
    program->state.live.frameLimitEnabled = false;
    program->state.settings.FrameLimit = 2;
    program->state.settings.RecordRate = 1;
    clock.now = 0;
    choose(FrameCommand::StartRecording);
    clock.now = 5000;
    waitForFrames(1);
    EXPECT_EQ(rec().frameCount(), 5);
    rec().trayMenu().stopItem()->trigger();
    clock.now.reset();
    choose(FrameCommand::StartRecording);
    rec().trayMenu().stopItem()->trigger();
    EXPECT_EQ(rec().frameCount(), 0);
    const auto empty = probeVideo(movie(n + 2));
    EXPECT_EQ(empty.at("r_frame_rate"), "1/1");
    EXPECT_TRUE(decodeFrames(movie(n + 2), 100, 80).isEmpty());
    EXPECT_EQ(frameFiles(), 0);
}

TEST_F(Recording, TrayPressPausesAndOpensTheMenuWhoseItemsResumeAndStop) {
    start();
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    for (int button : {1, 3}) {
        ASSERT_TRUE(waitUntil([&] { return rec().runState() == RecordingState::Recording; }));
        clickTray(button);
        EXPECT_TRUE(waitUntil([&] { return rec().runState() == RecordingState::Paused; })) << button;
        EXPECT_FALSE(rec().frameTimerRunning());
        ASSERT_TRUE(waitUntil([&] { return rec().trayMenu().isVisible(); })) << button;
        if (button == 1) {
            ASSERT_TRUE(sendKeys({"Escape"}));
            EXPECT_FALSE(rec().trayMenu().isVisible());
            EXPECT_EQ(rec().runState(), RecordingState::Paused);
            clickTray(3);  // a press while paused changes nothing but opens the menu again
            ASSERT_TRUE(waitUntil([&] { return rec().trayMenu().isVisible(); }));
        }
        RecordingTrayMenu& menu = rec().trayMenu();
        const QPoint item =
            menu.mapToGlobal(menu.actionGeometry(button == 1 ? menu.resumeItem() : menu.stopItem()).center());
        runTool("xdotool", {"mousemove", QString::number(item.x()), QString::number(item.y()), "click", "1"});
    }
    waitIdle();
    EXPECT_TRUE(QFile::exists(movie(1)));
}

// Keys record, pause, resume and pause again in frame mode, the frame moved while paused; a start
// that reaches the paused run and the commands during the stop box are refused, and closing the
// frame stops the run into an AVI file of the picture under the frame at each moment.
TEST_F(Recording, FrameModeRunPausesMovesResumesRefusesCommandsDuringTheStopAndClosingTheFrameStops) {
    start();
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_EQ(rec().runState(), RecordingState::Recording);
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Kadrel1.02 動画保存>録画中"));
    EXPECT_FALSE(form().isEnabled());
    EXPECT_FALSE(buttonInShape());
    EXPECT_TRUE(rec().trayIcon().isPresent());
    EXPECT_TRUE(waitUntil([&] { return window_stack::isTopmost(&form()); }));
    const QImage before = expectedClient();
    waitForFrames(2);

    ASSERT_TRUE(sendKeys({"ctrl+F2"}));
    EXPECT_EQ(rec().runState(), RecordingState::Paused);
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Kadrel1.02 動画保存>一時停止中"));
    EXPECT_TRUE(form().isEnabled());
    const std::int32_t pausedAt = rec().frameCount();
    // Paused, the frame moves; a resize snaps back to the run's size.
    form().move(600, 400);
    form().resize(500, 300);
    EXPECT_TRUE(waitUntil([&] { return form().clientWidth() == 420 && form().clientHeight() == 360; }));
    EXPECT_TRUE(holdsFor([&] { return rec().frameCount() == pausedAt; }, 300));
    const QImage after = expectedClient();
    ASSERT_TRUE(sendKeys({"ctrl+F1"}));
    EXPECT_EQ(rec().runState(), RecordingState::Recording);
    EXPECT_FALSE(form().isEnabled());
    waitForFrames(pausedAt + 2);
    ASSERT_TRUE(sendKeys({"ctrl+F2"}));

    // A start that reaches a paused run changes nothing.
    const AviMovieWriter* writer = &program->assembly->movieWriter();
    const int frames = rec().frameCount();
    choose(FrameCommand::StartRecording);
    EXPECT_EQ(std::tuple(&program->assembly->movieWriter(), rec().frameCount(), rec().runState()),
              std::tuple(writer, frames, RecordingState::Paused));
    boxes.whileShown = [&](const QString& text) {
        if (text != kStopBox) return;
        sendKeys({"ctrl+F1", "ctrl+F3", "ctrl+F2"});
        clickTray(1);
        form().close();
    };
    bool idleAtCodecDialog = false;
    codecs.whenAsked = [&] {
        idleAtCodecDialog = !program->state.capture.Recording && form().isEnabled() &&
                            !rec().trayIcon().isPresent() && frameFiles() == 0 && buttonInShape() &&
                            form().windowTitle() == QStringLiteral("Kadrel1.02  420 , 360");
    };
    form().close();
    waitIdle();
    EXPECT_TRUE(idleAtCodecDialog);
    EXPECT_EQ(boxes.messages, QStringList{kStopBox});
    EXPECT_EQ(rec().frameCount(), frames);
    EXPECT_FALSE(QFile::exists(movie(2)));
    EXPECT_TRUE(form().isVisible());
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Kadrel1.02  420 , 360"));
    EXPECT_FALSE(window_stack::isTopmost(&form()));
    const auto probe = probeVideo(movie(1));
    EXPECT_EQ(probe.at("nb_read_frames"), std::to_string(frames));
    // A recording keeps 16-bit pixels.
    EXPECT_EQ(std::tuple(probe.at("width"), probe.at("height"), probe.at("pix_fmt")),
              std::tuple("420", "360", "rgb555le"));
    const QList<QImage> decoded = decodeFrames(movie(1), 420, 360);
    ASSERT_EQ(decoded.size(), frames);
    EXPECT_EQ(pixelMismatches(decoded.first(), before), 0);
    EXPECT_EQ(pixelMismatches(decoded.last(), after), 0);
}

TEST_F(Recording, AMissingFrameEndsTheAviThereTheFramesAfterItAreKeptAndTheNextStartMakesThemAnAvi) {
    start();
    program->state.settings.RecordRate = 100;
    program->state.live.frameLimitEnabled = true;
    program->state.settings.FrameLimit = 10;
    // During the stop box: frame 2 becomes a picture of twice the size (as after a change of the
    // screen size), frame 5 goes missing. The file error comes after the codec dialog.
    QImage large(200, 160, QImage::Format_RGB32);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 200; ++x) large.setPixel(x, y, qRgb(x, y, (x * y) & 255));
    int codecCallsAtError = -1;
    boxes.whileShown = [&](const QString& text) {
        if (text == kStopBox) {
            QFile::remove(folder() + QStringLiteral("kadrel00AVISAVE5.bmp"));
            writeFrameBmp(large, folder() + QStringLiteral("kadrel00AVISAVE2.bmp"));
            writeFrameBmp(large, folder() + QStringLiteral("kadrel00AVISAVE7.bmp"));
        } else {
            codecCallsAtError = codecs.calls;
        }
    };
    form().setClientWidth(100);
    form().setClientHeight(80);
    choose(FrameCommand::StartRecording);
    waitIdle();
    const QList<QImage> frames = decodeFrames(movie(1), 100, 80);
    ASSERT_EQ(frames.size(), 4);
    EXPECT_EQ(pixelMismatches(frames[1], everyOther(large)), 0);  // stretched by nearest pixel
    EXPECT_EQ(frameFiles(), 5);
    ASSERT_EQ(boxes.errors.size(), 1);
    EXPECT_TRUE(boxes.errors.last().startsWith(
        QStringLiteral("ファイル %1kadrel00AVISAVE5.bmp を開けません\n5 枚のフレーム").arg(folder())));
    EXPECT_TRUE(boxes.errors.last().contains(folder())) << boxes.errors.last().toStdString();
    EXPECT_EQ(codecCallsAtError, 1);
    EXPECT_TRUE(form().isEnabled());
    EXPECT_TRUE(buttonInShape());

    // The next start never writes over them: "いいえ" starts nothing, "はい" makes them an AVI file
    // at the rate of the settings, in their order, and starts nothing either. Frame 7, of another
    // size than the run's, is set aside rather than read.
    boxes.whileShown = nullptr;
    boxes.answers = {false, true};
    program->state.settings.RecordRate = 10;
    choose(FrameCommand::StartRecording);
    EXPECT_EQ(std::tuple(rec().runState(), frameFiles(), boxes.questions.size()),
              std::tuple(RecordingState::Idle, 5, qsizetype(1)));
    choose(FrameCommand::StartRecording);
    waitIdle();
    EXPECT_EQ(boxes.questions.size(), 2);
    EXPECT_TRUE(boxes.questions.first().contains(
        QStringLiteral("名前を変えて残しました:\n%1kadrel00AVISAVE7.bmp.bad\n\n"
                       "AVIファイルになっていないフレームが 4 枚あります.")
            .arg(folder())))
        << boxes.questions.first().toStdString();
    EXPECT_TRUE(boxes.questions.last().startsWith(
        QStringLiteral("AVIファイルになっていないフレームが 4 枚あります.")));
    EXPECT_EQ(frameFiles(), 1);
    EXPECT_EQ(decodeFrames(movie(2), 100, 80).size(), 4);
    EXPECT_EQ(probeVideo(movie(2)).at("r_frame_rate"), "10/1");
    EXPECT_EQ(codecs.calls, 2);
}

TEST_F(Recording, ASlowDiskSlowsTheTickOnlyOnceTheQueueIsFullAndNoCountedFrameIsLost) {
    start();
    form().setClientWidth(100);
    form().setClientHeight(80);
    program->state.settings.RecordRate = 50;
    constexpr int kQueued = 5;
    std::atomic<int> written = 0;
    rec().setFrameFileWriting(
        [&](const QImage& image, const QString& path, bool) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const int error = FrameFileWriter::writeBmp(image, path, false);
            ++written;
            return error;
        },
        kQueued * 100 * 80 * 4);
    choose(FrameCommand::StartRecording);
    // The tick keeps its 20 ms while the first frames wait for the disk...
    ASSERT_TRUE(waitUntil([&] { return rec().frameCount() >= kQueued; }));
    EXPECT_LE(written, 2);
    // ...and once the queue is full it waits for room: never more frames counted than written and
    // queued, and the ticks it misses are made up only into free buffers, never waiting again.
    int mostAhead = 0;
    int mostAtOnce = 0;
    int seen = rec().frameCount();
    waitUntil(
        [&] {
            mostAhead = std::max(mostAhead, rec().frameCount() - written);
            mostAtOnce = std::max(mostAtOnce, rec().frameCount() - std::exchange(seen, rec().frameCount()));
            return false;
        },
        2000);
    EXPECT_LE(mostAhead, kQueued + 2);
    EXPECT_LE(mostAtOnce, kQueued + 1);
    EXPECT_GE(written, 8);
    rec().trayMenu().stopItem()->trigger();
    waitIdle();
    EXPECT_EQ(written, rec().frameCount());
    EXPECT_EQ(probeVideo(movie(1)).at("nb_read_frames"), std::to_string(rec().frameCount()));
    EXPECT_TRUE(boxes.errors.isEmpty());
}

TEST_F(Recording, AWriteThatFailsInTheQueuePausesWithOneBoxAndKeepsTheFramesWritten) {
    start();
    program->state.settings.RecordRate = 50;
    // From frame 6 on the disk is full; frames 7 and later are queued behind it by then.
    std::atomic<bool> full = true;
    rec().setFrameFileWriting(
        [&](const QImage& image, const QString& path, bool) {
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            if (full && path.endsWith(QStringLiteral("AVISAVE6.bmp"))) return ENOSPC;
            return FrameFileWriter::writeBmp(image, path, false);
        },
        std::size_t(8) * 420 * 360 * 4);
    // A resume while the box is open fails again and pauses without a second box.
    boxes.whileShown = [&](const QString&) {
        EXPECT_EQ(rec().runState(), RecordingState::Paused);
        EXPECT_EQ(rec().frameCount(), 5);
        sendKeys({"ctrl+F1"});
        waitUntil([&] { return rec().runState() == RecordingState::Paused; });
    };
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_TRUE(waitUntil([&] { return !boxes.errors.isEmpty(); }));
    ASSERT_TRUE(holdsFor([&] { return boxes.errors.size() == 1; }, 300));
    EXPECT_TRUE(boxes.errors[0].contains(QStringLiteral("kadrel00AVISAVE6.bmp")));
    EXPECT_TRUE(boxes.errors[0].endsWith(QStringLiteral(
        "\nディスクの空き容量が足りません.\n録画を一時停止しました. Ctrl+F1 で再開できます.")));
    EXPECT_EQ(rec().runState(), RecordingState::Paused);
    EXPECT_EQ(rec().frameCount(), 5);
    EXPECT_EQ(frameFiles(), 5);
    boxes.whileShown = nullptr;
    full = false;
    ASSERT_TRUE(sendKeys({"ctrl+F1"}));
    waitForFrames(8);
    ASSERT_TRUE(sendKeys({"ctrl+F3"}));
    waitIdle();
    EXPECT_EQ(probeVideo(movie(1)).at("nb_read_frames"), std::to_string(rec().frameCount()));
    EXPECT_EQ(boxes.errors.size(), 1);
}

// The run holds the frame folder until its codec dialog is over; a file that another copy made
// under the chosen name meanwhile stays, and the run takes the next number.
TEST_F(Recording, TheRunHoldsTheFolderAndNeverOverwritesAFileThatTookItsNameMeanwhile) {
    start();
    form().setClientWidth(100);
    form().setClientHeight(80);
    choose(FrameCommand::StartRecording);
    waitForFrames(2);
    EXPECT_FALSE(FileLock::tryLock(folder(), FileLock::Mode::Exclusive));
    ASSERT_TRUE(writeFile(movie(1), "another copy's"));
    bool heldAtCodecDialog = false;
    codecs.whenAsked = [&] { heldAtCodecDialog = !FileLock::tryLock(folder(), FileLock::Mode::Exclusive); };
    rec().trayMenu().stopItem()->trigger();
    waitIdle();
    EXPECT_TRUE(heldAtCodecDialog);
    EXPECT_EQ(fileBytes(movie(1)), "another copy's");
    EXPECT_EQ(program->assembly->movieFile(), movie(2));
    EXPECT_EQ(probeVideo(movie(2)).at("nb_read_frames"), std::to_string(rec().frameCount()));
    EXPECT_TRUE(FileLock::tryLock(folder(), FileLock::Mode::Exclusive));
}

// Where the run's record cannot be made, nothing is recorded, and kept frames are not made into a file
// that a kill could leave twice: they stay.
TEST_F(Recording, WithoutItsRecordNoRunStartsAndKeptFramesStay) {
    ASSERT_TRUE(QDir().mkpath(folder() + QStringLiteral(".kadrel00AVISAVE.record")));  // in the way
    start();
    choose(FrameCommand::StartRecording);
    ASSERT_EQ(boxes.errors.size(), 1);
    EXPECT_TRUE(boxes.errors[0].startsWith(
        QStringLiteral("録画の記録 %1.kadrel00AVISAVE.record を作成できません.").arg(folder())));
    EXPECT_TRUE(boxes.errors[0].endsWith(QStringLiteral("\n録画を始められません.")));
    EXPECT_EQ(std::tuple(rec().runState(), frameFiles(), form().isEnabled()),
              std::tuple(RecordingState::Idle, 0, true));

    ASSERT_TRUE(writeFrameBmp(QImage(8, 8, QImage::Format_RGB32), folder() + "kadrel00AVISAVE1.bmp"));
    boxes.answers = {true};
    choose(FrameCommand::StartRecording);
    ASSERT_EQ(boxes.errors.size(), 2);
    EXPECT_TRUE(boxes.errors[1].endsWith(QStringLiteral("\nフレームファイルはそのまま残しました.")));
    EXPECT_EQ(std::tuple(rec().runState(), frameFiles(), QFile::exists(movie(1))),
              std::tuple(RecordingState::Idle, 1, false));
    EXPECT_TRUE(FileLock::tryLock(folder(), FileLock::Mode::Exclusive));
}

// As a killed copy leaves them: frames 1 and 2 already in a finished AVI file (the note of the
// deletion names it), frames 3, 4 and 9 in none, frame 10 cut short, half-written replacements
// and the temporary file of a re-compression.
TEST_F(ProgramTest, KeptFramesAreOfferedAtEachStartAndLeftoversGoWhenNoOtherCopyRuns) {
    const auto colored = [](int n) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(qRgb(n * 20, 255 - n * 20, 128));
        return image;
    };
    for (int n : {1, 2, 3, 4, 9})
        ASSERT_TRUE(writeFrameBmp(colored(n), folder() + QStringLiteral("kadrel00AVISAVE%1.bmp").arg(n)));
    // Frame 10 was being written at the kill.
    ASSERT_TRUE(writeFile(folder() + QStringLiteral("kadrel00AVISAVE10.bmp"),
                          fileBytes(folder() + QStringLiteral("kadrel00AVISAVE9.bmp")).chopped(1)));
    const QString movie1 = folder() + QStringLiteral("動画保存1.avi");
    const Bytes sample = dibSample(64, 48, 16, [](int, int, std::uint8_t* out) { out[0] = out[1] = 0; });
    ASSERT_TRUE(writeRawAvi(movie1, 64, 48, 16, 10, 2, [&](int) -> const Bytes& { return sample; }));
    ASSERT_TRUE(writeFile(folder() + QStringLiteral(".kadrel00AVISAVE.done"), "2\n" + movie1.toUtf8()));
    const QStringList leftovers = {QStringLiteral(".kadrel.ini.Ab12Cd"),
                                   QStringLiteral("..kadrel00AVISAVE.done.x1Y2z3"),
                                   QStringLiteral("動画保存1_.avi")};
    for (const QString& name : leftovers) ASSERT_TRUE(writeFile(folder() + name, "half"));
    ASSERT_TRUE(writeFile(folder() + QStringLiteral("動画保存7_.avi"), "the user's own"));
    const auto present = [&](const QString& name) { return QFile::exists(folder() + name); };
    {
        // Another copy runs: the temporary files may be its own. "いいえ" leaves the frames.
        const auto otherCopy =
            FileLock::tryLock(folder() + QStringLiteral(".kadrel.lock"), FileLock::Mode::Shared);
        ASSERT_TRUE(otherCopy);
        start();
        ASSERT_EQ(boxes.questions.size(), 1);
        EXPECT_TRUE(boxes.questions[0].startsWith(
            QStringLiteral("AVIファイルになっていないフレームが 3 枚あります.\n%1\n").arg(folder())));
        EXPECT_EQ(QDir(folder()).entryList({QStringLiteral("kadrel00AVISAVE*")}),
                  QStringList({"kadrel00AVISAVE3.bmp", "kadrel00AVISAVE4.bmp", "kadrel00AVISAVE9.bmp"}));
        for (const QString& name : leftovers) EXPECT_TRUE(present(name)) << name.toStdString();
        program.reset();
    }
    boxes.answers = {true};
    start();
    EXPECT_EQ(boxes.questions.size(), 2);
    for (const QString& name : leftovers) EXPECT_FALSE(present(name)) << name.toStdString();
    EXPECT_TRUE(present(QStringLiteral("動画保存7_.avi")));
    EXPECT_EQ(QDir(folder()).entryList({QStringLiteral("kadrel00AVISAVE*")}), QStringList());
    const QString movie2 = folder() + QStringLiteral("動画保存2.avi");
    EXPECT_EQ(probeVideo(movie2).at("r_frame_rate"), "10/1");
    const QList<QImage> frames = decodeFrames(movie2, 64, 48);
    ASSERT_EQ(frames.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(frames[i].pixel(5, 5) & 0xf8f8f8, colored(std::array{3, 4, 9}[i]).pixel(5, 5) & 0xf8f8f8)
            << i;
    EXPECT_EQ(codecs.calls, 1);
    EXPECT_EQ(program->recording->runState(), RecordingState::Idle);
}

TEST_F(ProgramTest, TrayMenuNamesTheHotKeysChosenInTheSettingsFile) {
    ASSERT_TRUE(writeFile(folder() + QStringLiteral("kadrel.ini"),
                          "[hotkey]\r\nresume=Alt+Pause\r\npause=ctrl+shift+f2\r\nstop=F3\r\n"));
    start();
    const RecordingTrayMenu& tray = program->recording->trayMenu();
    EXPECT_EQ(tray.resumeItem()->text(), QStringLiteral("再開\tAlt+Pause"));
    EXPECT_EQ(tray.pauseItem()->text(), QStringLiteral("一時停止\tCtrl+Shift+F2"));
    EXPECT_EQ(tray.stopItem()->text(), QStringLiteral("停止\tCtrl+F3"));  // a key without a modifier
}

// fluxbox's default keys take Ctrl+F1 to Ctrl+F12: the start names Ctrl+F4, the first recording
// start names the other three in one box, the next start names nothing again, and the tray menu
// shows none of the keys.
TEST_F(ProgramTest, UnderFluxboxOneBoxARunNamesTheKeysItHoldsAndTheTrayMenuLeavesThemOut) {
    Fluxbox fluxbox;
    ASSERT_TRUE(fluxbox.running()) << "fluxbox is needed for this test";
    start();
    const QString failed = QStringLiteral(
        "ホットキー登録に失敗しました\n%1 "
        "を使えません。\n設定(Ctrl+V)の「ホットキー」ページで別のキーを選べます。");
    EXPECT_EQ(boxes.messages, QStringList{failed.arg(QStringLiteral("Ctrl+F4"))});
    for (RecordingTrayMenu& tray = program->recording->trayMenu(); int run : {1, 2}) {
        boxes.messages.clear();
        choose(FrameCommand::StartRecording);
        ASSERT_TRUE(program->state.capture.Recording);
        const QStringList expected{failed.arg(QStringLiteral("Ctrl+F1、Ctrl+F2、Ctrl+F3"))};
        EXPECT_EQ(boxes.messages, run == 1 ? expected : QStringList()) << run;
        EXPECT_EQ(QStringList({tray.resumeItem()->text(), tray.pauseItem()->text(), tray.stopItem()->text()}),
                  QStringList({QStringLiteral("再開"), QStringLiteral("一時停止"), QStringLiteral("停止")}));
        tray.stopItem()->trigger();
        ASSERT_TRUE(waitUntil([&] { return !program->state.capture.Recording; }, 30000));
    }
}

// On a Wayland desktop a key that seems free may never come (the desktop holds it, or another window
// has the keyboard): no key is named, and the first recording says once how to give the commands the
// desktop's own keys.
TEST_F(ProgramTest, OnAWaylandDesktopTheFirstRecordingSaysHowToBindTheCommandsInsteadOfNamingKeys) {
    Fluxbox fluxbox;
    ASSERT_TRUE(fluxbox.running()) << "fluxbox is needed for this test";
    qputenv("XDG_SESSION_TYPE", "wayland");
    const auto restore = qScopeGuard([] { qunsetenv("XDG_SESSION_TYPE"); });
    start();
    EXPECT_EQ(boxes.messages, QStringList());
    for (int run : {1, 2}) {
        boxes.messages.clear();
        choose(FrameCommand::StartRecording);
        ASSERT_TRUE(program->state.capture.Recording);
        EXPECT_EQ(boxes.messages, run == 1 ? QStringList{waylandHotkeyNote()} : QStringList()) << run;
        program->recording->trayMenu().stopItem()->trigger();
        ASSERT_TRUE(waitUntil([&] { return !program->state.capture.Recording; }, 30000));
    }
}
