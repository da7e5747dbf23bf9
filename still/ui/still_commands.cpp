#include "still/ui/still_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <utility>

#include "core/logic/numbered_name.h"
#include "core/logic/save_format.h"
#include "core/ui/frame_ports.h"
#include "core/ui/screen_capture.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "settings/ui/folder_chooser.h"
#include "still/logic/write_image.h"
#include "still/ui/interval_saving.h"
#include "still/ui/numbered_save.h"
#include "still/ui/save_picture_dialog.h"

StillCommands::StillCommands(ProgramState& state, StillFrame& frame, ScreenCapture& capture,
                             SaveFolderChooser& chooser, SavePictureDialog& saveDialog,
                             MessageBoxes& messages, IntervalSaving& intervalSaving)
    : m_state(state),
      m_frame(frame),
      m_capture(capture),
      m_chooser(chooser),
      m_saveDialog(saveDialog),
      m_messages(messages),
      m_intervalSaving(intervalSaving) {
    m_grabDelay.setInterval(m_capture.frameLeaveDelayMs(50));
    m_grabDelay.setSingleShot(true);
    connect(&m_grabDelay, &QTimer::timeout, this, [this] { takePicture(m_grabTask); });
    connect(&m_chooser, &SaveFolderChooser::folderChosen, this, [this] {
        if (std::exchange(m_saveWaitsForFolder, false)) saveToKnownFolder();
    });
    connect(&m_chooser, &SaveFolderChooser::closedWithoutFolder, this,
            [this] { m_saveWaitsForFolder = false; });
}

void StillCommands::saveAs() {
    m_frame.window().hide();
    m_frame.setMenuButtonVisible(false);
    grabLater(CaptureTask::SaveAs);
}

void StillCommands::saveToFolder() {
    if (m_state.settings.SaveFolderSet) return saveToKnownFolder();
    m_saveWaitsForFolder = true;
    askForSaveFolder(m_frame, m_chooser);
}

void StillCommands::saveToKnownFolder() {
    CaptureState& c = m_state.capture;
    c.DesignatedNumber = firstFreeNumber(m_state.settings.SaveDirectory, m_state.settings.DesignatedPrefix,
                                         c.DesignatedNumber);
    m_frame.window().hide();
    m_frame.setMenuButtonVisible(false);
    grabLater(CaptureTask::SaveToFolder);
}

void StillCommands::copy() {
    m_frame.window().hide();
    grabLater(CaptureTask::Copy);
}

void StillCommands::armIntervalSave() { m_intervalSaving.arm(); }

void StillCommands::grabLater(CaptureTask task) {
    m_grabTask = task;
    m_grabDelay.start();
}

void StillCommands::takePicture(CaptureTask task) {
    const QImage screen = m_capture.grabWholeScreen();
    m_frame.setMenuButtonVisible(true);
    m_frame.window().show();
    // Hiding the frame gave the keyboard away; the user carries on where they were.
    window_stack::bringToForeground(&m_frame.window());
    if (screen.isNull()) {
        const QString why = grabFailureText(m_capture.lastFailure());
        if (!why.isEmpty()) m_messages.error(&m_frame.window(), why);
        return;
    }

    CaptureState& c = m_state.capture;
    const Settings& s = m_state.settings;
    const QString cannotMakeImage = QStringLiteral("画像を作成できません");
    if (task == CaptureTask::Copy) {
        // The copy is not clipped to the screen.
        QImage image = c.WholeScreen ? screen : m_capture.captureRectangle(screen);
        if (!m_capture.scale(image)) return m_messages.message(&m_frame.window(), cannotMakeImage);
        QGuiApplication::clipboard()->setImage(image);
        return;
    }
    QImage image = c.WholeScreen ? screen : m_capture.clipToScreen(screen);
    if (task == CaptureTask::SaveToFolder)
        return saveNumbered(image, s.DesignatedPrefix, c.DesignatedNumber, s, m_messages, m_frame.window());
    if (!m_capture.scale(image)) return m_messages.message(&m_frame.window(), cannotMakeImage);
    saveAsFile(image);
}

void StillCommands::saveAsFile(const QImage& bitmap) {
    const Settings& s = m_state.settings;
    const SaveFormatRow* format = findSaveFormat(s.SaveType);
    if (format) m_saveDialog.preselect(format->filterIndex, format->suffix());
    const std::optional<QString> path = m_saveDialog.exec(&m_frame.window());
    if (!path || !format) return;
    if (writeimage(bitmap, *path, s.SaveType, s.JpegQuality, s.SaveDirectory) != WriteResult::Written)
        m_messages.error(&m_frame.window(), fileCreationErrorText(*path));
}
