#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>

#include "capture_window/ui/help_viewer.h"
#include "core/logic/recording_captions.h"
#include "fakes/test_files.h"
#include "frame_test_fixture.h"
#include "platform/x11/window_stack.h"

namespace {
QRgb screenPixel(const QImage& screen, QPoint p) { return screen.pixel(p) & 0xffffff; }
QRgb backdropPixel(QPoint p) { return Backdrop::colorAt(p.x(), p.y()).rgb() & 0xffffff; }
}  // namespace

TEST_F(FrameTest, StartsWithSizeCaptionAndSeeThroughClientWithButtonIsland) {
    showOverBackdrop();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kadrel1.02  420 , 360"));
    EXPECT_EQ(form.geometry(), QRect(335, 330, 428, 387));
    EXPECT_EQ(form.menuButton->geometry(), QRect(420 / 2 - 97 / 2, 36, 97, 25));

    const QImage screen = grabScreen();
    const QPoint origin = form.clientOrigin();
    ASSERT_EQ(origin, QPoint(339, 353));
    // The desktop shows through the client area, its corners included...
    for (QPoint p : {QPoint(5, 100), QPoint(0, 0), QPoint(419, 359), QPoint(300, 300)})
        EXPECT_EQ(screenPixel(screen, origin + p), backdropPixel(origin + p)) << p.x() << "," << p.y();
    // ...but not through the title bar, the border or the button island.
    const QPoint button = origin + form.menuButton->geometry().center();
    for (QPoint p : {button, QPoint(400, 335), QPoint(337, 600), QPoint(760, 600), QPoint(500, 715)})
        EXPECT_NE(screenPixel(screen, p), backdropPixel(p)) << p.x() << "," << p.y();
    // Just outside the window the desktop is untouched.
    EXPECT_EQ(screenPixel(screen, QPoint(334, 500)), backdropPixel(QPoint(334, 500)));
}

TEST_F(FrameTest, ResizeMovesCaptionAndButtonByTheTwoRules) {
    showOverBackdrop();
    struct Case {
        QSize client;
        QPoint button;
    } const cases[] = {
        {{250, 70}, {90, 11}}, {{251, 70}, {77, 7}}, {{250, 69}, {77, 7}}, {{600, 200}, {252, 20}}};
    for (const Case& c : cases) {
        form.resize(c.client +
                    QSize(2 * ShapedFrame::kBorder, 2 * ShapedFrame::kBorder + ShapedFrame::kTitleBar));
        waitForXIdle();
        EXPECT_EQ(form.windowTitle(),
                  QStringLiteral("Kadrel1.02  %1 , %2").arg(c.client.width()).arg(c.client.height()));
        EXPECT_EQ(form.menuButton->pos(), c.button) << c.client.width() << "x" << c.client.height();
        // The shape holds the button where it now is, in window coordinates.
        const QRect island = form.menuButton->geometry().translated(ShapedFrame::clientOffset());
        EXPECT_TRUE(form.appliedShape().contains(island));
        EXPECT_FALSE(form.appliedShape().contains(QPoint(island.left() - 1, island.top() - 1)));
    }
    EXPECT_EQ(state.capture.LastClientWidth, 600);
    EXPECT_EQ(state.capture.LastClientHeight, 200);
}

TEST_F(FrameTest, BusyModesLeaveButtonOutAndRefuseShortcuts) {
    showOverBackdrop();
    state.capture.IntervalMode = true;
    form.refreshLook();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kadrel1.02  420 , 360一定時間ごとに保存"));
    EXPECT_EQ(form.appliedShape(), form.regions().frame);
    EXPECT_EQ(form.regions().frameButton, QRegion(0, 0, 1, 1));
    const QImage screen = grabScreen();
    const QPoint button = form.clientOrigin() + form.menuButton->geometry().center();
    EXPECT_EQ(screenPixel(screen, button), backdropPixel(button));

    // Command keys are refused; the move keys still work during interval saving.
    const QPoint before = form.pos();
    ASSERT_TRUE(sendKeys({"ctrl+m", "ctrl+g", "ctrl+alt+l"}));
    EXPECT_FALSE(state.capture.WholeScreen);
    EXPECT_EQ(state.settings.SaveType, saveTypeCode(SaveFormat::Jpeg));
    EXPECT_EQ(form.pos(), before + QPoint(1, 0));

    // While recording even the move keys are refused, and a resize snaps back.
    state.capture.IntervalMode = false;
    state.capture.Recording = true;
    ASSERT_TRUE(sendKeys({"ctrl+alt+l", "shift+o"}));
    EXPECT_EQ(form.pos(), before + QPoint(1, 0));
    form.resize(500, 500);
    EXPECT_EQ(QSize(form.clientWidth(), form.clientHeight()), QSize(420, 360));
    EXPECT_EQ(form.windowTitle(), kPausedRecordingCaption);
    EXPECT_EQ(form.appliedShape(), form.regions().frame);
}

