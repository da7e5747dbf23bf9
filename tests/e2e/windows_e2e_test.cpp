// The program's windows as a user meets them: real keys and clicks, with a window manager
// (openbox) and without one.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "fakes/test_files.h"
#include "program_run.h"

namespace {

constexpr std::uint32_t kNormalState = 1;
constexpr std::uint32_t kIconicState = 3;

// The program over the test's backdrop, with or without a window manager.
class ProgramWindowsBase {
protected:
    void startManager(bool managed) {
        ASSERT_TRUE(program.desktop.start(managed)) << "openbox is needed for this test";
    }
    // Started, and placed where a window manager puts it.
    bool startProgram() {
        if (!program.start(program.desktop.managed())) return false;
        frame = program.frames.front();
        if (!waitUntil(
                [&] { return program.x.wmState(frame) == kNormalState || !program.desktop.managed(); }))
            return false;
        placedFrame();
        return true;
    }
    // The frame's place once it holds still: a window manager may move a window it has just mapped.
    QRect placedFrame() {
        QRect g;
        waitUntil(
            [&] {
                g = program.x.rootGeometryOf(frame);
                return holdsFor([&] { return program.x.rootGeometryOf(frame) == g; }, 150);
            },
            5000);
        return g;
    }
    // A window of the title has the keyboard, for the keys that follow; or, with shown false, none
    // is mapped.
    bool windowShown(const char* title, bool shown = true) {
        if (shown) return program.x.waitForKeyboard(QString::fromUtf8(title));
        return waitUntil([&] { return program.x.findWindows(QString::fromUtf8(title)).empty(); });
    }
    // A dialog is given a dialog's buttons: a window manager that reads its size hints offers neither
    // maximize nor resize (openbox still draws its maximize button, disabled, and an iconify button,
    // which it takes away from no dialog).
    void expectFixedDialog(const char* title) {
        if (!program.desktop.managed()) return;
        const auto backdrop = std::uint32_t(program.desktop.backdrop.winId());  // titled too
        std::vector<std::uint32_t> shown = program.x.findWindows(QString::fromUtf8(title));
        std::erase(shown, backdrop);
        ASSERT_FALSE(shown.empty()) << title;
        for (const std::uint32_t window : shown) {
            QStringList actions;
            EXPECT_TRUE(waitUntil([&] { return !(actions = program.x.allowedActions(window)).isEmpty(); }));
            EXPECT_TRUE(actions.contains(QStringLiteral("_NET_WM_ACTION_CLOSE"))) << title;
            for (const char* refused :
                 {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"})
                EXPECT_FALSE(actions.contains(QString::fromLatin1(refused))) << title << ": " << refused;
        }
    }
    // Ctrl+A opens the command menu, so the frame has the keyboard; Escape closes the menu again.
    void expectMenuOnCtrlA() {
        const std::size_t before = program.x.popups().size();
        ASSERT_TRUE(sendKeys({"ctrl+a"}));
        EXPECT_TRUE(waitUntil([&] { return program.x.popups().size() == before + 1; }));
        ASSERT_TRUE(sendKeys({"Escape"}));
        EXPECT_TRUE(waitUntil([&] { return program.x.popups().size() == before; }));
    }
    QString file(const QString& name) const { return program.run.file(name); }
    // Watches the window titled title from its appearance until it stands above the frame or goes;
    // whether it stood above the frame.
    bool aboveFrameWhileShown(const char* title) {
        bool seen = false, above = false;
        waitUntil(
            [&] {
                const std::vector<std::uint32_t> shown = program.x.findWindows(QString::fromUtf8(title));
                if (shown.empty()) return seen;
                seen = true;
                const std::vector<std::uint32_t> order = program.x.clientStackingOrder();
                above = stackIndex(order, shown.front()) > stackIndex(order, frame);
                return above;
            },
            60000);
        return above;
    }

    ProgramOnBackdrop program;
    std::uint32_t frame = 0;
};

// Each test runs once without a window manager and once under openbox.
class ProgramWindows : public ::testing::TestWithParam<bool>, protected ProgramWindowsBase {
protected:
    void SetUp() override { startManager(GetParam()); }
};

INSTANTIATE_WITH_AND_WITHOUT_WINDOW_MANAGER(ProgramWindows);

// Only a window manager minimizes windows.
class ProgramUnderOpenbox : public ::testing::Test, protected ProgramWindowsBase {
protected:
    void SetUp() override { startManager(true); }
};

}  // namespace

TEST_P(ProgramWindows, SettingsAndIntervalDialogsWorkByKeysAndGiveTheKeyboardBack) {
    ASSERT_TRUE(startProgram());
    // The dialog opens on its pages' tabs; two Tabs reach the scale, whose text the focus selects.
    ASSERT_TRUE(sendKeys({"ctrl+v"}));
    ASSERT_TRUE(windowShown("設定"));
    expectFixedDialog("設定");
    ASSERT_TRUE(sendKeys({"Tab", "Tab", "5", "0", "Return"}));
    ASSERT_TRUE(windowShown("設定", false));
    EXPECT_TRUE(
        waitUntil([&] { return fileBytes(file(QStringLiteral("kadrel.ini"))).contains("power=50\r\n"); }));
    expectMenuOnCtrlA();

    const QByteArray stored = fileBytes(file(QStringLiteral("kadrel.ini")));
    ASSERT_TRUE(sendKeys({"ctrl+v"}));
    ASSERT_TRUE(windowShown("設定"));
    ASSERT_TRUE(sendKeys({"Tab", "Tab", "7", "Escape"}));
    ASSERT_TRUE(windowShown("設定", false));
    EXPECT_EQ(fileBytes(file(QStringLiteral("kadrel.ini"))), stored);
    expectMenuOnCtrlA();

    // Down steps the interval from 5,000 ms to 2,000 ms; Enter starts the interval save; the frame
    // has the keyboard while it saves.
    ASSERT_TRUE(sendKeys({"ctrl+x"}));
    ASSERT_TRUE(windowShown("一定時間ごとに保存"));
    expectFixedDialog("一定時間ごとに保存");
    ASSERT_TRUE(sendKeys({"Down", "Down", "Down", "Down", "Down", "Down", "Return"}));
    ASSERT_TRUE(windowShown("一定時間ごとに保存", false));
    const QRect before = program.x.rootGeometryOf(frame);
    ASSERT_TRUE(sendKeys({"ctrl+alt+l"}));
    EXPECT_TRUE(waitUntil(
        [&] { return program.x.rootGeometryOf(frame).topLeft() == before.topLeft() + QPoint(1, 0); }));
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(file(QStringLiteral("一定時間ごとに保存1.jpg"))); }));
}

