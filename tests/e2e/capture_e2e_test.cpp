// Captures of the built program, driven by real key events, checked with Qt's image readers.
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "program_run.h"
#include "test_pictures.h"

namespace {
// Waits until the program has written a whole file that Qt can read.
QImage waitForImage(const QString& path) {
    QImage image;
    waitUntil([&] { return !(image = QImage(path)).isNull(); });
    return image.convertToFormat(QImage::Format_RGB32);
}
}  // namespace

// Each format's file is checked in tests/still; here the keys choose one that goes through the
// temporary bitmap in the program folder.
TEST(ProgramCapture, KeysSaveIntoTheProgramFolderAndCopyToTheClipboard) {
    ProgramOnBackdrop program;
    ASSERT_TRUE(program.start());
    ProgramRun& run = program.run;
    const QImage expected = test_pictures::ramps(kStartClient);

    ASSERT_TRUE(sendKeys({"ctrl+p", "ctrl+z"}));
    EXPECT_EQ(waitForImage(run.file(QStringLiteral("指定先に保存1.png"))), expected);
    // The temporary bitmap goes once the picture is written.
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(run.file(QStringLiteral("kadrel.bmp"))); }));

    // The clipboard is read back as any other program reads it, as PNG: a transfer that a busy
    // machine cuts short would otherwise fall back to a lossy format.
    ASSERT_TRUE(sendKeys({"ctrl+c"}));
    QImage copied;
    EXPECT_TRUE(waitUntil([&] {
        const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
        if (offered) copied = QImage::fromData(offered->data(QStringLiteral("image/png")), "PNG");
        copied = copied.convertToFormat(QImage::Format_RGB32);
        return copied.size() == expected.size();
    }));
    EXPECT_EQ(copied, expected);
}

// The wave dash 〜 that input methods type and the full-width tilde ～ are different folders; the
// one chosen is still the save folder after a restart.
TEST(ProgramCapture, AFolderChosenWithAWaveDashOrATildeIsTheSaveFolderAfterARestart) {
    ProgramOnBackdrop program;
    ProgramRun& run = program.run;
    const QString waveDash = run.file(QStringLiteral("写真〜2024"));
    const QString tilde = run.file(QStringLiteral("写真～2024"));
    ASSERT_TRUE(QDir().mkpath(waveDash) && QDir().mkpath(tilde));
    ASSERT_TRUE(program.start());
    const QString chooserTitle = QStringLiteral("保存先設定");
    // The chooser opens on the save folder; Down steps through the folders in name order:
    // Help, the wave dash, the tilde.
    const auto choose = [&](const QStringList& steps) {
        ASSERT_TRUE(sendKeys({"ctrl+d"}));
        ASSERT_TRUE(program.x.waitForKeyboard(chooserTitle));
        for (const QString& key : steps) {
            waitForFolderRead();
            ASSERT_TRUE(sendKeys({key}));
        }
        ASSERT_TRUE(sendKeys({"Return"}));
        ASSERT_TRUE(waitUntil([&] { return program.x.findWindows(chooserTitle).empty(); }));
    };
    const auto restart = [&] {
        run.process().kill();
        ASSERT_TRUE(run.process().waitForFinished(5000));
        program.frames.clear();
        ASSERT_TRUE(program.start());
    };
    const QString shot = QStringLiteral("/指定先に保存1.jpg");

    choose({"Right", "Down", "Down"});
    restart();
    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(waveDash + shot); }));
    EXPECT_FALSE(QFile::exists(tilde + shot));

    choose({"Down"});
    restart();
    ASSERT_TRUE(sendKeys({"ctrl+z"}));
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(tilde + shot); }));
}
