#include "settings/ui/hotkey_field.h"

#include <QKeyEvent>
#include <QWindow>

namespace {
bool isModifierKey(int key) {
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_Mode_switch:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_unknown:
            return true;
        default:
            return false;
    }
}
}  // namespace

HotkeyField::HotkeyField(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void HotkeyField::setCombination(const HotkeyCombination& combination) { setText(combination.text()); }

bool HotkeyField::event(QEvent* event) {
    // Every key is the field's own rather than a shortcut's.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void HotkeyField::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (isModifierKey(key)) return;
    if (!(modifiers & ~Qt::KeypadModifier) &&
        (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter))
        return event->ignore();
    emit pressed({modifiers, Qt::Key(key)});
}

void HotkeyField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // Selected text would look as if typing replaced it.
    deselect();
    holdKeyboard(true);
}

void HotkeyField::focusOutEvent(QFocusEvent* event) {
    holdKeyboard(false);
    QLineEdit::focusOutEvent(event);
}

void HotkeyField::hideEvent(QHideEvent* event) {
    holdKeyboard(false);
    QLineEdit::hideEvent(event);
}

void HotkeyField::holdKeyboard(bool hold) {
    QWindow* handle = window()->windowHandle();
    if (!handle || hold == m_holdsKeyboard) return;
    // Without the grab the window system would hand a hot key to whoever registered it.
    m_holdsKeyboard = handle->setKeyboardGrabEnabled(hold) && hold;
}
