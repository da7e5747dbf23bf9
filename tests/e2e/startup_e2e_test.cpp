// The built program, started from a folder of the test's own and driven through the X server.
#include <gtest/gtest.h>

#include <QFile>

#include "fakes/test_files.h"
#include "program_run.h"

namespace {

QRgb rgb(const QImage& image, QPoint p) { return image.pixel(p) & 0xffffff; }
QRgb picture(QPoint p) { return Backdrop::colorAt(p.x(), p.y()).rgb() & 0xffffff; }
}  // namespace

TEST(ProgramStart, ShowsTheSeeThroughFrameWithItsCaptionAndRaisesOnCtrlF4) {
    ProgramOnBackdrop program;
    ASSERT_TRUE(program.start());
    const std::vector<std::uint32_t>& frames = program.frames;
    OtherClient& x = program.x;
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(x.geometryOf(frames[0]), QRect(335, 330, 428, 387));

    const QImage screen = grabScreen();
    const QPoint origin = kStartClient.topLeft();
    for (QPoint p : {QPoint(0, 0), QPoint(10, 100), QPoint(419, 359), QPoint(161, 35), QPoint(259, 61)})
        EXPECT_EQ(rgb(screen, origin + p), picture(origin + p)) << p.x() << "," << p.y();
    // The menu button: 97 x 25 at (420 div 2 - 48, 360 div 10) in the client area.
    for (QPoint p : {QPoint(162, 36), QPoint(258, 60), QPoint(210, 48)})
        EXPECT_NE(rgb(screen, origin + p), picture(origin + p)) << p.x() << "," << p.y();
    EXPECT_NE(rgb(screen, QPoint(400, 340)), picture(QPoint(400, 340)));  // title bar

    // Another program's window covers the frame; Ctrl+F4 brings the frame back on top.
    x.showWindow(QRect(200, 200, 800, 700));
    ASSERT_GT(stackIndex(x.stackingOrder(), x.window()), stackIndex(x.stackingOrder(), frames[0]));
    ASSERT_TRUE(sendKeys({"ctrl+F4"}));
    EXPECT_TRUE(waitUntil([&] {
        return stackIndex(x.stackingOrder(), frames[0]) > stackIndex(x.stackingOrder(), x.window());
    }));
    EXPECT_FALSE(QFile::exists(program.run.folder() + QStringLiteral("/kadrel.ini")));
}

TEST(ProgramStart, ReportsAHotKeyHeldElsewhereOnceAndRunsOn) {
    OtherClient holder;
    ASSERT_TRUE(holder.grabCtrlKey("F4"));
    ProgramRun run;
    run.start();
    OtherClient x;
    // The message box comes before the frame; Enter closes it and the frame follows.
    std::vector<std::uint32_t> boxes;
    ASSERT_TRUE(waitUntil([&] { return !(boxes = x.findWindows(QStringLiteral("Kadrel"))).empty(); }));
    EXPECT_TRUE(x.findWindows(kStartCaption).empty());
    ASSERT_TRUE(x.waitForKeyboard(QStringLiteral("Kadrel")));
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(waitUntil([&] { return !x.findWindows(kStartCaption).empty(); }));
    EXPECT_TRUE(holdsFor([&] { return x.findWindows(QStringLiteral("Kadrel")).empty(); }, 300));
}

TEST(ProgramStart, HotKeysChosenInTheSettingsFileReplaceOnesHeldElsewhere) {
    OtherClient holder;
    ASSERT_TRUE(holder.grabCtrlKey("F4"));
    ProgramOnBackdrop program;
    ASSERT_TRUE(writeFile(program.run.file(QStringLiteral("kadrel.ini")),
                          "[hotkey]\r\nfront=Ctrl+Shift+F4\r\npause=ctrl+shift+F2\r\n"));
    ASSERT_TRUE(program.start());
    OtherClient& x = program.x;
    const std::uint32_t frame = program.frames[0];
    // No message box: the only window of that title is the test's own backdrop.
    EXPECT_TRUE(holdsFor(
        [&] {
            return x.findWindows(QStringLiteral("Kadrel")) ==
                   std::vector<std::uint32_t>{std::uint32_t(program.desktop.backdrop.winId())};
        },
        300));

    x.showWindow(QRect(200, 200, 800, 700));
    ASSERT_TRUE(sendKeys({"ctrl+shift+F4"}));
    EXPECT_TRUE(waitUntil(
        [&] { return stackIndex(x.stackingOrder(), frame) > stackIndex(x.stackingOrder(), x.window()); }));
    ASSERT_TRUE(waitUntil([&] { return x.hasKeyboard(frame); }));

    // The recording's pause key comes from the same section.
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_TRUE(
        waitUntil([&] { return x.windowName(frame) == QStringLiteral("Kadrel1.02 動画保存>録画中"); }));
    ASSERT_TRUE(sendKeys({"ctrl+shift+F2"}));
    EXPECT_TRUE(
        waitUntil([&] { return x.windowName(frame) == QStringLiteral("Kadrel1.02 動画保存>一時停止中"); }));
}
