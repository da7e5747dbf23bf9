#include <QProcess>

#include "frame_test_fixture.h"

namespace {
// Presses the left button at from, drags to to and releases, as a user would.
bool drag(QPoint from, QPoint to) {
    QProcess xdotool;
    xdotool.start(
        QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
         QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("sleep"), QStringLiteral("0.1"),
         QStringLiteral("mousemove"), QString::number((from.x() + to.x()) / 2),
         QString::number((from.y() + to.y()) / 2), QStringLiteral("sleep"), QStringLiteral("0.1"),
         QStringLiteral("mousemove"), QString::number(to.x()), QString::number(to.y()),
         QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("mouseup"), QStringLiteral("1")});
    waitUntil([&] { return xdotool.state() == QProcess::NotRunning; });
    waitForXIdle();
    return xdotool.exitCode() == 0;
}
}  // namespace

TEST_F(FrameTest, TitleBarMovesAndBorderAndCornerResizeWithoutAWindowManager) {
    showOverBackdrop();
    ASSERT_TRUE(drag(QPoint(335 + 100, 330 + 12), QPoint(335 + 150, 330 + 52)));
    EXPECT_EQ(form.geometry(), QRect(385, 370, 428, 387));

    // Right border, then the bottom-left corner.
    ASSERT_TRUE(drag(QPoint(385 + 426, 370 + 200), QPoint(385 + 426 + 30, 370 + 200)));
    EXPECT_EQ(form.geometry(), QRect(385, 370, 458, 387));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kadrel1.02  450 , 360"));
    ASSERT_TRUE(drag(QPoint(385 + 1, 370 + 385), QPoint(385 + 21, 370 + 385 + 40)));
    EXPECT_EQ(form.geometry(), QRect(405, 370, 438, 427));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kadrel1.02  430 , 400"));
    EXPECT_EQ(form.appliedShape(), form.regions().frameButton);
}

TEST_F(FrameTest, TitleBarMovesAndBorderResizesUnderAWindowManager) {
    showOverBackdrop(true);
    const QRect before = form.geometry();
    ASSERT_TRUE(drag(before.topLeft() + QPoint(100, 12), before.topLeft() + QPoint(160, 62)));
    EXPECT_TRUE(waitUntil([&] { return form.pos() == before.topLeft() + QPoint(60, 50); }))
        << form.pos().x() << "," << form.pos().y();
    const QRect moved = form.geometry();
    ASSERT_TRUE(drag(moved.topLeft() + QPoint(moved.width() - 2, 200),
                     moved.topLeft() + QPoint(moved.width() - 2 + 40, 200)));
    EXPECT_TRUE(waitUntil([&] { return form.width() == moved.width() + 40; })) << form.width();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kadrel1.02  %1 , 360").arg(moved.width() + 40 - 8));
}

namespace {
// A desktop that tiles the windows it manages (sway), told by the variable it sets; set before the
// frame is made.
struct TilingDesktop {
    TilingDesktop() { qputenv("SWAYSOCK", "/run/user/0/sway-ipc.sock"); }
    ~TilingDesktop() { qunsetenv("SWAYSOCK"); }
};
class TilingDesktopFrameTest : private TilingDesktop, public FrameTest {};
}  // namespace

// There the frame is one that no window manager looks after: it stays where it is put even under one,
// its own title bar moves it, and a click gives it the keyboard back from another window.
TEST_F(TilingDesktopFrameTest, TheFramePlacesItselfMovesByItsTitleBarAndTakesTheKeyboardWhenClicked) {
    showOverBackdrop(true);
    EXPECT_EQ(form.geometry(), QRect(335, 330, 428, 387));
    // openbox took no notice of it: a window it manages gets WM_STATE.
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(form.winId()), QStringLiteral("WM_STATE")});
    ASSERT_TRUE(xprop.waitForFinished(30000));
    EXPECT_TRUE(xprop.readAllStandardOutput().contains("not found"));
    QWidget other;
    other.setGeometry(1200, 100, 200, 200);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &other; }));

    ASSERT_TRUE(drag(QPoint(335 + 100, 330 + 12), QPoint(335 + 150, 330 + 52)));
    EXPECT_EQ(form.geometry(), QRect(385, 370, 428, 387));
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &form; }));
}
