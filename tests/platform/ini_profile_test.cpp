#include "platform/system/ini_profile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <ostream>
#include <vector>

#include "fakes/test_files.h"
#include "platform/system/text_encoding.h"

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

TEST(TextEncoding, ConvertsCp932BothWays) {
    const struct {
        QString text;
        QByteArray bytes;
    } cases[] = {{u"C:\\pics"_qs, "C:\\pics"},
                 {u"指定先"_qs, "\x8e\x77\x92\xe8\x90\xe6"},
                 {u"ｱソ"_qs, "\xb1\x83\x5c"},  // half-width kana; a trail byte that is '\'
                 {u"～"_qs, "\x81\x60"},
                 {QString(), QByteArray()}};
    for (const auto& c : cases) {
        EXPECT_EQ(toShiftJis(c.text), c.bytes);
        EXPECT_EQ(fromShiftJis(c.bytes), c.text);
        EXPECT_EQ(shiftJisLength(c.text), c.bytes.size());
    }
    for (const QString& text : {u"😀"_qs, u"한국"_qs, QString(QChar(0xD800))}) EXPECT_FALSE(toShiftJis(text));
    for (const char* bytes : {"\x81", "\x81\x20", "\x80", "\xff"}) EXPECT_FALSE(fromShiftJis(bytes)) << bytes;
}

TEST(TextEncoding, EveryTextItStoresReadsBackAsItself) {
    // The nine that CP932 has no code of its own for, beside the characters they used to turn into.
    for (const QString& text :
         {u"¢£¥¬—‖‾−〜"_qs, u"￠￡\\￢―∥~－～"_qs, u"写真〜2024"_qs, u"写真～2024"_qs}) {
        const std::optional<QByteArray> bytes = toShiftJis(text);
        ASSERT_TRUE(bytes) << text.toStdString();
        EXPECT_EQ(fromShiftJis(*bytes), text);
        EXPECT_EQ(shiftJisLength(text), bytes->size());
    }
    EXPECT_NE(toShiftJis(u"〜"_qs), toShiftJis(u"～"_qs));
    EXPECT_EQ(shiftJisLeft(u"a¥b"_qs, 2), "a");
    // What would read back as something else has no form: the codes that now stand for the nine,
    // and characters the converter drops.
    for (const QString& text :
         {QString(QChar(0xE000)), QString(QChar(0xE008)), QString::fromUcs4(U"a\U000E0041")})
        EXPECT_FALSE(toShiftJis(text)) << text.size();
    EXPECT_TRUE(toShiftJis(QString(QChar(0xE009))));
}

TEST(TextEncoding, CountsUnmappedAsOneByteAndNeverSplitsACharacter) {
    EXPECT_EQ(shiftJisLength(u"a指😀b"), 5);
    const struct {
        QString text;
        int maxBytes;
        QString left;
    } cases[] = {{u"ab指定"_qs, 3, u"ab"_qs},
                 {u"ab指定"_qs, 4, u"ab指"_qs},
                 {u"ab指定"_qs, 0, QString()},
                 {u"😀指"_qs, 2, u"😀"_qs},
                 {u"ab指定"_qs, 99, u"ab指定"_qs}};
    for (const auto& c : cases) EXPECT_EQ(shiftJisLeft(c.text, c.maxBytes), c.left) << c.maxBytes;
}

