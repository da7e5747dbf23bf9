#pragma once

class QWidget;

// What the frame window needs of the interval-save dialog.
class IntervalDialogPort {
public:
    virtual ~IntervalDialogPort() = default;
    virtual QWidget* dialog() = 0;
    // Stops the saving tick.
    virtual void stopTick() = 0;
};

// What the frame window needs of the settings dialog: the live always-on-top choice.
class SettingsDialogPort {
public:
    virtual ~SettingsDialogPort() = default;
    virtual QWidget* dialog() = 0;
    virtual bool alwaysOnTop() const = 0;
};

// The capture commands of the menu, carried out by the still-image and video parts.
class CaptureCommandsPort {
public:
    virtual ~CaptureCommandsPort() = default;
    virtual void SaveAs1Click() = 0;
    virtual void N1Click() = 0;
    virtual void N2Click() = 0;
    virtual void Copy1Click() = 0;
};

// The print command of the menu.
class PrintCommandPort {
public:
    virtual ~PrintCommandPort() = default;
    virtual void Print1Click() = 0;
};

// The video commands of the menu and the tray menu, carried out by the recording.
class RecordingCommandsPort {
public:
    virtual ~RecordingCommandsPort() = default;
    virtual void N9Click() = 0;   // start
    virtual void N10Click() = 0;  // resume
    virtual void N11Click() = 0;  // pause
    virtual void N12Click() = 0;  // stop and assemble
};