TEST_F(FrameTest, DeactivationMakesFrameOpaqueUnlessAlwaysOnTop) {
    showOverBackdrop();
    OtherClient other;
    other.showWindow(QRect(1500, 50, 100, 100));
    other.focusWindow();
    ASSERT_TRUE(waitUntil([] { return QGuiApplication::applicationState() == Qt::ApplicationInactive; }));
    EXPECT_EQ(form.appliedShape(), QRegion(form.rect()));
    const QPoint inside = form.clientOrigin() + QPoint(10, 200);
    EXPECT_NE(screenPixel(grabScreen(), inside), backdropPixel(inside));

    window_stack::bringToForeground(&form);
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &form; }));
    EXPECT_EQ(form.appliedShape(), form.regions().frameButton);

    state.live.alwaysOnTop = true;
    other.focusWindow();
    ASSERT_TRUE(waitUntil([] { return QGuiApplication::applicationState() == Qt::ApplicationInactive; }));
    EXPECT_EQ(form.appliedShape(), form.regions().frameButton);
}

// A capture hides the frame and shows it again with the keyboard: its title bar is drawn active,
// and inactive once another program has the keyboard.
TEST_F(FrameTest, TitleBarFollowsTheKeyboardFocusThroughAHideAndShow) {
    showOverBackdrop();
    const QPoint bar = form.pos() + QPoint(form.width() / 2 + 40, ShapedFrame::kBorder + 3);
    const auto barIs = [&](QPalette::ColorGroup group, QPalette::ColorRole role) {
        const QRgb color = form.palette().color(group, role).rgb() & 0xffffff;
        return waitUntil([&] { return screenPixel(grabScreen(), bar) == color; });
    };
    form.hide();
    waitForXIdle();
    form.show();
    window_stack::bringToForeground(&form);
    EXPECT_TRUE(barIs(QPalette::Active, QPalette::Highlight));
    OtherClient other;
    other.showWindow(QRect(1500, 50, 100, 100));
    other.focusWindow();
    EXPECT_TRUE(barIs(QPalette::Inactive, QPalette::Dark));
}

TEST_F(FrameTest, CtrlF4RaisesTheFrameUnlessBusy) {
    showOverBackdrop();
    OtherClient other;
    other.showWindow(QRect(300, 300, 600, 500));
    const auto frameId = static_cast<std::uint32_t>(form.winId());
    ASSERT_GT(stackIndex(other.stackingOrder(), other.window()), stackIndex(other.stackingOrder(), frameId));

    state.capture.Recording = true;
    ASSERT_TRUE(sendKeys({"ctrl+F4"}));
    EXPECT_GT(stackIndex(other.stackingOrder(), other.window()), stackIndex(other.stackingOrder(), frameId));

    state.capture.Recording = false;
    ASSERT_TRUE(sendKeys({"ctrl+F4"}));
    EXPECT_TRUE(waitUntil([&] {
        return stackIndex(other.stackingOrder(), frameId) > stackIndex(other.stackingOrder(), other.window());
    }));
    EXPECT_TRUE(boxes.messages.isEmpty());
}

// A mistyped front key is named, and its default, held by another program, is reported once.
TEST(FrameHotkey, AMistypedEntryIsNamedAndAKeyHeldByAnotherClientReportedOnce) {
    OtherClient other;
    ASSERT_TRUE(other.grabCtrlKey("F4"));
    QTemporaryDir dir;
    ProgramState state;
    state.hotkeys = resolveHotkeys({QStringLiteral("Ctrl+Shift+F44")});
    FrameTestServices services;
    FrameWindow form{state, services.frameServices()};
    IgnoredFeatureCommands features;
    FrameCommands commands{form, state.capture, services.hotkeys, {features, features, features, form, form}};
    EXPECT_EQ(services.boxes.messages,
              (QStringList{QStringLiteral("kadrel.ini の [hotkey] に使えない指定があります\n"
                                          "front=Ctrl+Shift+F44\nこれらの操作には既定のキーを使います。"),
                           QStringLiteral("ホットキー登録に失敗しました\nCtrl+F4 を使えません。\n"
                                          "設定(Ctrl+V)の「ホットキー」ページで別のキーを選べます。")}));
    // The program runs on: its shortcuts work, and nothing more is reported.
    form.show();
    form.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &form; }));
    ASSERT_TRUE(sendKeys({"ctrl+m", "ctrl+F4"}));
    EXPECT_TRUE(state.capture.WholeScreen);
    EXPECT_EQ(services.boxes.messages.size(), 2);
}

TEST_F(FrameTest, KeyboardStepsGoOneOneTenTenAndResetAfterAPause) {
    showOverBackdrop();
    clock.now = 0;  // keys come at once, whatever the machine's load, until a pause moves the clock
    const auto pauseTyping = [&] { *clock.now += KeyboardStepper::kPauseMs; };
    const QPoint start = form.pos();
    ASSERT_TRUE(sendKeys({"shift+l", "shift+l", "shift+l", "shift+l"}));
    EXPECT_EQ(form.pos(), start + QPoint(22, 0));
    pauseTyping();
    ASSERT_TRUE(sendKeys({"shift+l", "shift+l", "shift+j", "shift+j"}));
    // Right 1, 1, then left 1 (a new direction) and at once 10.
    EXPECT_EQ(form.pos(), start + QPoint(22 + 2 - 11, 0));
    pauseTyping();

    const QSize outer = form.size();
    ASSERT_TRUE(sendKeys({"shift+o"}));
    EXPECT_EQ(form.size(), outer + QSize(1, 1));
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("Kadrel1.02  %1 , %2").arg(outer.width() - 7).arg(outer.height() - 26));
    EXPECT_EQ(form.pos(), start + QPoint(13, 0));
}

