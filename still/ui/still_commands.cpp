#include "still/ui/still_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <cerrno>
#include <limits>

#include "capture_window/ui/frame_window.h"
#include "core/logic/numbered_name.h"
#include "core/logic/save_format.h"
#include "platform/x11/message_box.h"
#include "platform/x11/screen_grabber.h"
#include "platform/x11/window_stack.h"
#include "settings/ui/folder_chooser.h"
#include "still/logic/write_image.h"
#include "still/ui/save_picture_dialog.h"

namespace {
const QString kCannotSave = QStringLiteral("保存できません");
const QString kCannotMakeImage = QStringLiteral("画像を作成できません");
}  // namespace

StillCommands::StillCommands(ProgramState& state, TForm1& form1, TOKBottomDlg& chooser,
                             ScreenGrabber& grabber, SavePictureDialog& saveDialog, MessageBoxes& messages)
    : m_state(state),
      m_form1(form1),
      m_chooser(chooser),
      m_grabber(grabber),
      m_saveDialog(saveDialog),
      m_messages(messages) {
    connect(&m_form1.Timer1, &QTimer::timeout, this, &StillCommands::Timer1Timer);
    m_chooser.setAppointSave([this] { appointsave(); });
}

void StillCommands::SaveAs1Click() {
    m_form1.hide();
    m_form1.Button1->hide();
    m_state.capture.SaveToFolderPending = false;
    m_form1.Timer1.start();
}

void StillCommands::N1Click() {
    m_state.capture.SaveToFolderPending = true;
    if (m_state.settings.SaveFolderSet)
        appointsave();
    else
        setDirectory();
}

void StillCommands::setDirectory() {
    m_form1.setEnabled(false);
    window_stack::showOver(&m_chooser, &m_form1);
}

void StillCommands::appointsave() {
    CaptureState& c = m_state.capture;
    c.DesignatedNumber = firstFreeNumber(m_state.settings.SaveDirectory, m_state.settings.DesignatedPrefix,
                                         c.DesignatedNumber);
    m_form1.hide();
    m_form1.Button1->hide();
    m_form1.Timer1.start();
}

void StillCommands::Copy1Click() {
    m_state.capture.CopyPending = true;
    m_state.capture.SaveToFolderPending = false;
    m_form1.hide();
    m_form1.Timer1.start();
}

CaptureGeometry StillCommands::captureGeometry() const {
    // The grab holds the primary screen; the frame is placed on it in the same terms.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const PrimaryScreen primary{screen ? screen->geometry() : QRect(),
                                screen ? screen->devicePixelRatio() : 1.0};
    return captureGeometryOnScreen(primary, m_form1.geometry(), m_form1.clientOrigin(),
                                   QSize(m_form1.clientWidth(), m_form1.clientHeight()));
}

void StillCommands::grabWholeScreen() {
    if (!m_grabber.grab(m_form1.ScreenBitmap)) m_form1.ScreenBitmap = QImage();
}

void StillCommands::grabCaptureRectangle() {
    const CaptureGeometry g = captureGeometry();
    m_form1.CaptureBitmap = copySpan(m_form1.ScreenBitmap, QRect(g.clientOrigin, g.client));
}

void StillCommands::grabClientArea() {
    const CaptureGeometry g = captureGeometry();
    const QRect area(g.clientOrigin, g.client);
    if (QRect(QPoint(0, 0), g.screen).contains(area) && m_grabber.grab(m_form1.CaptureBitmap, area)) return;
    grabWholeScreen();
    grabCaptureRectangle();
}

QImage& StillCommands::oversize(QImage& bitmap) {
    bitmap = copySpan(m_form1.ScreenBitmap, clipSpan(captureGeometry()));
    return bitmap;
}

bool StillCommands::stretchimage(QImage& bitmap) {
    return stretchByPercent(bitmap, m_state.settings.ScalePercent);
}

void StillCommands::Timer1Timer() {
    m_form1.Timer1.stop();
    grabWholeScreen();
    m_form1.Button1->show();
    m_form1.show();
    // Hiding the frame gave the keyboard away; the user carries on where they were.
    window_stack::bringToForeground(&m_form1);
    grabCaptureRectangle();

    CaptureState& c = m_state.capture;
    const Settings& s = m_state.settings;
    if (c.CopyPending) {
        c.CopyPending = false;
        QImage& image = c.WholeScreen ? m_form1.ScreenBitmap : m_form1.CaptureBitmap;
        if (!stretchimage(image)) return m_messages.message(&m_form1, kCannotMakeImage);
        QGuiApplication::clipboard()->setImage(image);
        return;
    }
    QImage& image = c.WholeScreen ? m_form1.ScreenBitmap : oversize(m_form1.CaptureBitmap);
    if (c.SaveToFolderPending) {
        c.SaveToFolderPending = false;
        return saveNumbered(image, s.DesignatedPrefix, c.DesignatedNumber);
    }
    if (!stretchimage(image)) return m_messages.message(&m_form1, kCannotMakeImage);
    Save(image);
}

void StillCommands::saveNumbered(QImage& image, const QString& prefix, std::int32_t& number) {
    const Settings& s = m_state.settings;
    if (!stretchimage(image)) return m_messages.message(&m_form1, kCannotMakeImage);
    m_form1.OutputBitmap = image;
    const SaveFormatRow& format = numberedSaveFormat(s.SaveType);
    const std::uint8_t type = saveTypeCode(format.format);
    const QString path = numberedPath(s.SaveDirectory, prefix, number, QLatin1String(format.extension));
    // A failed write keeps the number: the next save tries it again. The system's error of the write
    // that failed says why; a picture refused before any file was touched leaves none.
    errno = 0;
    if (writeimage(m_form1.OutputBitmap, path, type, s.JpegQuality, s.SaveDirectory) !=
        WriteResult::Written) {
        const int error = errno;
        return m_messages.message(&m_form1, error != 0 ? withCause(kCannotSave, error) : kCannotSave);
    }
    if (number < std::numeric_limits<std::int32_t>::max()) ++number;
}

void StillCommands::Save(const QImage& bitmap) {
    const Settings& s = m_state.settings;
    const SaveFormatRow* format = findSaveFormat(s.SaveType);
    if (format) m_saveDialog.preselect(format->filterIndex, format->suffix());
    const std::optional<QString> path = m_saveDialog.exec(&m_form1);
    if (!path || !format) return;
    if (writeimage(bitmap, *path, s.SaveType, s.JpegQuality, s.SaveDirectory) != WriteResult::Written)
        m_messages.error(&m_form1, fileCreationErrorText(*path));
}

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
