#include "capture_window/ui/frame_commands.h"

#include <QAction>
#include <QPushButton>

#include "capture_window/ui/frame_window.h"
#include "core/ui/command_ports.h"
#include "core/ui/frame_events.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/window_stack.h"

FrameCommands::FrameCommands(FrameWindow& frame, const CaptureState& capture, GlobalHotkeys& hotkeys,
                             FrameCommandTargets targets)
    : m_frame(frame), m_capture(capture), m_targets(targets) {
    for (const FrameCommandRow& row : frameCommands()) {
        if (QAction* item = m_frame.menuItem(row.command))
            connect(item, &QAction::triggered, this, [this, c = row.command] { run(c); });
    }
    addShortcuts();
    connect(&hotkeys, &GlobalHotkeys::activated, this, [this](int id) {
        if (id == FrameWindow::kHotkeyFront) runIfAllowed(FrameCommand::BringToFront);
    });
    connect(&m_frame.events(), &FrameEvents::closeRequested, this, [this] {
        if (m_capture.Recording) m_targets.recording.stop();
    });
}

void FrameCommands::addShortcuts() {
    for (const FrameCommandRow& row : frameCommands()) {
        if (!row.keys[0]) continue;
        QList<QKeySequence> keys;
        for (const char* key : row.keys)
            if (key) keys << QKeySequence(QLatin1String(key));
        auto* action = new QAction(&m_frame);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::ApplicationShortcut);
        m_frame.addAction(action);
        connect(action, &QAction::triggered, this, [this, c = row.command] { runIfAllowed(c); });
    }
}

void FrameCommands::runIfAllowed(FrameCommand command) {
    if (runsNow(command, m_capture)) run(command);
}

void FrameCommands::run(FrameCommand command) {
    using C = FrameCommand;
    switch (command) {
        case C::OpenMenu:
            return m_frame.menuButton->click();
        case C::SaveAs:
            return m_targets.captures.saveAs();
        case C::SaveToFolder:
            return m_targets.captures.saveToFolder();
        case C::SaveAtIntervals:
            return m_targets.captures.armIntervalSave();
        case C::Copy:
            return m_targets.captures.copy();
        case C::StartRecording:
            return m_targets.recording.start();
        case C::Print:
            return m_targets.print.print();
        case C::WholeScreen:
            return m_frame.toggleWholeScreen();
        case C::SaveTypeJpeg:
        case C::SaveTypeBmp:
        case C::SaveTypeGif:
        case C::SaveTypePng:
            return m_frame.chooseSaveType(command);
        case C::ChooseSaveFolder:
            return m_frame.openDialog(&m_targets.folderChooser);
        case C::Settings:
            return m_frame.openDialog(&m_targets.settingsDialog);
        case C::About:
            return m_frame.showAbout();
        case C::Help:
            return m_frame.showHelp();
        case C::StepUp:
        case C::StepLeft:
        case C::StepDown:
        case C::StepRight:
        case C::StepLarger:
        case C::StepSmaller:
            return m_frame.keyboardStep(frameCommand(command).step);
        case C::BringToFront:
            // With no taskbar a minimized frame would be lost: the key restores it too.
            return window_stack::restoreToForeground(&m_frame);
    }
}
