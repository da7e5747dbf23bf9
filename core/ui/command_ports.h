#pragma once

class QWidget;

// The commands of the frame window's menus, carried out by the features. The frame holds these
// interfaces, never the features' classes.

// The settings dialog: the live always-on-top choice.
class SettingsDialogPort {
public:
    virtual ~SettingsDialogPort() = default;
    virtual QWidget* dialog() = 0;
    virtual bool alwaysOnTop() const = 0;
};

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

// The video commands: the menu, the tray menu and the hot keys all come here, and so do the
// recording's own stops (the frame limit) and pauses (a frame that cannot be written).
class RecordingCommandsPort {
public:
    virtual ~RecordingCommandsPort() = default;
    virtual void start() = 0;
    virtual void resume() = 0;
    virtual void pause() = 0;
    // Stops the run and assembles the AVI file.
    virtual void stop() = 0;
};
