#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

// A disk that fills up: a tmpfs of the given size, mounted on a temporary folder for the life of
// the object. Mounting needs root; isMounted() tells whether it worked.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // Fills what is left of the disk with one file, so that the next write of any size fails.
    void fill() const;

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// Runs body in a child process as the unprivileged user "nobody" (whom permission bits bind,
// unlike root) and returns its exit status, or -1 when the child could not run.
int runAsNobody(int (*body)(const QString&), const QString& argument);

// The message for a test that needs root to mount a small disk: a skip outside CI, a failure in it.
#define REQUIRE_SMALL_DISK(disk)                                                         \
    do {                                                                                 \
        if (!(disk).isMounted()) {                                                       \
            if (qEnvironmentVariableIsSet("CI")) FAIL() << "cannot mount a small tmpfs"; \
            GTEST_SKIP() << "needs root to mount a small tmpfs";                         \
        }                                                                                \
    } while (false)
