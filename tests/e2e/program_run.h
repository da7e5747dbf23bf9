#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// A copy of the program and its help page in a fresh folder, so that the settings file
// and everything else it writes are the test's own.
class ProgramRun {
public:
    ProgramRun() {
        const QString bin = qEnvironmentVariable("KADREL_BIN_DIR");
        EXPECT_TRUE(QFile::copy(bin + QStringLiteral("/kadrel"), exe()));
        QDir(m_dir.path()).mkpath(QStringLiteral("Help"));
        QFile::copy(bin + QStringLiteral("/Help/manual.htm"),
                    m_dir.path() + QStringLiteral("/Help/manual.htm"));
    }
    ~ProgramRun() {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    void start() {
        m_process.setWorkingDirectory(m_dir.path());
        m_process.start(exe(), {});
        ASSERT_TRUE(m_process.waitForStarted());
    }
    QString exe() const { return m_dir.path() + QStringLiteral("/kadrel"); }
    QString folder() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
