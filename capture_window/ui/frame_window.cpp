#include "capture_window/ui/frame_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "capture_window/ui/help_viewer.h"
#include "capture_window/ui/program_font.h"
#include "core/logic/recording_captions.h"
#include "core/ui/command_ports.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"

TForm1::TForm1(ProgramState& state, FrameServices services)
    : m_state(state), m_services(services), m_screenCapture(services.grabber, state.settings, *this) {
    setWindowTitle(QStringLiteral("Kadrel1.02"));
    setFont(programFont());
    move(335, 330);
    resize(428, 387);

    Button1 = new QPushButton(QStringLiteral("メニュー(Ctrl+A)"), client());
    Button1->setGeometry(152, 40, 97, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    // Enter presses the menu button whatever the mode, as a window's default button does.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, Button1, &QPushButton::click);
    }

    Timer3.setInterval(50);
    Timer5.setInterval(100);
    connect(&Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    connect(&Timer5, &QTimer::timeout, this, &TForm1::Timer5Timer);

    buildCommandMenu();
    buildActionList();
    buildTrayMenu();

    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive) ApplicationEvents1Activate();
        if (s == Qt::ApplicationInactive) ApplicationEvents1Deactivate();
    });
    connect(&m_services.hotkeys, &GlobalHotkeys::activated, this, &TForm1::WMHotKey);
    FormCreate();
}

TForm1::~TForm1() {
    if (m_hotkeyRegistered) m_services.hotkeys.unregisterHotkey(kHotkeyFront);
}

void TForm1::FormCreate() {
    alphawindow();
    m_state.capture.WholeScreen = false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenPixels = screen ? screen->geometry().size() * screen->devicePixelRatio() : QSize();
    m_screenCapture.ScreenBitmap = QImage(screenPixels, QImage::Format_RGB32);
    m_screenCapture.CaptureBitmap = QImage();
    m_state.settings.SaveType = saveTypeCode(SaveFormat::Jpeg);
    m_state.settings.SaveFolderSet = false;
    m_state.capture.SaveToFolderPending = false;
    m_screenCapture.OutputBitmap = QImage();
    m_state.capture.DesignatedNumber = 1;
    m_state.capture.IntervalNumber = 1;
    m_state.capture.IntervalMode = false;
    m_state.capture.CopyPending = false;
    if (!m_state.hotkeys.rejected.isEmpty())
        m_services.messages.message(this, rejectedHotkeysText(m_state.hotkeys.rejected));
    const HotkeyCombination& front = m_state.hotkeys[HotkeyAction::Front];
    m_hotkeyRegistered = m_services.hotkeys.registerHotkey(kHotkeyFront, front.modifiers, front.key);
    if (!m_hotkeyRegistered) m_services.messages.message(this, hotkeyFailureText({front}));
}

void TForm1::rebuildShape() {
    const bool busy = m_state.capture.busy();
    m_regions = buildFrameRegions(
        {size(), clientOffset(), QSize(clientWidth(), clientHeight()), Button1->geometry()}, busy);
    applyShape(frameShape(m_regions, busy));
}

void TForm1::alphawindow() { rebuildShape(); }

void TForm1::FormResize() {
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
    if (const auto pos = menuButtonPosition(QSize(clientWidth(), clientHeight()), Button1->width())) {
        Button1->move(*pos);
        Button1->setVisible(true);
    }
    rebuildShape();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    ShapedFrame::resizeEvent(event);
    FormResize();
}

bool TForm1::alwaysOnTop() const { return m_settingsDialog && m_settingsDialog->alwaysOnTop(); }

void TForm1::ApplicationEvents1Activate() { alphawindow(); }

void TForm1::ApplicationEvents1Deactivate() {
    const CaptureState& c = m_state.capture;
    if (!c.IntervalMode && !alwaysOnTop() && !c.Recording) applyShape(m_regions.window);
}

void TForm1::changeEvent(QEvent* event) {
    ShapedFrame::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const bool minimized = isMinimized();
    if (minimized == m_wasMinimized) return;
    m_wasMinimized = minimized;
    if (minimized)
        ApplicationEvents1Minimize();
    else
        ApplicationEvents1Restore();
}

void TForm1::ApplicationEvents1Minimize() {
    const CaptureState& c = m_state.capture;
    if (c.IntervalMode && c.IntervalWindowed && !c.WholeScreen)
        intervalStop(QStringLiteral("<一定時間毎に保存>を停止しました"));
}

void TForm1::ApplicationEvents1Restore() {
    const CaptureState& c = m_state.capture;
    if (c.IntervalMode && c.WholeScreen) intervalStop(QStringLiteral("一定時間毎に保存>>停止しました"));
}

void TForm1::intervalStop(const QString& message) {
    if (m_intervalDialog) m_intervalDialog->dialog()->close();
    m_state.capture.IntervalMode = false;
    // The tick stops before the message box, whose event loop would otherwise keep saving.
    if (m_intervalDialog) m_intervalDialog->stopTick();
    alphawindow();
    if (!alwaysOnTop()) window_stack::setTopmost(this, false);
    m_services.messages.message(this, message);
}

void TForm1::Timer3Timer() {
    if (!m_state.settings.SaveFolderSet) return;
    Timer3.stop();
    window_stack::setTopmost(this, true);
    m_state.capture.IntervalMode = true;
    FormResize();
    if (m_intervalDialog) {
        QWidget* dialog = m_intervalDialog->dialog();
        window_stack::showOver(dialog, this);
        window_stack::setTopmost(dialog, true);
    }
}

void TForm1::WMHotKey(int id) {
    const CaptureState& c = m_state.capture;
    switch (id) {
        case kHotkeyResume:
            window_stack::bringToForeground(this);
            N10->trigger();
            break;
        case kHotkeyPause:
            window_stack::bringToForeground(this);
            N11->trigger();
            break;
        case kHotkeyStop:
            window_stack::bringToForeground(this);
            N12->trigger();
            break;
        case kHotkeyFront:
            // With no taskbar a minimized frame would be lost: the key restores it too.
            if (!c.Recording && !c.IntervalMode) window_stack::restoreToForeground(this);
            break;
        default:
            break;
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (m_state.capture.IntervalMode) {
        event->ignore();
        intervalStop(QStringLiteral("<一定時間保存>を停止しました"));
        return;
    }
    if (m_state.capture.Recording) {
        event->ignore();
        N12->trigger();
        return;
    }
    event->accept();
    m_screenCapture.CaptureBitmap = QImage();
    m_screenCapture.OutputBitmap = QImage();
    m_screenCapture.ScreenBitmap = QImage();
    if (m_hotkeyRegistered) m_services.hotkeys.unregisterHotkey(kHotkeyFront);
    m_hotkeyRegistered = false;
    QCoreApplication::quit();
}
