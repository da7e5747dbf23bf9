#pragma once

#include <QTemporaryDir>

#include "capture_window/ui/frame_commands.h"
#include "capture_window/ui/frame_window.h"
#include "core/ui/command_ports.h"
#include "fakes/recording_message_boxes.h"
#include "fakes/settable_clock.h"
#include "fakes/x11_test_support.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/screen_grabber.h"
#include "settings/logic/settings_file.h"

// The features' commands, which the frame's own tests leave undone.
struct IgnoredFeatureCommands final : CaptureCommandsPort, PrintCommandPort, RecordingCommandsPort {
    void saveAs() override {}
    void saveToFolder() override {}
    void armIntervalSave() override {}
    void copy() override {}
    void print() override {}
    void start() override {}
    void resume() override {}
    void pause() override {}
    void stop() override {}
};

// What a frame window and the whole program take from the window system in a test: the boxes and
// the documents recorded, the hot keys and the grab real.
struct FrameTestServices {
    FrameServices frameServices() { return {boxes, documents, hotkeys, grabber, clock}; }
    RecordingMessageBoxes boxes;
    RecordingDocumentOpener documents;
    GlobalHotkeys hotkeys;
    ScreenGrabber grabber;
    SettableClock clock;
};

// A frame window with its keys, whose boxes and documents are recorded, in a program folder of the test's
// own.
struct FrameHarness : FrameTestServices {
    FrameHarness() {
        state.settings.ProgramDirectory = state.frameDirectory = state.defaultSaveDirectory =
            dir.path() + QLatin1Char('/');
        state.settingsFile = settingsFilePath(state.settings.ProgramDirectory);
    }

    QTemporaryDir dir;
    ProgramState state;
    FrameWindow form1{state, frameServices()};
    IgnoredFeatureCommands features;
    QWidget otherDialog;
    FrameCommands commands{form1, state.capture, hotkeys,
                           FrameCommandTargets{features, features, features, otherDialog, otherDialog}};
};
