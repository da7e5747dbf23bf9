#pragma once

#include <QMenu>

#include "core/logic/hotkey_settings.h"

class QAction;

// The tray icon's menu during a run: "一時停止中" (never enabled), then "再開", "一時停止" and
// "停止". Each of the three names its hot key while that key is registered; a key another program
// holds does something else, so its item does not name it.
class RecordingTrayMenu : public QMenu {
    Q_OBJECT
public:
    explicit RecordingTrayMenu(const HotkeySet& hotkeys);

    void showHotkey(HotkeyAction action, bool registered);

    QAction* resumeItem() const { return m_resume; }
    QAction* pauseItem() const { return m_pause; }
    QAction* stopItem() const { return m_stop; }

private:
    const HotkeySet& m_hotkeys;
    QAction* m_resume;
    QAction* m_pause;
    QAction* m_stop;
};
