#pragma once

#include <QLineEdit>

#include "core/logic/hotkey_settings.h"

// A field that takes a key combination by its press and shows the one it holds. While it has the
// focus it holds the keyboard, so that keys another program or this one has made hot keys reach it
// too, and no shortcut of the program's runs. Tab and Shift+Tab move the focus on, and Esc and Enter
// without a modifier go to the dialog; a modifier alone waits for its key.
class HotkeyField : public QLineEdit {
    Q_OBJECT
public:
    explicit HotkeyField(QWidget* parent = nullptr);

    void setCombination(const HotkeyCombination& combination);

signals:
    // Any other key with the modifiers held, usable or not: the page decides.
    void pressed(HotkeyCombination combination);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void holdKeyboard(bool hold);

    bool m_holdsKeyboard = false;
};
