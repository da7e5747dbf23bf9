#include "video/ui/recording_tray_menu.h"

#include <QAction>

RecordingTrayMenu::RecordingTrayMenu(const HotkeySet& hotkeys) : m_hotkeys(hotkeys) {
    addAction(QStringLiteral("一時停止中"))->setEnabled(false);
    m_resume = addAction(QString());
    m_pause = addAction(QString());
    m_stop = addAction(QString());
    for (HotkeyAction action : {HotkeyAction::Resume, HotkeyAction::Pause, HotkeyAction::Stop})
        showHotkey(action, true);
}

void RecordingTrayMenu::showHotkey(HotkeyAction action, bool registered) {
    const struct {
        HotkeyAction action;
        QAction* item;
        const char16_t* caption;
    } kItems[] = {{HotkeyAction::Resume, m_resume, u"再開"},
                  {HotkeyAction::Pause, m_pause, u"一時停止"},
                  {HotkeyAction::Stop, m_stop, u"停止"}};
    for (const auto& entry : kItems) {
        if (entry.action != action) continue;
        QString text = QString::fromUtf16(entry.caption);
        // The shortcut texts name the hot keys, whichever the settings file chose.
        if (registered) text += QLatin1Char('\t') + m_hotkeys[action].text();
        entry.item->setText(text);
    }
}
