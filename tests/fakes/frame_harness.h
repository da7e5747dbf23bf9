#pragma once

#include <QTemporaryDir>

#include "capture_window/ui/frame_window.h"
#include "fakes/recording_message_boxes.h"
#include "fakes/settable_clock.h"
#include "fakes/x11_test_support.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/screen_grabber.h"
#include "settings/logic/settings_file.h"

// A frame window whose boxes and documents are recorded, in a program folder of the test's own.
struct FrameHarness {
    FrameHarness() {
        state.settings.ProgramDirectory = state.frameDirectory = state.defaultSaveDirectory =
            dir.path() + QLatin1Char('/');
        state.settingsFile = settingsFilePath(state.settings.ProgramDirectory);
    }

    QTemporaryDir dir;
    ProgramState state;
    RecordingMessageBoxes boxes;
    RecordingDocumentOpener documents;
    GlobalHotkeys hotkeys;
    ScreenGrabber grabber;
    SettableClock clock;
    FrameWindow form1{state, FrameServices{boxes, documents, hotkeys, grabber, clock}};
};
