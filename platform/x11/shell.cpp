#include "platform/x11/shell.h"

#include <QFileInfo>
#include <QProcess>

void DesktopDocumentOpener::open(const QString& path, std::function<void()> failed) {
    auto* opener = new QProcess;
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({path});
    opener->setWorkingDirectory(QFileInfo(path).absolutePath());
    // No pipes: a viewer that xdg-open starts may write long after nobody reads.
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
    QObject::connect(opener, &QProcess::finished, &m_receiver,
                     [failed](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0) failed();
                     });
    QObject::connect(opener, &QProcess::errorOccurred, &m_receiver,
                     [opener, failed](QProcess::ProcessError e) {
                         if (e != QProcess::FailedToStart) return;
                         opener->deleteLater();
                         failed();
                     });
    opener->start();
}
