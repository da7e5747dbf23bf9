// The states of a recording run, the commands each accepts, and how the frame window shows them.
#pragma once

#include <QString>
#include <optional>

enum class RecordingState { Idle, Recording, Paused, Assembling };

enum class RecordingCommand {
    Start,      // the menu item "動画保存" or Ctrl+F
    Pause,      // the tray menu's "一時停止", the pause hot key, a frame file that cannot be written
    Resume,     // the tray menu's "再開", the resume hot key
    TrayPress,  // a left or right button press on the tray icon: pauses and opens the tray menu
    Stop,       // the tray menu's "停止", the stop hot key, the frame limit, closing the frame
    Finished,   // the end of the assembly's clean-up
    Recover,    // frame files kept from an earlier run are made into an AVI file
};

// The state a command leads to, or nothing when the state refuses it. Only an idle program starts
// a run or an assembly of kept frames (a paused run is never restarted), and a run being assembled takes no
// command but its own end: a pause, resume, stop or tray press that arrives during the stop's message box or
// the assembly never resumes capturing into the frames being assembled nor starts a second assembly.
std::optional<RecordingState> nextState(RecordingState state, RecordingCommand command);

enum class CaptionKind { Recording, Paused };

// How the frame window shows a run that is recording or paused.
struct RecordingLook {
    bool recordingFlag;  // the Recording flag of the capture state
    bool timerRunning;   // frameTimer, one frame per tick
    bool windowEnabled;  // frame mode: takes input (so it can be moved while paused)
    CaptionKind caption;
};

// The look of Recording and Paused; nothing for the others. The start and the clean-up set the window
// up themselves, and during Assembling the window keeps the look of the state the stop came from.
std::optional<RecordingLook> lookOf(RecordingState state);
