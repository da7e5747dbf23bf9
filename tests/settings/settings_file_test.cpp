#include "settings/logic/settings_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <ostream>
#include <random>

#include "fakes/small_disk.h"
#include "fakes/test_files.h"
#include "settings/logic/file_locations.h"
#include "settings/logic/folder_caption.h"
#include "settings/logic/hotkey_choice.h"
#include "settings/logic/integer_text.h"

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

auto fields(const Settings& s) {
    return std::tuple(s.ScalePercent, s.JpegQuality, s.PrintPercent, int(s.SaveType), int(s.StoredSaveType),
                      int(s.RecordRate), int(s.FrameLimit), s.FrameLimitEnabled, s.AlwaysOnTop,
                      s.SaveDirectory, s.DesignatedPrefix, s.IntervalPrefix, s.MoviePrefix,
                      s.ProgramDirectory, s.SaveFolderSet);
}

class SettingsFile : public testing::Test {
protected:
    QTemporaryDir m_dir;
    const QString m_program = m_dir.path() + '/';
    const QString m_ini = settingsFilePath(m_program);

    Settings defaults() const {
        Settings s;
        s.ProgramDirectory = s.SaveDirectory = m_program;
        return s;
    }
};

TEST(IntegerText, AcceptsDecimalAndPrefixedHexThatFit32Bits) {
    const std::pair<const char*, std::int32_t> valid[] = {{"007", 7},
                                                          {" \t-12", -12},
                                                          {"+7", 7},
                                                          {"$FFFFFFFF", -1},
                                                          {"x1f", 31},
                                                          {"X1F", 31},
                                                          {"0x20", 32},
                                                          {"0X20", 32},
                                                          {"2147483647", INT32_MAX},
                                                          {"-2147483648", INT32_MIN},
                                                          {"-$10", -16},
                                                          {"-0x80000000", INT32_MIN}};
    for (const auto& [text, value] : valid) EXPECT_EQ(parseIntegerText(QString(text)), value) << text;
    for (const QString text :
         {"2147483648", "$100000000", "", " ", "12 ", "1 2", "0x", "$", "-", "yes", "00x1", "$-1", "１"}) {
        EXPECT_EQ(parseIntegerText(text), std::nullopt) << text.toStdString();
    }
}

TEST(FolderCaption, ShowsShortFoldersWholeAndCutsLongOnesAfterTenBytes) {
    const struct {
        QString folder;
        int limit;
        QString caption;
    } cases[] = {{"C:\\pics", 8, u"指定先  C:\\pics"_qs},
                 {"C:\\abcde", 8, u"指定先  C:\\abcde"_qs},  // 8 bytes
                 {"C:\\abcdef", 8, u"指定先 C:\\abcdef…"_qs},
                 {"C:\\abcdefg", 8, u"指定先 C:\\abcdefg…"_qs},
                 {"C:\\Images\\2009", 8, u"指定先 C:\\Images\\…"_qs},
                 {"C:\\Images\\2009", 14, u"指定先  C:\\Images\\2009"_qs},
                 {u"D:\\写真a"_qs, 8, u"指定先  D:\\写真a"_qs},           // 8 bytes in 6 characters
                 {u"C:\\写真写真写真"_qs, 8, u"指定先 C:\\写真写…"_qs}};  // the 10th byte halves a character
    for (const auto& c : cases) EXPECT_EQ(FolderCaption(c.folder, c.limit), c.caption);
}

TEST(HotkeyChoice, APressedKeyIsRefusedWhenUnusableOrAnothers) {
    const HotkeyKeys keys = defaultHotkeys().keys;  // front Ctrl+F4, resume Ctrl+F1, pause ..F2, stop ..F3
    const struct {
        HotkeyAction action;
        HotkeyCombination pressed;
        HotkeyNote refusal;
    } rows[] = {
        {HotkeyAction::Front, {Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_F4}, HotkeyNote::None},
        {HotkeyAction::Front, {Qt::ControlModifier, Qt::Key_F4}, HotkeyNote::None},  // its own again
        {HotkeyAction::Front, {Qt::ControlModifier, Qt::Key_F3}, HotkeyNote::SameAsAnother},
        {HotkeyAction::Stop, {Qt::ControlModifier, Qt::Key_F4}, HotkeyNote::SameAsAnother},
        {HotkeyAction::Pause, {Qt::NoModifier, Qt::Key_F9}, HotkeyNote::Unusable},
        {HotkeyAction::Pause, {Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_1}, HotkeyNote::Unusable},
    };
    for (const auto& r : rows)
        EXPECT_EQ(refusalOf(keys, r.action, r.pressed), r.refusal) << r.pressed.text().toStdString();
}

TEST_F(SettingsFile, MissingFileGivesDefaultsAndStaysMissing) {
    EXPECT_EQ(fields(readSettings(m_ini, m_program)), fields(defaults()));
    EXPECT_FALSE(QFile::exists(m_ini));
}

