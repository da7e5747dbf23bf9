#include <QApplication>

#include "app/desktop_services.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kadrel"));
    // The frame window alone decides when the program ends: it is hidden during captures,
    // and a dialog closed meanwhile must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    DesktopServices services;
    Program program(QCoreApplication::applicationDirPath() + QLatin1Char('/'), services.services());
    program.show();
    return QApplication::exec();
}
