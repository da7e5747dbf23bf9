#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

#include "fakes/small_disk.h"
#include "fakes/x11_test_support.h"

// A copy of the program, its AVI module and its help page in a fresh folder, so that the settings
// file and everything else it writes are the test's own.
class ProgramRun {
public:
    // program: the executable to copy and start (by default the built kadrel).
    explicit ProgramRun(const QString& program = builtProgram()) {
        const QString bin = qEnvironmentVariable("KADREL_BIN_DIR");
        m_exe = m_dir.path() + QLatin1Char('/') + QFileInfo(program).fileName();
        EXPECT_TRUE(QFile::copy(program, m_exe));
        EXPECT_TRUE(
            QFile::copy(bin + QStringLiteral("/libkadrel_avi.so"), file(QStringLiteral("libkadrel_avi.so"))));
        QDir(m_dir.path()).mkpath(QStringLiteral("Help"));
        QFile::copy(bin + QStringLiteral("/Help/manual.htm"),
                    m_dir.path() + QStringLiteral("/Help/manual.htm"));
    }
    ~ProgramRun() { kill(); }
    // Kills the program at once, and strace with it when it runs under strace, whose tracee would
    // outlive it.
    void kill() {
        const qint64 pid = m_process.processId();
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
        if (pid > 0 && children.open(QIODevice::ReadOnly))
            for (const QByteArray& child : children.readAll().split(' '))
                if (child.toInt() > 0) ::kill(pid_t(child.toInt()), SIGKILL);
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // killAt: a system call of the program's main thread and the call (from 1) that it does not
    // live to make.
    void start(KillPoint killAt = {}) {
        m_process.setWorkingDirectory(m_folder);
        const QStringList strace = killAt.syscall ? straceKillingAt(killAt) : m_tracing;
        if (!strace.isEmpty())
            m_process.start(QStringLiteral("strace"), strace + QStringList{m_exe} + m_arguments);
        else
            m_process.start(m_exe, m_arguments);
        ASSERT_TRUE(m_process.waitForStarted());
    }
    // Starts the program under strace with these arguments from then on.
    void traceWith(const QStringList& strace) { m_tracing = strace; }
    // Starts the program with these arguments from then on.
    void setArguments(const QStringList& arguments) { m_arguments = arguments; }
    // A later start of the copy that hands it a command: its exit code once it has ended.
    int command(const QString& name) {
        QProcess later;
        later.start(m_exe, {QStringLiteral("--command"), name});
        return later.waitForFinished(30000) && later.exitStatus() == QProcess::NormalExit ? later.exitCode()
                                                                                          : -1;
    }
    // Copies the program's files into folder (empty, existing), which is the program's from then on.
    bool moveTo(const QString& folder) {
        for (const QString& name : {QFileInfo(m_exe).fileName(), QStringLiteral("libkadrel_avi.so")})
            if (!QFile::copy(file(name), folder + QLatin1Char('/') + name)) return false;
        m_folder = folder;
        m_exe = file(QFileInfo(m_exe).fileName());
        return true;
    }
    static QString builtProgram() {
        return qEnvironmentVariable("KADREL_BIN_DIR") + QStringLiteral("/kadrel");
    }
    QString exe() const { return m_exe; }
    QString folder() const { return m_folder; }
    QString file(const QString& name) const { return m_folder + QLatin1Char('/') + name; }
    // The running program, for its standard input and output and its process id.
    QProcess& process() { return m_process; }

private:
    QTemporaryDir m_dir;
    QString m_folder = m_dir.path();
    QString m_exe;
    QStringList m_tracing;
    QStringList m_arguments;
    QProcess m_process;
};

// How the frame comes up with no settings file: its caption and its client area on the screen.
inline const QString kStartCaption = QStringLiteral("Kadrel1.02  420 , 360");
inline constexpr QRect kStartClient(339, 353, 420, 360);

// The folder chooser reads a folder's children in the background and shows no sign of it to
// another client: the time such a read takes, before the next key may move through them.
inline void waitForFolderRead() {
    holdsFor([] { return true; }, 400);
}

// The program started over the test's desktop, watched by another X client.
struct ProgramOnBackdrop {
    Desktop desktop;
    ProgramRun run;
    OtherClient x;
    std::vector<std::uint32_t> frames;  // the frame windows found by their caption

    // Brings the desktop up (under a window manager when managed), starts the program and waits
    // until its frame is mapped and the program has the keyboard: the frame, or a box that the
    // start opened over it. Again after the program ended: a restart.
    bool start(bool managed = false, KillPoint killAt = {}) {
        if (!desktop.start(managed)) return false;
        run.start(killAt);
        const std::uint32_t backdrop = x.topLevelOf(std::uint32_t(desktop.backdrop.winId()));
        return waitUntil([&] { return !(frames = x.findWindows(kStartCaption)).empty(); }) &&
               waitUntil([&] { return x.keyboardTopLevel() != 0 && x.keyboardTopLevel() != backdrop; },
                         10000);
    }
};
