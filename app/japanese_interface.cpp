#include "app/japanese_interface.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>

#include "capture_window/ui/program_font.h"

JapaneseInterface::JapaneseInterface() : m_previousFont(QApplication::font()) {
    QApplication::setFont(programFont());
    // Dates, sizes and numbers in the program's windows and Qt's own read as on a Japanese desktop.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    // The program speaks Japanese whatever the user's locale is, so Qt's dialogs do as well.
    m_translated = m_translator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (m_translated) QCoreApplication::installTranslator(&m_translator);
}

JapaneseInterface::~JapaneseInterface() {
    if (m_translated) QCoreApplication::removeTranslator(&m_translator);
    QApplication::setFont(m_previousFont);
    QLocale::setDefault(m_previousLocale);
}
