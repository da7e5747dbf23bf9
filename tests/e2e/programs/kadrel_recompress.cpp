// The program with a way to reach re-compression before it has a recording command: it starts as
// kadrel does (the same services and windows, the AVI module looked for in its own folder), and
// each line on standard input names an AVI file that it writes with TQzAvi from grabs of the screen
// and finishes with Compress on, as the end of a recording does. The codec dialog, or the warning
// when the module is missing, then comes up in front of the user. "finished" on standard output
// says Finish has returned. For the whole-program tests only; it is never installed.
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "app/desktop_services.h"
#include "capture_window/ui/frame_window.h"
#include "video/ui/avi_writer.h"

namespace {

constexpr int kFrames = 10;

// Writes the recording named path and offers its re-compression.
void recordAndFinish(const QString& path, Program& program, DesktopServices& services) {
    TQzAvi avi(program.Form1.get(), services.messages, services.codecs, services.avi);
    avi.setFileName(path);
    avi.setFrameRate(10);
    if (avi.Open()) {
        QImage screen;
        for (int i = 0; i < kFrames; ++i)
            if (services.grabber.grab(screen)) avi.AddFrame(screen);
    }
    avi.Finish();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kadrel"));
    QApplication::setQuitOnLastWindowClosed(false);

    DesktopServices services;
    Program program(QCoreApplication::applicationDirPath() + QLatin1Char('/'), services.services());
    program.show();

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, got);
        // The dialogs run nested event loops: no second file starts while one is finishing.
        input.setEnabled(false);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QString path = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            recordAndFinish(path, program, services);
            std::printf("finished\n");
            std::fflush(stdout);
        }
        input.setEnabled(true);
    });
    return QApplication::exec();
}
