#include "still/ui/interval_saving.h"

#include "core/logic/numbered_name.h"
#include "core/ui/frame_events.h"
#include "core/ui/frame_ports.h"
#include "core/ui/screen_capture.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "settings/ui/folder_chooser.h"
#include "still/ui/numbered_save.h"

IntervalSaving::IntervalSaving(ProgramState& state, StillFrame& frame, ScreenCapture& capture,
                               SaveFolderChooser& chooser, MessageBoxes& messages)
    : m_state(state),
      m_frame(frame),
      m_capture(capture),
      m_chooser(chooser),
      m_messages(messages),
      m_dialog(frame.window().font()) {
    m_shotPause.setInterval(50);
    m_shotPause.setSingleShot(true);
    connect(&m_tick, &QTimer::timeout, this, &IntervalSaving::onTick);
    connect(&m_shotPause, &QTimer::timeout, this, &IntervalSaving::onShotPauseOver);
    connect(&m_dialog, &IntervalSaveDialog::startClicked, this, &IntervalSaving::startRun);
    connect(&m_dialog, &IntervalSaveDialog::closed, this, &IntervalSaving::onDialogClosed);
    // Without a window manager nobody else gives the keyboard back to the frame.
    connect(&m_dialog, &QDialog::rejected, this,
            [this] { window_stack::bringToForeground(&m_frame.window()); });
    connect(&m_chooser, &SaveFolderChooser::folderChosen, this, &IntervalSaving::openDialogIfFolderKnown);
    FrameEvents& events = frame.events();
    connect(&events, &FrameEvents::minimized, this, &IntervalSaving::onFrameMinimized);
    connect(&events, &FrameEvents::restored, this, &IntervalSaving::onFrameRestored);
    connect(&events, &FrameEvents::closeRequested, this, [this] {
        if (m_state.capture.IntervalMode) stop(QStringLiteral("<一定時間保存>を停止しました"));
    });
}

void IntervalSaving::arm() {
    if (!m_state.settings.SaveFolderSet) askForSaveFolder(m_frame, m_chooser);
    m_state.capture.IntervalWindowed = false;
    // However the folder gets known, the dialog opens then; a chooser closed without one leaves
    // the dialog waiting for the next choice.
    m_armed = true;
    openDialogIfFolderKnown();
}

void IntervalSaving::openDialogIfFolderKnown() {
    if (!m_armed || !m_state.settings.SaveFolderSet) return;
    m_armed = false;
    window_stack::setTopmost(&m_frame.window(), true);
    m_state.capture.IntervalMode = true;
    m_frame.refreshLook();
    window_stack::showOver(&m_dialog, &m_frame.window());
    window_stack::setTopmost(&m_dialog, true);
}

void IntervalSaving::startRun() {
    const std::uint16_t intervalMs = m_dialog.intervalMs();
    m_tick.setInterval(intervalMs);
    // A zero interval never ticks, as a stopped timer.
    if (intervalMs > 0) m_tick.start();
    window_stack::setTopmost(&m_dialog, false);
    window_stack::setTopmost(&m_frame.window(), true);
    m_dialog.hide();
    CaptureState& c = m_state.capture;
    c.IntervalMode = true;
    if (c.WholeScreen) {
        m_frame.window().showMinimized();
    } else {
        m_frame.reshape();
        c.IntervalWindowed = true;
        // The keys that move the frame work while it saves.
        window_stack::bringToForeground(&m_frame.window());
    }
    m_shotCount = 0;
}

void IntervalSaving::onTick() {
    // A tick that falls due while an earlier shot is under way (its pause, or its message box) is
    // dropped, so a failing folder shows one box at a time; the next tick after it tries the same
    // number.
    if (m_shotAt) return;
    // The client origin is taken before the pause; the frame stays on the screen, its client area
    // see-through, so the grab shows what lies under it.
    m_shotAt = m_capture.geometry();
    m_shotPause.start();
}

void IntervalSaving::onShotPauseOver() {
    saveShot();
    // Stopped while the save's message box was open: the run is over, nothing more to count.
    if (!m_state.capture.IntervalMode) return;
    const std::optional<int> limit = m_dialog.shotLimit();
    if (!limit || ++m_shotCount < *limit) return;
    // The frame's restore or close ends the run.
    if (m_state.capture.WholeScreen)
        m_frame.window().showNormal();
    else
        m_frame.window().close();
    m_dialog.lockShotLimit();
}

void IntervalSaving::saveShot() {
    CaptureState& c = m_state.capture;
    const Settings& s = m_state.settings;
    const QImage screen = m_capture.grabWholeScreen();
    if (screen.isNull()) {
        // No number is used up; a grab that only waited its turn is tried again at the next tick.
        m_shotAt.reset();
        const QString why = grabFailureText(m_capture.lastFailure());
        if (!why.isEmpty()) m_messages.error(&m_frame.window(), why);
        emit shotFinished();
        return;
    }
    c.IntervalNumber = firstFreeNumber(s.SaveDirectory, s.IntervalPrefix, c.IntervalNumber);
    saveNumbered(c.WholeScreen ? screen : ScreenCapture::clipToScreen(screen, *m_shotAt), s.IntervalPrefix,
                 c.IntervalNumber, s, m_messages, m_frame.window());
    m_shotAt.reset();
    emit shotFinished();
}

void IntervalSaving::onDialogClosed() {
    m_tick.stop();
    window_stack::setTopmost(&m_dialog, false);
    window_stack::setTopmost(&m_frame.window(), m_frame.alwaysOnTop());
    m_state.capture.IntervalMode = false;
    m_frame.refreshLook();
}

void IntervalSaving::onFrameMinimized() {
    const CaptureState& c = m_state.capture;
    if (c.IntervalMode && c.IntervalWindowed && !c.WholeScreen)
        stop(QStringLiteral("<一定時間毎に保存>を停止しました"));
}

void IntervalSaving::onFrameRestored() {
    const CaptureState& c = m_state.capture;
    if (c.IntervalMode && c.WholeScreen) stop(QStringLiteral("一定時間毎に保存>>停止しました"));
}

void IntervalSaving::stop(const QString& message) {
    // A tick whose pause is not over yet still saves its shot, as every tick that fell due does.
    if (m_shotPause.isActive()) {
        m_shotPause.stop();
        saveShot();
    }
    m_dialog.close();
    m_state.capture.IntervalMode = false;
    // The tick stops before the message box, whose event loop would otherwise keep saving.
    m_tick.stop();
    m_frame.reshape();
    if (!m_frame.alwaysOnTop()) window_stack::setTopmost(&m_frame.window(), false);
    m_messages.message(&m_frame.window(), message);
}
