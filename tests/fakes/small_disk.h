#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

// A disk that fills up, mounted on a temporary folder for the life of the object: a tmpfs of the
// given size, or an ext4 volume in a loop-mounted image that keeps 40 % of its blocks for root
// (mkfs.ext4 -m 40). Mounting needs root; isMounted() tells whether it worked.
class SmallDisk {
public:
    enum class Kind { Tmpfs, Ext4WithReserve };
    explicit SmallDisk(qint64 bytes, Kind kind = Kind::Tmpfs);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // Fills what is left of the disk with one file, so that the next write of any size fails.
    void fill() const;
    // Fills the disk as far as an ordinary user may. True when the system then reports no room
    // available although blocks are free: those kept for root.
    bool fillAsUser() const;

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_imageDir;
    bool m_mounted = false;
};

// A moment to kill a process at: just before its nth call (from 1) of a system call, by name; with
// a path, its nth call that names that file or uses a descriptor of it.
struct KillPoint {
    const char* syscall = nullptr;
    int nth = 0;
    QString path = {};
};

// The arguments that make strace kill its tracee there; the program and its arguments, or "-p" and
// a process id, follow them.
QStringList straceKillingAt(KillPoint killAt);

// Runs body in a child process as the unprivileged user "nobody" (whom permission bits bind,
// unlike root) and returns its exit status, 128 + the signal when a signal ended it, or -1 when
// the child could not run. Given a kill point, strace sends the child SIGKILL there.
int runAsNobody(int (*body)(const QString&), const QString& argument, KillPoint killAt = {});

// The message for a test that needs root to mount a small disk: a skip outside CI, a failure in it.
#define REQUIRE_SMALL_DISK(disk)                                                        \
    do {                                                                                \
        if (!(disk).isMounted()) {                                                      \
            if (qEnvironmentVariableIsSet("CI")) FAIL() << "cannot mount a small disk"; \
            GTEST_SKIP() << "needs root to mount a small disk";                         \
        }                                                                               \
    } while (false)
