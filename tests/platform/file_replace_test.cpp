#include "platform/system/file_replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <csignal>
#include <functional>

#include "fakes/small_disk.h"
#include "fakes/test_files.h"
#include "platform/system/ini_profile.h"

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
        uid_t owner = 0;
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
        {"root saves a user's file",
         [&] {
             return ::chown(QFile::encodeName(file).constData(), 65534, 65534) == 0 &&
                    replaceFile(file, kNew);
         },
         file, true, 65534},
        {"a user replaces root's file in an open folder, which becomes the user's",
         [&] {
             return ::chmod(QFile::encodeName(disk.path()).constData(), 0777) == 0 &&
                    runAsNobody(replaceAsUser, file) == 0;
         },
         file, true, 65534},
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
        ASSERT_EQ(::chown(QFile::encodeName(file).constData(), 0, 0), 0);

        EXPECT_EQ(c.replace(), c.replaced);
        EXPECT_EQ(fileBytes(c.checked), c.replaced ? kNew : kOld);
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(c.checked).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, c.checked == file ? 0640u : 0646u);
        EXPECT_EQ(status.st_uid, c.owner);
        EXPECT_EQ(entries(folder), QStringList("kadrel.ini"));  // no temporary file left
        EXPECT_TRUE(entries(disk.path()).filter(".kadrel").isEmpty());
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

QByteArray g_content;  // what killedReplace writes, set before the child is made
int killedReplace(const QString& path) { return replaceFile(path, g_content) ? 0 : 1; }

// Killed just before any write, flush or cut of an in-place rewrite (the folder admits no new
// file), the file reads as the old settings or as the new ones, for new content shorter and longer.
TEST(FileReplace, AKilledRewriteInPlaceLeavesTheOldOrTheNewSettings) {
    const QByteArray old = "[image]\r\npower=50\r\nkey=old\r\n";
    const QByteArray shorter = "[image]\r\npower=9\r\n";
    const QByteArray longer = "[image]\r\npower=75\r\nkey=new\r\n[File]\r\nDir=/home/kadrel\r\n";
    const auto settings = [](const QByteArray& bytes) {
        const IniProfile ini = IniProfile::fromBytes(bytes);
        QStringList values;
        for (const auto& [section, key] : {std::pair{"image", "power"}, {"image", "key"}, {"File", "Dir"}})
            values << ini.readString(QString(section), QString(key)).value_or("<none>");
        return values;
    };
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString file = dir.filePath("kadrel.ini");
    const struct {
        const QByteArray& content;
        KillPoint killAt;
    } rows[] = {{shorter, {"pwrite64", 1}},  {shorter, {"fdatasync", 1}}, {shorter, {"ftruncate", 1}},
                {shorter, {"fdatasync", 2}}, {longer, {"pwrite64", 1}},   {longer, {"fdatasync", 1}},
                {longer, {"pwrite64", 2}},   {longer, {"fdatasync", 2}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.content.size() << " bytes, killed before "
                                        << row.killAt.syscall << " " << row.killAt.nth);
        ASSERT_TRUE(writeFile(file, old));
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0646), 0);
        g_content = row.content;
        EXPECT_EQ(runAsNobody(killedReplace, file, row.killAt), 128 + SIGKILL);
        const QByteArray left = fileBytes(file);
        EXPECT_TRUE(settings(left) == settings(old) || settings(left) == settings(row.content))
            << left.toStdString();
    }
    EXPECT_EQ(runAsNobody(killedReplace, file), 0);
    EXPECT_EQ(fileBytes(file), longer);
}

}  // namespace
