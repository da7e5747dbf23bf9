// The built program, started from a folder of the test's own and driven through the X server.
#include <gtest/gtest.h>

#include <QFile>

#include "fakes/test_files.h"
#include "program_run.h"

namespace {

QRgb rgb(const QImage& image, QPoint p) { return image.pixel(p) & 0xffffff; }
QRgb picture(QPoint p) { return Backdrop::colorAt(p.x(), p.y()).rgb() & 0xffffff; }

// Another program's window comes over the frame, then the key brings the frame back above it.
bool keyRaisesFrameAboveAnotherWindow(OtherClient& x, std::uint32_t frame, const char* key) {
    OtherClient other;
    other.showWindow(QRect(200, 200, 800, 700));
    const auto frameAbove = [&](bool above) {
        return waitUntil([&] {
            const std::vector<std::uint32_t> order = x.stackingOrder();
            return above ==
                   (stackIndex(order, x.topLevelOf(frame)) > stackIndex(order, x.topLevelOf(other.window())));
        });
    };
    return frameAbove(false) && sendKeys({key}) && frameAbove(true);
}
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

// fluxbox holds Ctrl+F1 to Ctrl+F12. The start's box says where to choose another key: the user opens
// the settings with Ctrl+V, presses another key into the hot-key page and presses Enter; the key
// brings the frame to the front at once, and the next start shows no box.
TEST(ProgramStart, UnderFluxboxAFrontKeyPressedIntoTheSettingsReplacesTheOneItHolds) {
    ProgramOnBackdrop program;
    ASSERT_TRUE(program.desktop.startUnderFluxbox()) << "fluxbox is needed for this test";
    OtherClient& x = program.x;
    const auto boxes = [&] {
        std::vector<std::uint32_t> found = x.findWindows(QStringLiteral("Kadrel"));
        std::erase(found, std::uint32_t(program.desktop.backdrop.winId()));
        return found;
    };
    std::vector<std::uint32_t> frames;
    const auto frameHasKeyboard = [&] {
        return waitUntil([&] { return !(frames = x.findWindows(kStartCaption)).empty(); }) &&
               waitUntil([&] { return x.hasKeyboard(frames[0]); });
    };
    program.run.start();
    ASSERT_TRUE(waitUntil([&] { return !boxes().empty() && x.hasKeyboard(boxes()[0]); }));
    ASSERT_TRUE(sendKeys({"Return"}));
    ASSERT_TRUE(frameHasKeyboard());

    // The dialog opens on its tabs: Right goes to its last page, Tab to the front key's field.
    ASSERT_TRUE(sendKeys({"ctrl+v"}));
    ASSERT_TRUE(x.waitForKeyboard(QStringLiteral("設定")));
    ASSERT_TRUE(sendKeys({"Right", "Right", "Right", "Right", "Tab", "ctrl+shift+F4", "Return"}));
    ASSERT_TRUE(waitUntil([&] { return x.findWindows(QStringLiteral("設定")).empty(); }));
    EXPECT_TRUE(fileBytes(program.run.file(QStringLiteral("kadrel.ini")))
                    .contains("\r\n[hotkey]\r\nfront=Ctrl+Shift+F4\r\n"));
    EXPECT_TRUE(keyRaisesFrameAboveAnotherWindow(x, frames[0], "ctrl+shift+F4"));

    program.run.kill();
    program.run.start();
    ASSERT_TRUE(frameHasKeyboard());
    EXPECT_TRUE(holdsFor([&] { return boxes().empty(); }, 300));
    EXPECT_TRUE(keyRaisesFrameAboveAnotherWindow(x, frames[0], "ctrl+shift+F4"));
}
