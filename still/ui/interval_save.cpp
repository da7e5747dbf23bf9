#include <QThread>

#include "capture_window/ui/frame_window.h"
#include "still/logic/numbered_name.h"
#include "still/ui/capture_commands.h"

// Interval save: the arming from the menu, and the one save that each tick of the dialog runs.

void StillCommands::N2Click() {
    if (!m_state.settings.SaveFolderSet) setDirectory();
    // Timer3 opens the dialog as soon as a folder is known, however it gets set.
    m_form1.Timer3.start();
    m_state.capture.IntervalWindowed = false;
}

void StillCommands::timers() {
    CaptureState& c = m_state.capture;
    const Settings& s = m_state.settings;
    // The client origin is taken before the pause; the frame stays on the screen, its client area
    // see-through, so the grab shows what lies under it.
    const CaptureGeometry g = captureGeometry();
    QThread::msleep(50);
    grabWholeScreen();
    m_form1.CaptureBitmap = copySpan(m_form1.ScreenBitmap, QRect(g.clientOrigin, g.client));

    c.IntervalNumber = firstFreeNumber(s.SaveDirectory, s.IntervalPrefix, c.IntervalNumber);
    saveNumbered(c.WholeScreen ? m_form1.ScreenBitmap : oversize(m_form1.CaptureBitmap), s.IntervalPrefix,
                 c.IntervalNumber);
}
