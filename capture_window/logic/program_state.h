#pragma once

#include "capture_window/logic/capture_state.h"
#include "settings/logic/settings.h"

// Everything the windows share for the life of the process. The start-up creates one;
// a test creates a fresh one for each case.
struct ProgramState {
    Settings settings;
    CaptureState capture;
};
