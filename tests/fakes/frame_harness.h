#pragma once

#include <QTemporaryDir>

#include "capture_window/ui/frame_window.h"
#include "fakes/recording_message_boxes.h"
#include "fakes/x11_test_support.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/screen_grabber.h"
#include "settings/logic/settings_file.h"

// What a frame window and the whole program take from the window system in a test: the boxes and
// the documents recorded, the hot keys and the grab real.
struct FrameTestServices {
    FrameServices frameServices() { return {boxes, documents, hotkeys, grabber}; }
    RecordingMessageBoxes boxes;
    RecordingDocumentOpener documents;
    GlobalHotkeys hotkeys;
    ScreenGrabber grabber;
};

// A frame window whose boxes and documents are recorded, in a program folder of the test's own.
struct FrameHarness : FrameTestServices {
    FrameHarness() {
        state.settings.ProgramDirectory = state.frameDirectory = state.defaultSaveDirectory =
            dir.path() + QLatin1Char('/');
        state.settingsFile = settingsFilePath(state.settings.ProgramDirectory);
    }

    QTemporaryDir dir;
    ProgramState state;
    FrameWindow form1{state, frameServices()};
};
