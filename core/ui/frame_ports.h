#pragma once

#include <QSize>

#include "core/logic/hotkey_settings.h"

class FrameEvents;
class QString;
class QWidget;

// What each feature needs of the capture frame. The frame window implements all of them; a feature
// holds only its own, never the window's class. window() is the frame as a window: the owner of the
// feature's boxes and dialogs, and what it hides, shows, enables, captions and stacks.

// The still-picture, print and interval-save commands.
class StillFrame {
public:
    virtual ~StillFrame() = default;
    virtual QWidget& window() = 0;
    // The menu button stays out of the pictures.
    virtual void setMenuButtonVisible(bool visible) = 0;
    // Its minimising, restoring and refused closes, which end an interval run.
    virtual FrameEvents& events() = 0;
    // Rebuilds the frame's shape for the current mode.
    virtual void reshape() = 0;
    // Puts the size, caption, menu button and shape back as the mode wants them.
    virtual void refreshLook() = 0;
    virtual bool alwaysOnTop() const = 0;
};

// The video recording.
class RecordingFrame {
public:
    virtual ~RecordingFrame() = default;
    virtual QWidget& window() = 0;
    virtual QSize clientSize() const = 0;
    virtual void reshape() = 0;
    virtual void refreshLook() = 0;
    virtual bool alwaysOnTop() const = 0;
};

// The settings dialog and the folder chooser.
class SettingsFrame {
public:
    virtual ~SettingsFrame() = default;
    virtual QWidget& window() = 0;
    virtual QSize clientSize() const = 0;
    virtual void setClientSize(QSize size) = 0;
    // Checks the menu's item of a save-type code (1..4).
    virtual void checkSaveTypeItem(int code) = 0;
    // The code of the menu's checked save-type item.
    virtual int checkedSaveTypeItem() const = 0;
    virtual void setFolderItemCaption(const QString& caption) = 0;
    // Registers the front hot key of the state's hot keys in place of the one before, when it is
    // another; one that cannot be registered is reported as at the start.
    virtual void registerFrontHotkey() = 0;
};
