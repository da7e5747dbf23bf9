#include "fakes/small_disk.h"

#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <csignal>

namespace {

bool run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

int fillFolder(const QString& folder) {
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::Append | QIODevice::Unbuffered)) return 1;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) {
    }
    const QByteArray byte(1, 'f');
    while (filler.write(byte) == 1) {
    }
    return 0;
}

}  // namespace

SmallDisk::SmallDisk(qint64 bytes, Kind kind) {
    const QByteArray mountPoint = QFile::encodeName(m_dir.path());
    if (!m_dir.isValid()) return;
    if (kind == Kind::Tmpfs) {
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        m_mounted = ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, options.constData()) == 0;
        return;
    }
    const QString image = m_imageDir.filePath(QStringLiteral("disk.img"));
    QFile file(image);
    m_mounted = m_imageDir.isValid() && file.open(QIODevice::WriteOnly) && file.resize(bytes) &&
                run(QStringLiteral("mkfs.ext4"), {"-q", "-F", "-m", "40", image}) &&
                run(QStringLiteral("mount"), {"-o", "loop", image, m_dir.path()});
}

SmallDisk::~SmallDisk() {
    const QByteArray mountPoint = QFile::encodeName(m_dir.path());
    // The loop device of an ext4 image goes with its last mount.
    if (m_mounted && ::umount2(mountPoint.constData(), 0) != 0) ::umount2(mountPoint.constData(), MNT_DETACH);
}

void SmallDisk::fill() const { fillFolder(path()); }

bool SmallDisk::fillAsUser() const {
    const QByteArray folder = QFile::encodeName(path());
    struct statvfs disk {};
    return ::chmod(folder.constData(), 0777) == 0 && runAsNobody(fillFolder, path()) == 0 &&
           ::statvfs(folder.constData(), &disk) == 0 && disk.f_bavail == 0 && disk.f_bfree > 0;
}

QStringList straceKillingAt(KillPoint killAt) {
    const QString call = QString::fromLatin1(killAt.syscall);
    QStringList args = {"-qq",
                        "-o",
                        "/dev/null",
                        "-e",
                        "trace=" + call,
                        "-e",
                        QString("inject=%1:signal=KILL:when=%2").arg(call).arg(killAt.nth)};
    if (!killAt.path.isEmpty()) args << "-P" << killAt.path;
    return args;
}

int runAsNobody(int (*body)(const QString&), const QString& argument, KillPoint killAt) {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) return -1;
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
            ::_exit(125);
        if (killAt.syscall) ::raise(SIGSTOP);  // until the tracer holds it
        ::_exit(body(argument));
    }
    int status = 0;
    QProcess tracer;
    if (killAt.syscall) {
        if (::waitpid(child, &status, WUNTRACED) != child || !WIFSTOPPED(status)) return -1;
        tracer.start(QStringLiteral("strace"), straceKillingAt(killAt) << "-p" << QString::number(child));
        QFile proc(QString("/proc/%1/status").arg(child));
        const auto traced = [&] {
            const bool known = proc.open(QIODevice::ReadOnly) && !proc.readAll().contains("TracerPid:\t0\n");
            proc.close();
            return known;
        };
        if (tracer.waitForStarted())
            while (!traced() && !tracer.waitForFinished(2)) {
            }
        ::kill(child, SIGCONT);
    }
    const bool ended = ::waitpid(child, &status, 0) == child;
    tracer.waitForFinished();
    if (!ended) return -1;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
