#include "capture_window/ui/frame_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QShortcut>

#include "capture_window/ui/help_viewer.h"
#include "capture_window/ui/program_font.h"
#include "core/logic/recording_captions.h"
#include "core/ui/command_ports.h"
#include "platform/system/desktop_session.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"

FrameWindow::FrameWindow(ProgramState& state, FrameServices services)
    : m_state(state), m_services(services), m_screenCapture(services.grabber, state.settings, *this) {
    setWindowTitle(QStringLiteral("Kadrel1.02"));
    setFont(programFont());
    move(335, 330);
    resize(428, 387);

    menuButton = new QPushButton(QStringLiteral("メニュー(Ctrl+A)"), client());
    menuButton->setGeometry(152, 40, 97, 25);
    menuButton->setDefault(true);
    connect(menuButton, &QPushButton::clicked, this, &FrameWindow::openCommandMenu);
    // Enter presses the menu button whatever the mode, as a window's default button does.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, menuButton,
                &QPushButton::click);
    }

    buildCommandMenu();
    // A desktop that tiles what it manages would stretch the frame over its screen: there the frame
    // places itself, unmanaged. Elsewhere on Wayland a window of the desktop's own that takes the
    // keyboard would cover it.
    if (tilesManagedWindows())
        setWindowFlag(Qt::X11BypassWindowManagerHint);
    else if (onWaylandDesktop())
        window_stack::keepTopmost(this);

    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive) onApplicationActivated();
        if (s == Qt::ApplicationInactive) onApplicationDeactivated();
    });
    initialize();
}

FrameWindow::~FrameWindow() {
    if (m_hotkeyRegistered) m_services.hotkeys.unregisterHotkey(kHotkeyFront);
}

void FrameWindow::initialize() {
    reshape();
    m_state.capture.WholeScreen = false;
    m_state.settings.SaveType = saveTypeCode(SaveFormat::Jpeg);
    m_state.settings.SaveFolderSet = false;
    m_state.capture.DesignatedNumber = 1;
    m_state.capture.IntervalNumber = 1;
    m_state.capture.IntervalMode = false;
    if (!m_state.hotkeys.rejected.isEmpty())
        m_services.messages.message(this, rejectedHotkeysText(m_state.hotkeys.rejected));
    registerFrontHotkey();
}

void FrameWindow::registerFrontHotkey() {
    const HotkeyCombination front = m_state.hotkeys[HotkeyAction::Front];
    if (m_frontKey == front) return;
    m_frontKey = front;
    // The old key goes even when the new one fails: it no longer does what the settings say.
    if (m_hotkeyRegistered) m_services.hotkeys.unregisterHotkey(kHotkeyFront);
    m_hotkeyRegistered = m_services.hotkeys.registerHotkey(kHotkeyFront, front.modifiers, front.key);
    // On a Wayland desktop the recording's first start says how the keys are given instead.
    if (!m_hotkeyRegistered && !onWaylandDesktop())
        m_services.messages.message(this, hotkeyFailureText({front}));
}

void FrameWindow::reshape() {
    const bool busy = m_state.capture.busy();
    m_regions = buildFrameRegions(
        {size(), clientOffset(), QSize(clientWidth(), clientHeight()), menuButton->geometry()}, busy);
    applyShape(frameShape(m_regions, busy));
}

void FrameWindow::refreshLook() {
    CaptureState& c = m_state.capture;
    if (c.Recording) {
        // The frame keeps the size the recording started with.
        setClientHeight(c.LastClientHeight);
        setClientWidth(c.LastClientWidth);
        setWindowTitle(kPausedRecordingCaption);
    } else {
        c.LastClientWidth = clientWidth();
        c.LastClientHeight = clientHeight();
        setWindowTitle(frameCaption(c.LastClientWidth, c.LastClientHeight, c.IntervalMode));
    }
    if (const auto pos = menuButtonPosition(QSize(clientWidth(), clientHeight()), menuButton->width())) {
        menuButton->move(*pos);
        menuButton->setVisible(true);
    }
    reshape();
}

void FrameWindow::resizeEvent(QResizeEvent* event) {
    ShapedFrame::resizeEvent(event);
    refreshLook();
}

bool FrameWindow::alwaysOnTop() const { return m_state.live.alwaysOnTop; }

void FrameWindow::onApplicationActivated() { reshape(); }

void FrameWindow::onApplicationDeactivated() {
    const CaptureState& c = m_state.capture;
    if (!c.IntervalMode && !alwaysOnTop() && !c.Recording) applyShape(m_regions.window);
}

void FrameWindow::changeEvent(QEvent* event) {
    ShapedFrame::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const bool minimized = isMinimized();
    if (minimized == m_wasMinimized) return;
    m_wasMinimized = minimized;
    if (minimized)
        emit m_events.minimized();
    else
        emit m_events.restored();
}

void FrameWindow::closeEvent(QCloseEvent* event) {
    // An interval run or a recording stops instead; the next close ends the program.
    if (m_state.capture.busy()) {
        event->ignore();
        emit m_events.closeRequested();
        return;
    }
    event->accept();
    if (m_hotkeyRegistered) m_services.hotkeys.unregisterHotkey(kHotkeyFront);
    m_hotkeyRegistered = false;
    QCoreApplication::quit();
}