TEST(IniProfile, ReadsValuesAsWindowsDoes) {
    const QString zo = *fromShiftJis("\x83\x5d"), a = *fromShiftJis("\x83\x41"),
                  dji = *fromShiftJis("\x83\x61");
    const struct {
        QByteArray file;
        QString section, key;
        std::optional<QString> value;
    } cases[] = {
        {"[Image]\r\nPower=5\r\n", "image", "POWER", "5"},
        {" \t[ s ] \n  k \t=  two words  \n", "s", "k", "two words"},
        {"[s]\nk=b=c\nk=second\n", "s", "k", "b=c"},
        {"[s]\nk=\"x y \"\n", "s", "k", "x y "},
        {"[s]\nq='z'\n", "s", "q", "z"},
        {"[s]\nr=\"w'\n", "s", "r", "\"w'"},
        {"[s]\nt=\"\n", "s", "t", "\""},
        {"[s]\nk=\n", "s", "k", ""},
        {"[s]\n;k=1\nk=2", "s", "k", "2"},
        {"k=1\n[s]\n", "s", "k", std::nullopt},
        {"[s]\nother=1\n", "s", "k", std::nullopt},
        {"[s]\n[t]\nk=1\n", "s", "k", std::nullopt},
        {"[s]\n[t]\n[S]\nk=1\n", "s", "k", std::nullopt},  // only the first section of a name counts
        {"[\x83\x5d]\nk=1\n", zo, "k", "1"},
        {"[s]\n[\x83\x5d\nk=1\n", "s", "k",
         "1"},  // no header: its ']' is a trail byte               // trail byte ']' inside the name
        {"[\x83\x41]\nk=1\n", a, "k", "1"},
        {"[\x83\x41]\nk=1\n", dji, "k", std::nullopt},  // trail 'A' is not folded to 'a'
        {"[s]\nk=\x83\x5c\n", "s", "k", u"ソ"_qs},
        {"[s]\nk=\x81\n", "s", "k", std::nullopt},
        {"[s]\nk=1\n", u"😀"_qs, "k", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniProfile::fromBytes(c.file).readString(c.section, c.key), c.value) << c.file.constData();
}

TEST(IniProfile, ReadsAtMost2047BytesOfAValueOnACharacterBoundary) {
    const QByteArray ascii(3000, 'a');
    EXPECT_EQ(IniProfile::fromBytes("[s]\nk=" + ascii).readString(u"s", u"k"), QString(2047, u'a'));
    const QByteArray mixed = "ab" + QByteArray("\x82\xa0").repeated(2000);
    EXPECT_EQ(IniProfile::fromBytes("[s]\nk=" + mixed).readString(u"s", u"k"),
              "ab" + QString(u"あ"_qs).repeated(1022));
}

TEST(IniProfile, WritesInPlaceAndLeavesOtherLinesAlone) {
    const struct {
        QByteArray before;
        QString section, key, value;
        QByteArray after;
    } cases[] = {
        {"; c\r\n[S]\r\n K = old  \r\nz=1\r\n", "s", "k", "new", "; c\r\n[S]\r\n K = new\r\nz=1\r\n"},
        {"[s]\na=1\n\n[t]\nb=2\n", "s", "c", "3", "[s]\na=1\nc=3\n\n[t]\nb=2\n"},
        {"[s]\r\n; note\r\n[t]\r\n", "s", "k", "v", "[s]\r\nk=v\r\n; note\r\n[t]\r\n"},
        {"[s]\na=1\n[t]\n[S]\nb=2\n", "s", "b", "3", "[s]\na=1\nb=3\n[t]\n[S]\nb=2\n"},
        {"[s]\na=1", "s", "b", "2", "[s]\na=1\nb=2\n"},
        {"[s]\na=1\n", "t", "b", "指", "[s]\na=1\n[t]\nb=\x8e\x77\n"},
        {"", "File", "Directory", "C:\\", "[File]\r\nDirectory=C:\\\r\n"},
        {"[s]\r\n", "s", "k", " x", "[s]\r\nk=\" x\"\r\n"},
        {"[s]\r\n", "s", "k", "\"q\"", "[s]\r\nk=\"\"q\"\"\r\n"},
    };
    for (const auto& c : cases) {
        IniProfile profile = IniProfile::fromBytes(c.before);
        ASSERT_TRUE(profile.writeString(c.section, c.key, c.value)) << c.before.constData();
        EXPECT_EQ(profile.toBytes(), c.after);
        EXPECT_EQ(profile.readString(c.section, c.key), c.value);
    }
}

TEST(IniProfile, KeepsItsIndexRightThroughManyWrites) {
    IniProfile profile = IniProfile::fromBytes("[a]\nx=1\ny=22\n\n[b]\nx=3\n[a]\nz=4\n[c]\n");
    std::map<std::pair<QString, QString>, QString> expected{
        {{"a", "x"}, "1"}, {{"a", "y"}, "22"}, {{"b", "x"}, "3"}};
    int round = 0;
    for (const QString section : {"b", "a", "c", "d"}) {
        for (const QString key : {"x", "y", "w"}) {
            ++round;  // values both longer and shorter than the ones they replace
            const QString value = QString(round % 3 == 0 ? "long value %1" : "%1").arg(round);
            ASSERT_TRUE(profile.writeString(section, key, value));
            expected[{section, key}] = value;
            const IniProfile reparsed = IniProfile::fromBytes(profile.toBytes());
            for (const auto& [name, stored] : expected) {
                EXPECT_EQ(profile.readString(name.first, name.second), stored);
                EXPECT_EQ(reparsed.readString(name.first, name.second), stored);
            }
        }
    }
}

// Files as editors leave them: no line break after the last line, bare CR line ends, or both;
// each row is a series of writes and the file they must give.
TEST(IniProfile, KeepsEveryLineWholeWhateverTheLineEnds) {
    using Write = std::array<QString, 3>;  // section, key, value
    const struct {
        QByteArray before;
        std::vector<Write> writes;
        QByteArray after;
    } cases[] = {
        {"[File]\r\nsdir=", {{"File", "sdir", "a"}, {"File", "tdir", "b"}}, "[File]\r\nsdir=a\r\ntdir=b\r\n"},
        {"[image]\r\npower=",
         {{"image", "power", "50"}, {"image", "frame", "10"}},
         "[image]\r\npower=50\r\nframe=10\r\n"},
        {"[a]\nx=1", {{"a", "x", "2"}, {"b", "k", "v"}, {"a", "y", "3"}}, "[a]\nx=2\ny=3\n[b]\nk=v\n"},
        {"[a]", {{"b", "k", "v"}, {"a", "y", "2"}}, "[a]\r\ny=2\r\n[b]\r\nk=v\r\n"},
        {"[image]\rpower=5\r[File]\rsdir=x\r",
         {{"image", "power", "7"}, {"File", "mdir", "m"}},
         "[image]\rpower=7\r[File]\rsdir=x\rmdir=m\r"},
        {"[s]\r\na=1\rb=2\r\n", {{"s", "b", "3"}, {"s", "c", "4"}}, "[s]\r\na=1\rb=3\r\nc=4\r\n"},
        {"[s]\ra=1", {{"s", "b", "2"}, {"t", "c", "3"}}, "[s]\ra=1\rb=2\r[t]\rc=3\r"},
    };
    for (const auto& c : cases) {
        IniProfile profile = IniProfile::fromBytes(c.before);
        for (const Write& w : c.writes) ASSERT_TRUE(profile.writeString(w[0], w[1], w[2]));
        EXPECT_EQ(profile.toBytes(), c.after) << c.before.constData();
        const IniProfile reparsed = IniProfile::fromBytes(profile.toBytes());
        for (const Write& w : c.writes) EXPECT_EQ(reparsed.readString(w[0], w[1]), w[2]);
    }
}

TEST(IniProfile, RefusesTextsItCannotStore) {
    IniProfile profile = IniProfile::fromBytes("[s]\nk=1\n");
    EXPECT_FALSE(profile.writeString("s", "k", u"😀"_qs));
    EXPECT_FALSE(profile.writeString(u"한"_qs, "k", "1"));
    EXPECT_FALSE(profile.writeString("s", "a=b", "1"));
    EXPECT_FALSE(profile.writeString("s", "k", "line\nbreak"));
    EXPECT_EQ(profile.toBytes(), "[s]\nk=1\n");
}

TEST(IniProfile, SavesOrRefusesWithoutLeavingAnythingBehind) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    const IniProfile profile = IniProfile::fromBytes("[s]\r\nk=1\r\n");
    ASSERT_TRUE(profile.save(path));
    EXPECT_EQ(fileBytes(path), profile.toBytes());
    EXPECT_EQ(IniProfile::read(path).readString(u"s", u"k"), "1");

    ASSERT_TRUE(writeFile(path, "old"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    EXPECT_FALSE(profile.save(path));
    EXPECT_EQ(fileBytes(path), "old");
    EXPECT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_FALSE(profile.save(dir.filePath("folder")));
    EXPECT_FALSE(profile.save(dir.filePath("a.ini/b.ini")));  // the parent is a file
    EXPECT_FALSE(profile.save("/proc/self/kadrel.ini"));      // procfs takes no new files, even from root
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"a.ini", "folder"}));

    EXPECT_EQ(IniProfile::read(dir.filePath("missing.ini")).toBytes(), QByteArray());
    EXPECT_FALSE(IniProfile::readForUpdate(dir.filePath("folder")));
}

}  // namespace
