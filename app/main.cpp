#include <QApplication>

#include "app/startup.h"
#include "platform/global_hotkey.h"
#include "platform/message_box.h"
#include "platform/screen_grabber.h"
#include "platform/shell.h"
#include "still/ui/print_command.h"
#include "still/ui/save_picture_dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kadrel"));
    // The frame window alone decides when the program ends: it is hidden during captures,
    // and a dialog closed meanwhile must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageBoxes messages;
    DesktopDocumentOpener documents;
    GlobalHotkeys hotkeys;
    ScreenGrabber grabber;
    QtSavePictureDialog saveDialog;
    QtPrintDialog printDialog;
    Program program(QCoreApplication::applicationDirPath() + QLatin1Char('/'),
                    {messages, documents, hotkeys, grabber, saveDialog, printDialog});
    program.show();
    return QApplication::exec();
}