TEST_F(FrameTest, MenuOpensBelowButtonOneButtonWidthLeft) {
    showOverBackdrop();
    QPoint shownAt;
    QTimer::singleShot(200, [&] {
        shownAt = form.commandMenu->pos();
        form.commandMenu->close();
    });
    ASSERT_TRUE(sendKeys({"ctrl+a"}, 0));
    waitUntil([&] { return !shownAt.isNull(); });
    const QRect b = form.menuButton->geometry();
    EXPECT_EQ(shownAt, form.clientOrigin() + QPoint(b.left() - 97, b.bottom() + 1));
}

TEST_F(FrameTest, FormatKeysCheckOneItemAndWholeScreenToggles) {
    showOverBackdrop();
    const std::tuple<const char*, SaveFormat, QAction*> keys[] = {
        {"ctrl+g", SaveFormat::Gif, form.menuItem(FrameCommand::SaveTypeGif)},
        {"ctrl+b", SaveFormat::Bmp, form.menuItem(FrameCommand::SaveTypeBmp)},
        {"ctrl+p", SaveFormat::Png, form.menuItem(FrameCommand::SaveTypePng)},
        {"ctrl+j", SaveFormat::Jpeg, form.menuItem(FrameCommand::SaveTypeJpeg)}};
    for (const auto& [key, format, item] : keys) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(sendKeys({key}));
        EXPECT_EQ(state.settings.SaveType, saveTypeCode(format));
        for (QAction* other :
             {form.menuItem(FrameCommand::SaveTypeJpeg), form.menuItem(FrameCommand::SaveTypeBmp),
              form.menuItem(FrameCommand::SaveTypeGif), form.menuItem(FrameCommand::SaveTypePng)})
            EXPECT_EQ(other->isChecked(), other == item);
    }
    ASSERT_TRUE(sendKeys({"ctrl+m"}));
    EXPECT_TRUE(state.capture.WholeScreen);
    EXPECT_TRUE(form.menuItem(FrameCommand::WholeScreen)->isChecked());
    ASSERT_TRUE(sendKeys({"ctrl+m"}));
    EXPECT_FALSE(state.capture.WholeScreen);
    EXPECT_FALSE(form.menuItem(FrameCommand::WholeScreen)->isChecked());
}

TEST_F(FrameTest, HelpOpensThePageOrShowsItItselfOrSaysItCannot) {
    form.menuItem(FrameCommand::Help)->trigger();
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("ヘルプを表示できません")});
    EXPECT_TRUE(documents.opened.isEmpty());
    QDir(dir.path()).mkpath(QStringLiteral("Help"));
    const QString page = dir.path() + QStringLiteral("/Help/manual.htm");
    const QString other = dir.path() + QStringLiteral("/Help/other.htm");
    ASSERT_TRUE(writeFile(page, "<a href=\"other.htm\">other</a>") && writeFile(other, "other"));
    form.menuItem(FrameCommand::Help)->trigger();
    EXPECT_EQ(documents.opened, QStringList{page});
    EXPECT_EQ(boxes.messages.size(), 1);
    // No program takes the page: the program shows it itself, and follows its links.
    showOverBackdrop();
    documents.fail = true;
    form.menuItem(FrameCommand::Help)->trigger();
    EXPECT_EQ(boxes.messages.size(), 1);
    ASSERT_TRUE(form.helpViewer() && waitUntil([&] { return form.helpViewer()->isActiveWindow(); }));
    ASSERT_TRUE(sendKeys({"Tab", "Return"}));
    EXPECT_EQ(form.helpViewer()->browser()->source(), QUrl::fromLocalFile(other));
}

TEST_F(FrameTest, CloseDuringIntervalSavingIsRefusedAndPassedOnAndTheNextCloseEnds) {
    showOverBackdrop();
    QStringList events;
    FrameEvents& e = form.events();
    QObject::connect(&e, &FrameEvents::closeRequested, [&] { events << QStringLiteral("close"); });
    QObject::connect(&e, &FrameEvents::minimized, [&] { events << QStringLiteral("minimized"); });
    QObject::connect(&e, &FrameEvents::restored, [&] { events << QStringLiteral("restored"); });
    state.capture.IntervalMode = true;
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    form.showMinimized();
    form.showMinimized();
    form.showNormal();
    EXPECT_EQ(events, QStringList({QStringLiteral("close"), QStringLiteral("minimized"),
                                   QStringLiteral("restored")}));
    state.capture.IntervalMode = false;
    EXPECT_TRUE(form.close());
    EXPECT_EQ(events.size(), 3);
}
