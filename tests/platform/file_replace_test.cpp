#include "platform/file_replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <functional>

#include "fakes/small_disk.h"
#include "fakes/test_files.h"

namespace {

const QByteArray kOld = "[image]\r\npower=50\r\n";
// Longer than a page, so that it needs more room on the disk than the old content holds.
const QByteArray kNew = QByteArray("[image]\r\npower=75\r\n").repeated(300);

// Child bodies: an unprivileged user replaces the file it is given, or fails with 1.
int replaceAsUser(const QString& path) { return replaceFile(path, kNew) ? 0 : 1; }

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(FileReplace, LeavesTheOldContentWholeOrTheNewContentWhole) {
    SmallDisk disk(64 * 1024);
    REQUIRE_SMALL_DISK(disk);
    const QString file = disk.filePath("kadrel.ini");
    const QString folder = disk.filePath("locked");
    const QString lockedFile = folder + "/kadrel.ini";
    const QString link = disk.filePath("link.ini");

    const struct {
        const char* what;
        std::function<bool()> replace;  // prepares the case, then replaces
        QString checked;
        bool replaced;
    } cases[] = {
        {"room enough", [&] { return replaceFile(file, kNew); }, file, true},
        {"a full disk",
         [&] {
             disk.fill();
             return replaceFile(file, kNew);
         },
         file, false},
        {"in place, a folder without new files", [&] { return runAsNobody(replaceAsUser, lockedFile) == 0; },
         lockedFile, true},
        {"in place on a full disk",
         [&] {
             disk.fill();
             return runAsNobody(replaceAsUser, lockedFile) == 0;
         },
         lockedFile, false},
        {"through a link", [&] { return QFile::link(file, link) && replaceFile(link, kNew); }, file, true},
        {"a link to a device that is always full",
         [&] { return QFile::link("/dev/full", link) && replaceFile(link, kNew); }, file, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(disk.filePath("filler"));
        QFile::remove(link);
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir(disk.path()).mkdir("locked") && writeFile(file, kOld) &&
                    writeFile(lockedFile, kOld));
        ASSERT_EQ(::chmod(QFile::encodeName(lockedFile).constData(), 0646), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);

        EXPECT_EQ(c.replace(), c.replaced);
        EXPECT_EQ(fileBytes(c.checked), c.replaced ? kNew : kOld);
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(c.checked).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, c.checked == file ? 0640u : 0646u);
        EXPECT_EQ(entries(folder), QStringList("kadrel.ini"));  // no temporary file left
        EXPECT_TRUE(entries(disk.path()).filter(".kadrel").isEmpty());
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

}  // namespace
