#pragma once

// The frame's commands that the features carry out. FrameCommands holds these interfaces, never the
// features' classes.

// The still-picture commands.
class CaptureCommandsPort {
public:
    virtual ~CaptureCommandsPort() = default;
    virtual void saveAs() = 0;
    virtual void saveToFolder() = 0;
    virtual void armIntervalSave() = 0;
    virtual void copy() = 0;
};

// The print command.
class PrintCommandPort {
public:
    virtual ~PrintCommandPort() = default;
    virtual void print() = 0;
};

// The video commands: the frame's menu, keys and close come here; the recording's tray menu, hot keys,
// own stops (the frame limit) and pauses (a frame that cannot be written) call the same commands.
class RecordingCommandsPort {
public:
    virtual ~RecordingCommandsPort() = default;
    virtual void start() = 0;
    virtual void resume() = 0;
    virtual void pause() = 0;
    // Stops the run and assembles the AVI file.
    virtual void stop() = 0;
};
