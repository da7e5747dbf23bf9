#include "settings/ui/hotkey_page.h"

#include <QLabel>

#include "platform/x11/global_hotkey.h"
#include "settings/ui/hotkey_field.h"
#include "settings/ui/page_layout.h"

HotkeyPage::HotkeyPage(GlobalHotkeys& hotkeys, QWidget* parent) : QWidget(parent), m_hotkeys(hotkeys) {
    int noteWidth = 0;
    for (HotkeyNote n : {HotkeyNote::HeldElsewhere, HotkeyNote::Unusable, HotkeyNote::SameAsAnother})
        noteWidth = std::max(noteWidth, fontMetrics().horizontalAdvance(hotkeyNoteText(n)));
    for (int i = 0; i < kHotkeyActionCount; ++i) {
        const auto action = HotkeyAction(i);
        m_fields[std::size_t(i)] = new HotkeyField(this);
        m_notes[std::size_t(i)] = new QLabel(this);
        // The notes come and go without moving the fields.
        m_notes[std::size_t(i)]->setFixedWidth(noteWidth);
        connect(m_fields[std::size_t(i)], &HotkeyField::pressed, this,
                [this, action](const HotkeyCombination& pressed) { take(action, pressed); });
    }

    QVBoxLayout* column;
    pageColumn(this, column);
    QGridLayout* grid;
    column->addWidget(pageGroup(QStringLiteral("枠を一番手前に出す"), grid));
    grid->addWidget(field(HotkeyAction::Front), 0, 0);
    grid->addWidget(note(HotkeyAction::Front), 0, 1);
    column->addWidget(pageGroup(QStringLiteral("動画保存中"), grid));
    const std::pair<HotkeyAction, const char16_t*> rows[] = {
        {HotkeyAction::Resume, u"再開"}, {HotkeyAction::Pause, u"一時停止"}, {HotkeyAction::Stop, u"停止"}};
    for (int row = 0; const auto& [action, caption] : rows) {
        grid->addWidget(new QLabel(QString::fromUtf16(caption)), row, 0);
        grid->addWidget(field(action), row, 1);
        grid->addWidget(note(action), row, 2);
        ++row;
    }
    auto* hint = new QLabel(QStringLiteral("欄をクリックして、使うキーを押してください。"));
    hint->setWordWrap(true);
    column->addWidget(hint);
    column->addStretch();
    setKeys(m_keys);
}

void HotkeyPage::setKeys(const HotkeyKeys& keys) {
    m_keys = keys;
    for (int i = 0; i < kHotkeyActionCount; ++i) {
        field(HotkeyAction(i))->setCombination(keys[std::size_t(i)]);
        showNote(HotkeyAction(i), holderNote(keys[std::size_t(i)]));
    }
}

void HotkeyPage::take(HotkeyAction action, const HotkeyCombination& pressed) {
    if (const HotkeyNote refusal = refusalOf(m_keys, action, pressed); refusal != HotkeyNote::None)
        return showNote(action, refusal);
    m_keys[std::size_t(action)] = pressed;
    field(action)->setCombination(pressed);
    showNote(action, holderNote(pressed));
}

void HotkeyPage::showNote(HotkeyAction action, HotkeyNote n) {
    note(action)->setText(hotkeyNoteText(n));
    note(action)->setToolTip(hotkeyNoteTip(n));
}

HotkeyNote HotkeyPage::holderNote(const HotkeyCombination& key) {
    return m_hotkeys.heldElsewhere(key.modifiers, key.key) ? HotkeyNote::HeldElsewhere : HotkeyNote::None;
}