TEST_P(ProgramWindows, AlwaysOnTopHoldsThroughACaptureAndSaveAsSpeaksJapanese) {
    ASSERT_TRUE(writeFile(program.run.file(QStringLiteral("kadrel.ini")), "[image]\r\nupto=1\r\n"));
    ASSERT_TRUE(startProgram());
    const auto above = [&] {
        return program.x.netWmState(frame).contains(QStringLiteral("_NET_WM_STATE_ABOVE"));
    };
    ASSERT_TRUE(waitUntil(above));
    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(file(QStringLiteral("指定先に保存1.jpg"))); }));
    // The capture is over once the frame has the keyboard back; from then on it stays above.
    ASSERT_TRUE(waitUntil([&] { return program.x.hasKeyboard(frame); }));
    EXPECT_TRUE(waitUntil(above));
    EXPECT_TRUE(holdsFor(above, 300));

    // Qt's own dialogs speak the program's language.
    ASSERT_TRUE(sendKeys({"ctrl+s"}));
    EXPECT_TRUE(windowShown("名前を付けて保存"));
    ASSERT_TRUE(sendKeys({"Escape"}));
    EXPECT_TRUE(windowShown("名前を付けて保存", false));
    expectMenuOnCtrlA();
}

TEST_F(ProgramUnderOpenbox, AFrameRestoredFromMinimizedStaysRestoredAcrossCapturesAndCtrlF4RestoresIt) {
    ASSERT_TRUE(startProgram());
    // The frame's own minimize button, left of its close button in the title bar.
    const auto minimize = [&] {
        const QRect g = placedFrame();
        ASSERT_TRUE(clickAt(QPoint(g.right() - 35, g.top() + 13)));
        ASSERT_TRUE(waitUntil([&] { return program.x.wmState(frame) == kIconicState; }));
    };
    minimize();
    // Restored the way a taskbar restores it.
    program.x.activate(frame);
    ASSERT_TRUE(waitUntil([&] { return program.x.wmState(frame) == kNormalState; }));
    const std::uint32_t managerFrame = program.x.topLevelOf(frame);  // the capture's hide ends it
    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(file(QStringLiteral("指定先に保存1.jpg"))); }));
    // Back from the capture (in a frame the manager made anew) restored, and it stays so.
    const auto restored = [&] {
        return program.x.wmState(frame) == kNormalState && program.x.topLevelOf(frame) != managerFrame;
    };
    EXPECT_TRUE(waitUntil(restored));
    EXPECT_TRUE(holdsFor(restored, 300));

    minimize();
    ASSERT_TRUE(sendKeys({"ctrl+F4"}));
    EXPECT_TRUE(waitUntil([&] { return program.x.wmState(frame) == kNormalState; }));
    expectMenuOnCtrlA();
}

