#include <QApplication>

#include "app/startup.h"
#include "platform/global_hotkey.h"
#include "platform/message_box.h"
#include "platform/shell.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kadrel"));
    // The frame window alone decides when the program ends: it is hidden during captures,
    // and a dialog closed meanwhile must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageBoxes messages;
    DesktopDocumentOpener documents;
    GlobalHotkeys hotkeys;
    Program program(QCoreApplication::applicationDirPath() + QLatin1Char('/'), {messages, documents, hotkeys});
    program.show();
    return QApplication::exec();
}
