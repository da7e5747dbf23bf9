#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/desktop_services.h"
#include "platform/system/command_socket.h"
#include "platform/system/desktop_session.h"

namespace {

// The running copy answers at once; a copy that does not is stuck in something the user sees.
constexpr int kAnswerTimeoutMs = 5000;

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void tell(const QString& text) { std::fputs(text.toLocal8Bit().constData(), stderr); }

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = parseCommandLine(argumentsOf(argc, argv));
    if (!line.valid) {
        tell(commandLineUsage());
        return 2;
    }
    const QByteArray socketName = commandSocketName(qEnvironmentVariable("DISPLAY"));
    if (line.command) {
        const QString name = remoteCommandName(*line.command);
        switch (sendCommandLine(socketName, name.toLatin1(), kAnswerTimeoutMs)) {
            case CommandDelivery::Taken:
                return 0;
            case CommandDelivery::NoListener:
                if (startsProgram(*line.command)) break;
                tell(QStringLiteral("kadrel: no Kadrel runs on this desktop to take \"%1\"\n").arg(name));
                return 1;
            case CommandDelivery::Refused:
            case CommandDelivery::Failed:
                tell(QStringLiteral("kadrel: the running Kadrel did not take \"%1\"\n").arg(name));
                return 1;
        }
    }

    chooseX11Platform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kadrel"));
    // The frame window alone decides when the program ends: it is hidden during captures,
    // and a dialog closed meanwhile must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    DesktopServices services;
    Program program(QCoreApplication::applicationDirPath() + QLatin1Char('/'), services.services());
    // The first copy on the desktop takes the commands of later starts; the answer goes back before
    // the command runs, which may open a box.
    CommandListener listener([&program](const QByteArray& text) {
        const std::optional<RemoteCommand> command = remoteCommandNamed(QString::fromLatin1(text));
        if (!command) return false;
        QTimer::singleShot(0, qApp, [&program, c = *command] { program.runCommand(c); });
        return true;
    });
    listener.listen(socketName);
    program.show(line.command);
    return QApplication::exec();
}