// Always on top, the frame at its default place: the windows of a recording's stop each stand above
// the frame while they are up, and the keyboard comes back to the frame. Frames at 300 % keep the
// assembly and the re-compression on the screen long enough to be seen.
TEST_P(ProgramWindows, TheStopsWindowsStandAboveATopmostFrameAndGiveTheKeyboardBack) {
    ASSERT_TRUE(writeFile(file(QStringLiteral("kadrel.ini")), "[image]\r\nupto=1\r\npower=300\r\n"));
    ASSERT_TRUE(startProgram());
    ASSERT_TRUE(sendKeys({"ctrl+f"}));
    ASSERT_TRUE(
        waitUntil([&] { return QFile::exists(file(QStringLiteral("kadrel00AVISAVE25.bmp"))); }, 30000));
    ASSERT_TRUE(sendKeys({"ctrl+F3"}));
    ASSERT_TRUE(windowShown("Kadrel"));  // the stop box
    // The keys that bring each window up, typed into the window that has the keyboard then while
    // the test watches.
    const struct {
        const char* title;
        const char* typedInto;
        QStringList keys;
    } kWindows[] = {{"Form4", "Kadrel", {"Return"}},
                    {"ビデオの圧縮", nullptr, {}},
                    {"進行状況", "ビデオの圧縮", {"Down", "Return"}}};
    for (const auto& window : kWindows) {
        if (window.typedInto) {
            ASSERT_TRUE(windowShown(window.typedInto));
            expectFixedDialog(window.typedInto);
            ASSERT_TRUE(QProcess::startDetached(QStringLiteral("xdotool"), QStringList{"key"} + window.keys));
        }
        EXPECT_TRUE(aboveFrameWhileShown(window.title)) << window.title;
    }
    ASSERT_TRUE(windowShown("進行状況", false));
    ASSERT_TRUE(windowShown("Kadrel1.02  420 , 360"));
    expectMenuOnCtrlA();
}

// A desktop where xdg-open finds no program for the page: the help opens in the program's own
// viewer, over the frame, which has the keyboard back once the viewer closes.
TEST_P(ProgramWindows, HelpOpensInTheProgramsOwnViewerWhereNoProgramTakesThePage) {
    QTemporaryDir tools;
    const QString opener = tools.filePath(QStringLiteral("xdg-open"));
    ASSERT_TRUE(writeFile(opener, "#!/bin/sh\nexit 3\n"));
    ASSERT_TRUE(QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), tools.path() + QLatin1Char(':') + environment.value("PATH"));
    program.run.process().setProcessEnvironment(environment);
    ASSERT_TRUE(startProgram());
    // The menu's last item is the help submenu; its second item opens the page.
    ASSERT_TRUE(sendKeys({"ctrl+a", "Up", "Right", "Down", "Return"}));
    ASSERT_TRUE(windowShown("Kadrel 1.02 ヘルプ"));
    const std::uint32_t viewer = program.x.findWindows(QStringLiteral("Kadrel 1.02 ヘルプ")).front();
    EXPECT_EQ(program.x.transientFor(viewer), frame);
    ASSERT_TRUE(sendKeys({"Escape"}));
    ASSERT_TRUE(windowShown("Kadrel 1.02 ヘルプ", false));
    expectMenuOnCtrlA();
}

// A desktop that tiles what it manages (sway, known by SWAYSOCK) would stretch the frame over the
// screen: there no window manager takes the frame on, openbox neither; it stays where it is put, its
// own title bar moves it, and a press on it takes the keyboard back from another window.
TEST_P(ProgramWindows, OnATilingDesktopTheFramePlacesItselfMovesAndTakesTheKeyboardBack) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SWAYSOCK"), QStringLiteral("/run/user/0/sway-ipc.sock"));
    program.run.process().setProcessEnvironment(environment);
    ASSERT_TRUE(program.start(program.desktop.managed()));
    frame = program.frames.front();
    EXPECT_EQ(program.x.wmState(frame), 0u);
    EXPECT_EQ(program.x.rootGeometryOf(frame), QRect(335, 330, 428, 387));
    program.x.showWindow(QRect(1200, 100, 200, 200));
    program.x.focusWindow();
    ASSERT_TRUE(waitUntil([&] { return !program.x.hasKeyboard(frame); }));

    ASSERT_TRUE(dragFrom(QPoint(435, 342), QPoint(485, 382)));
    EXPECT_TRUE(waitUntil([&] { return program.x.rootGeometryOf(frame) == QRect(385, 370, 428, 387); }));
    EXPECT_TRUE(waitUntil([&] { return program.x.hasKeyboard(frame); }));
    expectMenuOnCtrlA();
}
