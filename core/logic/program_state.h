#pragma once

#include "core/logic/capture_state.h"
#include "core/logic/hotkey_settings.h"
#include "core/logic/settings.h"

// The settings dialog's choices that other windows follow at once, even before OK: as its controls stand
// while it is open, else as loaded.
struct LiveChoices {
    bool alwaysOnTop = false;
    std::int32_t printPercent = 100;
    bool frameLimitEnabled = false;
};

// Everything the windows share for the life of the process. The start-up creates one;
// a test creates a fresh one for each case.
struct ProgramState {
    Settings settings;
    CaptureState capture;
    LiveChoices live;
    // The global hot keys, from the settings file's [hotkey] section, read once at the start.
    HotkeySet hotkeys = defaultHotkeys();
    // The folder of a recording's frame files, ending with the path separator.
    QString frameDirectory;
    // The settings file every reader and writer uses, chosen at the start with frameDirectory.
    QString settingsFile;
    // The save folder while the settings file names none.
    QString defaultSaveDirectory;
};