TEST_F(SettingsFile, ReadsEachKeyWithItsWidthOrItsDefault) {
    const QByteArray longLine(1 << 20, 'a');
    QByteArray random(1 << 20, 0);
    std::mt19937 generator(7);
    for (char& byte : random) byte = char(generator());
    QByteArray huge = "[image]\r\npower=7\r\n";
    while (huge.size() < 50 << 20)
        huge += "key" + QByteArray::number(huge.size()) + "=" + QByteArray(60, 'v') + "\r\n";
    QByteArray manySections;
    for (int i = 0; i < 10000; ++i) manySections += "[s" + QByteArray::number(i) + "]\r\nframe=1\r\n";

    // Fields left out of an expected record hold their defaults; SaveDirectory's is the program folder.
    const struct {
        QByteArray file;
        Settings expected;
    } cases[] = {
        {"", {}},
        {"[image]\r\nstype=7\r\n", {.StoredSaveType = 7}},
        {"[image]\r\nframe=266\r\nfb=70000\r\npower=0x20\r\n", {.ScalePercent = 32, .FrameLimit = 4464}},
        {"[image]\nframe=256\nfb=65536\nquality=-5\nvalue=$10\n",
         {.JpegQuality = -5, .PrintPercent = 16, .FrameLimit = 0}},
        {"[IMAGE]\nFrame = '3'\nfbable=2\nupto=-1\n",
         {.RecordRate = 3, .FrameLimitEnabled = true, .AlwaysOnTop = true}},
        {"[image]\nfbable=yes\nupto=0\npower=\nquality=12abc\n", {}},
        {"[File]\r\nsdir=\r\nDirectory=\x81\r\n", {.DesignatedPrefix = ""}},
        {"[File]\r\nDirectory=C:\\\x8e\x77\x92\xe8\r\nmdir=\x93\xae\x89\xe6\r\n[image]\r\npower=50\r\n",
         {.ScalePercent = 50, .SaveDirectory = u"C:\\指定"_qs, .MoviePrefix = u"動画"_qs}},
        {random, {}},
        {random + "\n[image]\nframe=25\n", {.RecordRate = 25}},
        {huge + "[File]\r\nmdir=m\r\n", {.ScalePercent = 7, .MoviePrefix = "m"}},
        {manySections + "[image]\r\nframe=25\r\n", {.RecordRate = 25}},
        {"[File]\r\nsdir=" + QByteArray("\x8e\x77").repeated(1 << 19) + "\r\ntdir=" + longLine,
         {.DesignatedPrefix = QString(u"指"_qs).repeated(1023), .IntervalPrefix = QString(2047, 'a')}}};
    for (const auto& c : cases) {
        Settings expected = c.expected;
        expected.ProgramDirectory = m_program;
        if (expected.SaveDirectory.isEmpty()) expected.SaveDirectory = m_program;
        ASSERT_TRUE(writeFile(m_ini, c.file));
        EXPECT_EQ(fields(readSettings(m_ini, m_program)), fields(expected)) << c.file.left(60).toStdString();
    }
}

TEST_F(SettingsFile, RewritesOnlyItsKeysAndKeepsEveryOtherLine) {
    ASSERT_TRUE(writeFile(m_ini,
                          "; Kadrel\n[other]\npower=1\n\n[Image]\n Power = 5 \nquality=50\n; keep "
                          "me\n\n[File]\nDirectory=/x/\n"));
    Settings s{.ScalePercent = 150,
               .JpegQuality = 80,
               .PrintPercent = 300,
               .StoredSaveType = 4,
               .RecordRate = 30,
               .FrameLimit = 500,
               .FrameLimitEnabled = true,
               .SaveDirectory = "/x/",
               .DesignatedPrefix = u"写真"_qs,
               .IntervalPrefix = " a ",
               .MoviePrefix = "",
               .ProgramDirectory = m_program};
    ASSERT_TRUE(writeSettings(m_ini, s));
    EXPECT_EQ(
        fileBytes(m_ini),
        "; Kadrel\n[other]\npower=1\n\n[Image]\n Power = 150\nquality=80\nframe=30\nvalue=300\nstype=4\n"
        "fb=500\nfbable=1\nupto=0\n; keep me\n\n[File]\nDirectory=/x/\nsdir=\x8e\xca\x90\x5e\ntdir=\" a \"\n"
        "mdir=\n");
    EXPECT_EQ(fields(readSettings(m_ini, m_program)), fields(s));
}

TEST_F(SettingsFile, OrdersSectionsByWhichWriterCreatedTheFile) {
    const Settings s{.DesignatedPrefix = "d", .IntervalPrefix = "t", .MoviePrefix = "m"};
    const QByteArray image =
        "[image]\r\npower=100\r\nframe=10\r\nquality=100\r\nvalue=200\r\nstype=1\r\nfb=100\r\n"
        "fbable=0\r\nupto=0\r\n";
    ASSERT_TRUE(writeSaveDirectory(m_ini, "/pics/") && writeSettings(m_ini, s));
    EXPECT_EQ(fileBytes(m_ini), "[File]\r\nDirectory=/pics/\r\nsdir=d\r\ntdir=t\r\nmdir=m\r\n" + image);
    ASSERT_TRUE(QFile::remove(m_ini) && writeSettings(m_ini, s) && writeSaveDirectory(m_ini, "/pics/"));
    EXPECT_EQ(fileBytes(m_ini), image + "[File]\r\nsdir=d\r\ntdir=t\r\nmdir=m\r\nDirectory=/pics/\r\n");
}

