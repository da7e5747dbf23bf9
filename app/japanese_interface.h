#pragma once

#include <QFont>
#include <QLocale>
#include <QTranslator>

// What every window of the program shares while it lives: the program's font, in Qt's own
// windows too (menus, message boxes, file and print dialogs), and Qt's own texts, dates and sizes in
// Japanese.
// All of it is put back as it was when it goes.
class JapaneseInterface {
public:
    JapaneseInterface();
    ~JapaneseInterface();
    JapaneseInterface(const JapaneseInterface&) = delete;
    JapaneseInterface& operator=(const JapaneseInterface&) = delete;

private:
    QFont m_previousFont;
    QLocale m_previousLocale;
    QTranslator m_translator;
    // Qt's Japanese texts come with the package qt6-translations-l10n; without it Qt's own
    // dialogs speak English.
    bool m_translated = false;
};
