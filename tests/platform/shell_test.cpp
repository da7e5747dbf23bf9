#include "platform/x11/shell.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fakes/test_files.h"
#include "fakes/x11_test_support.h"

namespace {
// PATH holds only the given folder while it lives.
class PathOf {
public:
    explicit PathOf(const QString& folder) : m_saved(qgetenv("PATH")) {
        qputenv("PATH", folder.toLocal8Bit());
    }
    ~PathOf() { qputenv("PATH", m_saved); }

private:
    QByteArray m_saved;
};
}  // namespace

TEST(DesktopDocumentOpener, ReportsWhenNoProgramOpensTheDocument) {
    QTemporaryDir bin;
    const QString ran = bin.filePath(QStringLiteral("ran"));
    const struct {
        const char* name;
        const char* script;  // nullptr: no xdg-open at all
        bool fails;
    } cases[] = {
        {"no xdg-open", nullptr, true},
        {"no program for the type", "#!/bin/sh\n/usr/bin/touch \"${0%/*}/ran\"\nexit 3\n", true},
        {"opened", "#!/bin/sh\n/usr/bin/touch \"${0%/*}/ran\"\nexit 0\n", false},
    };
    for (const auto& c : cases) {
        const QString opener = bin.filePath(QStringLiteral("xdg-open"));
        QFile::remove(opener);
        QFile::remove(ran);
        if (c.script) {
            ASSERT_TRUE(writeFile(opener, c.script));
            QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        PathOf path(bin.path());
        int failures = 0;
        DesktopDocumentOpener documents;
        documents.open(QStringLiteral("/tmp/page.htm"), [&] { ++failures; });
        if (c.fails) {
            EXPECT_TRUE(waitUntil([&] { return failures == 1; }, 10000)) << c.name;
        } else {
            ASSERT_TRUE(waitUntil([&] { return QFile::exists(ran); }, 10000)) << c.name;
            waitUntil([] { return false; }, 300);  // the opener's end has been seen
            EXPECT_EQ(failures, 0) << c.name;
        }
    }
}