TEST_F(SettingsFile, RefusedWritesLeaveTheFileAsItWas) {
    const QByteArray original = "[image]\r\npower=5\r\n";
    ASSERT_TRUE(writeFile(m_ini, original));
    Settings emoji = defaults();
    emoji.MoviePrefix = u"😀"_qs;
    EXPECT_FALSE(writeSettings(m_ini, emoji));
    EXPECT_FALSE(writeSaveDirectory(m_ini, u"/사진/"_qs));
    EXPECT_EQ(fileBytes(m_ini), original);

    ASSERT_TRUE(QFile::setPermissions(m_ini, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_FALSE(writeSettings(m_ini, defaults()));
    EXPECT_FALSE(writeSaveDirectory(m_ini, "/pics/"));
    EXPECT_EQ(fileBytes(m_ini), original);

    // A full disk: the rewrite is refused and the settings stay.
    SmallDisk disk(64 * 1024);
    if (disk.isMounted()) {
        const QString full = disk.filePath("kadrel.ini");
        ASSERT_TRUE(writeFile(full, original));
        disk.fill();
        EXPECT_FALSE(writeSettings(full, defaults()));
        EXPECT_FALSE(writeSaveDirectory(full, "/pics/"));
        EXPECT_EQ(fileBytes(full), original);
    }

    // Folders that take no new file, whoever asks: below a regular file, and in procfs.
    for (const QString& path : {m_ini + "/kadrel.ini", QStringLiteral("/proc/self/kadrel.ini")}) {
        EXPECT_FALSE(writeSettings(path, defaults()));
        EXPECT_FALSE(writeSaveDirectory(path, "/pics/"));
        EXPECT_FALSE(QFile::exists(path));
    }
    EXPECT_EQ(QDir(m_program).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList("kadrel.ini"));
}

TEST_F(SettingsFile, TextsReadBackAsTheyWereWritten) {
    for (const QString& folder : {u"/写真〜2024/"_qs, u"/写真～2024/"_qs, u"/¢£¥¬—‖‾−〜/"_qs}) {
        Settings s = defaults();
        s.DesignatedPrefix = s.IntervalPrefix = s.MoviePrefix = u"¢£¥¬—‖‾−〜"_qs;
        ASSERT_TRUE(writeSettings(m_ini, s) && writeSaveDirectory(m_ini, folder));
        s.SaveDirectory = folder;
        EXPECT_EQ(fields(readSettings(m_ini, m_program)), fields(s));
    }
    Settings privateUse = defaults();
    privateUse.MoviePrefix = QString(QChar(0xE000));
    EXPECT_FALSE(writeSettings(m_ini, privateUse));
}

}  // namespace

TEST(FileLocations, PortableWhereTheProgramFolderServesElseTheUsersFolders) {
    struct Row {
        ProgramFolder program;
        UserFolders user;
        FileLocations expected;
    };
    const QString p = QStringLiteral("/opt/kadrel/");
    const Row rows[] = {
        {{p, false, true}, {"/home/u", "", ""}, {p + "kadrel.ini", p, p, true}},
        // A settings file beside a read-only program keeps the copy portable.
        {{p, true, false}, {"/home/u", "/cfg", "/cache"}, {p + "kadrel.ini", p, p, true}},
        {{p, false, false},
         {"/home/u", "", ""},
         {"/home/u/.config/kadrel/kadrel.ini", "/home/u/.cache/kadrel/", "/home/u/", false}},
        {{p, false, false},
         {"/home/u/", "/x/cfg/", "/x//cache"},
         {"/x/cfg/kadrel/kadrel.ini", "/x/cache/kadrel/", "/home/u/", false}},
        // Relative XDG values are not used; without HOME the root stands in.
        {{p, false, false},
         {"", "cfg", "./cache"},
         {"/.config/kadrel/kadrel.ini", "/.cache/kadrel/", "/", false}},
    };
    for (const Row& row : rows) {
        const FileLocations got = chooseFileLocations(row.program, row.user);
        EXPECT_EQ(std::tuple(got.settingsFile, got.frameDirectory, got.defaultSaveDirectory, got.portable),
                  std::tuple(row.expected.settingsFile, row.expected.frameDirectory,
                             row.expected.defaultSaveDirectory, row.expected.portable))
            << row.user.home.toStdString() << ' ' << row.program.writable;
    }
}

TEST_F(SettingsFile, TheFirstWriteCreatesTheFileAndItsFolders) {
    const QString ini = m_program + QStringLiteral("config/kadrel/kadrel.ini");
    Settings s = defaults();
    s.ScalePercent = 50;
    ASSERT_TRUE(writeSettings(ini, s));
    EXPECT_EQ(readSettings(ini, m_program, QStringLiteral("/elsewhere/")).ScalePercent, 50);
    EXPECT_EQ(readSettings(ini, m_program, QStringLiteral("/elsewhere/")).SaveDirectory, "/elsewhere/");
}
