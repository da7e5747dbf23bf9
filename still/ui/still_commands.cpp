#include "still/ui/still_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QThread>
#include <cerrno>
#include <limits>

#include "core/logic/numbered_name.h"
#include "core/logic/save_format.h"
#include "core/ui/frame_ports.h"
#include "core/ui/screen_capture.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "settings/ui/folder_chooser.h"
#include "still/logic/write_image.h"
#include "still/ui/save_picture_dialog.h"

namespace {
const QString kCannotSave = QStringLiteral("保存できません");
const QString kCannotMakeImage = QStringLiteral("画像を作成できません");
}  // namespace

StillCommands::StillCommands(ProgramState& state, StillFrame& frame, ScreenCapture& capture,
                             SaveFolderChooser& chooser, SavePictureDialog& saveDialog,
                             MessageBoxes& messages)
    : m_state(state),
      m_frame(frame),
      m_capture(capture),
      m_chooser(chooser),
      m_saveDialog(saveDialog),
      m_messages(messages) {
    grabDelay.setInterval(50);
    grabDelay.setSingleShot(true);
    connect(&grabDelay, &QTimer::timeout, this, &StillCommands::takePicture);
    m_chooser.setSaveToKnownFolder([this] { saveToKnownFolder(); });
}

void StillCommands::saveAs() {
    m_frame.window().hide();
    m_frame.setMenuButtonVisible(false);
    m_state.capture.SaveToFolderPending = false;
    grabDelay.start();
}

void StillCommands::saveToFolder() {
    m_state.capture.SaveToFolderPending = true;
    if (m_state.settings.SaveFolderSet)
        saveToKnownFolder();
    else
        askForFolder();
}

void StillCommands::askForFolder() {
    m_frame.window().setEnabled(false);
    window_stack::showOver(&m_chooser, &m_frame.window());
}

void StillCommands::saveToKnownFolder() {
    CaptureState& c = m_state.capture;
    c.DesignatedNumber = firstFreeNumber(m_state.settings.SaveDirectory, m_state.settings.DesignatedPrefix,
                                         c.DesignatedNumber);
    m_frame.window().hide();
    m_frame.setMenuButtonVisible(false);
    grabDelay.start();
}

void StillCommands::copy() {
    m_state.capture.CopyPending = true;
    m_state.capture.SaveToFolderPending = false;
    m_frame.window().hide();
    grabDelay.start();
}

void StillCommands::takePicture() {
    grabDelay.stop();
    m_capture.grabWholeScreen();
    m_frame.setMenuButtonVisible(true);
    m_frame.window().show();
    // Hiding the frame gave the keyboard away; the user carries on where they were.
    window_stack::bringToForeground(&m_frame.window());
    m_capture.grabCaptureRectangle();

    CaptureState& c = m_state.capture;
    const Settings& s = m_state.settings;
    if (c.CopyPending) {
        c.CopyPending = false;
        QImage& image = c.WholeScreen ? m_capture.screenImage : m_capture.captureImage;
        if (!m_capture.scale(image)) return m_messages.message(&m_frame.window(), kCannotMakeImage);
        QGuiApplication::clipboard()->setImage(image);
        return;
    }
    QImage& image = c.WholeScreen ? m_capture.screenImage : m_capture.clipToScreen(m_capture.captureImage);
    if (c.SaveToFolderPending) {
        c.SaveToFolderPending = false;
        return saveNumbered(image, s.DesignatedPrefix, c.DesignatedNumber);
    }
    if (!m_capture.scale(image)) return m_messages.message(&m_frame.window(), kCannotMakeImage);
    Save(image);
}

void StillCommands::saveNumbered(QImage& image, const QString& prefix, std::int32_t& number) {
    const Settings& s = m_state.settings;
    if (!m_capture.scale(image)) return m_messages.message(&m_frame.window(), kCannotMakeImage);
    m_capture.outputImage = image;
    const SaveFormatRow& format = numberedSaveFormat(s.SaveType);
    const std::uint8_t type = saveTypeCode(format.format);
    const QString path = numberedPath(s.SaveDirectory, prefix, number, QLatin1String(format.extension));
    // A failed write keeps the number: the next save tries it again. The system's error of the write
    // that failed says why; a picture refused before any file was touched leaves none.
    errno = 0;
    if (writeimage(m_capture.outputImage, path, type, s.JpegQuality, s.SaveDirectory) !=
        WriteResult::Written) {
        const int error = errno;
        return m_messages.message(&m_frame.window(),
                                  error != 0 ? withCause(kCannotSave, error) : kCannotSave);
    }
    if (number < std::numeric_limits<std::int32_t>::max()) ++number;
}

void StillCommands::Save(const QImage& bitmap) {
    const Settings& s = m_state.settings;
    const SaveFormatRow* format = findSaveFormat(s.SaveType);
    if (format) m_saveDialog.preselect(format->filterIndex, format->suffix());
    const std::optional<QString> path = m_saveDialog.exec(&m_frame.window());
    if (!path || !format) return;
    if (writeimage(bitmap, *path, s.SaveType, s.JpegQuality, s.SaveDirectory) != WriteResult::Written)
        m_messages.error(&m_frame.window(), fileCreationErrorText(*path));
}

// Interval save: the arming from the menu, and the one save that each tick of the dialog runs.

void StillCommands::armIntervalSave() {
    if (!m_state.settings.SaveFolderSet) askForFolder();
    // The dialog opens as soon as a folder is known, however it gets set.
    m_frame.openIntervalDialogOnceFolderKnown();
    m_state.capture.IntervalWindowed = false;
}

void StillCommands::saveIntervalShot() {
    CaptureState& c = m_state.capture;
    const Settings& s = m_state.settings;
    // The client origin is taken before the pause; the frame stays on the screen, its client area
    // see-through, so the grab shows what lies under it.
    const CaptureGeometry g = m_capture.geometry();
    QThread::msleep(50);
    m_capture.grabWholeScreen();
    m_capture.captureImage = copySpan(m_capture.screenImage, QRect(g.clientOrigin, g.client));

    c.IntervalNumber = firstFreeNumber(s.SaveDirectory, s.IntervalPrefix, c.IntervalNumber);
    saveNumbered(c.WholeScreen ? m_capture.screenImage : m_capture.clipToScreen(m_capture.captureImage),
                 s.IntervalPrefix, c.IntervalNumber);
}
